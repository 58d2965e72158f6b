#include "collatefiles.h"
#include "collation.h"
#include "fdistribution.h"
#include "lag.h"
#include "rebin.h"
#include "resultsfile.h"
#include "studycommand.h"
#include "studyruns.h"

#include <QProcess>
#include <QTest>

using namespace CollateFiles;

namespace {

// Runs collated in memory: each entry is the cells of one one-variable run.
Collation collateCells(const QList<QStringList> &runs)
{
    QList<ResultsRun> read;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const QString path = QStringLiteral("run%1.csv").arg(i + 1);
        read.append(parsed(path, results(path, QStringLiteral("Mood"), runs[i])));
    }
    return Collation(read, QStringLiteral("Mood"));
}

} // namespace

class TestCollate : public QObject
{
    Q_OBJECT
private slots:
    void fQuantile_data();
    void fQuantile();
    void shroutFleiss_data();
    void shroutFleiss();
    void smallCases_data();
    void smallCases();
    void againstR();
    void alignsRowsAndKeepsGaps();
    void lags_data();
    void lags();
    void rebin_data();
    void rebin();
    void studyOutputNames();
};

void TestCollate::fQuantile_data()
{
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("d1");
    QTest::addColumn<double>("d2");
    QTest::addColumn<double>("f");
    // Printed tables of the F distribution.
    QTest::newRow("0.975; 5, 15") << 0.975 << 5.0 << 15.0 << 3.5764;
    QTest::newRow("0.975; 15, 5") << 0.975 << 15.0 << 5.0 << 6.4277;
    QTest::newRow("0.975; 1, 1, far tail") << 0.975 << 1.0 << 1.0 << 647.789;
    QTest::newRow("0.975; 3, 10") << 0.975 << 3.0 << 10.0 << 4.8256;
    QTest::newRow("0.95; 5, 10") << 0.95 << 5.0 << 10.0 << 3.3258;
    QTest::newRow("median of equal degrees is 1") << 0.5 << 7.0 << 7.0 << 1.0;
    // Fractional degrees, as Satterthwaite's give; checked against a power-series beta.
    QTest::newRow("0.99; 2, 4.7851") << 0.99 << 2.0 << 4.7851 << 14.0054;
}

void TestCollate::fQuantile()
{
    QFETCH(double, p);
    QFETCH(double, d1);
    QFETCH(double, d2);
    QFETCH(double, f);
    const double q = FDistribution::quantile(p, d1, d2);
    QVERIFY2(qAbs(q - f) < 5e-4 * std::max(1.0, f), qPrintable(QString::number(q, 'f', 6)));
    QVERIFY(qAbs(FDistribution::cdf(q, d1, d2) - p) < 1e-10);
}

void TestCollate::shroutFleiss_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("published"); // two decimals, as in the paper
    QTest::addColumn<double>("lower");     // the intervals were recomputed independently
    QTest::addColumn<double>("upper");
    QTest::newRow("ICC(1,1)") << "ICC(1,1)" << 0.17 << -0.1329 << 0.7226;
    QTest::newRow("ICC(2,1)") << "ICC(2,1)" << 0.29 << 0.0188 << 0.7611;
    QTest::newRow("ICC(3,1)") << "ICC(3,1)" << 0.71 << 0.3425 << 0.9459;
    QTest::newRow("ICC(1,4)") << "ICC(1,k)" << 0.44 << -0.8844 << 0.9124;
    QTest::newRow("ICC(2,4)") << "ICC(2,k)" << 0.62 << 0.0711 << 0.9272;
    QTest::newRow("ICC(3,4)") << "ICC(3,k)" << 0.91 << 0.6757 << 0.9859;
}

void TestCollate::shroutFleiss()
{
    QFETCH(QString, name);
    QFETCH(double, published);
    QFETCH(double, lower);
    QFETCH(double, upper);
    for (const Statistic &s : Agreement::intraclass(ShroutFleiss)) {
        if (s.name != name)
            continue;
        QVERIFY(s.hasValue && s.hasInterval);
        QCOMPARE(std::round(s.value * 100) / 100, published);
        QVERIFY2(qAbs(s.lower - lower) < 6e-5 && qAbs(s.upper - upper) < 6e-5,
                 qPrintable(s.line()));
        return;
    }
    QFAIL("no such statistic");
}

void TestCollate::smallCases_data()
{
    QTest::addColumn<QList<QStringList>>("runs");
    QTest::addColumn<QString>("line"); // the statistic it names, as printed
    const QStringList rising = {"-2", "0", "1", "3"};
    const QList<QStringList> judges = shroutFleissCells();
    QTest::newRow("alpha equals ICC(3,k) of the published example") << judges << "alpha\t0.9093";
    QTest::newRow("r with the mean of the other runs") << judges << "r[run4.csv]\t0.7902";
    QTest::newRow("identical runs agree fully")
        << QList<QStringList>{rising, rising, rising} << "ICC(2,1)\t1.0000";
    QTest::newRow("identical runs: alpha 1")
        << QList<QStringList>{rising, rising} << "alpha\t1.0000";
    QTest::newRow("identical runs: r 1")
        << QList<QStringList>{rising, rising} << "r[run1.csv]\t1.0000";
    QTest::newRow("a constant run has no r")
        << QList<QStringList>{rising, {"2", "2", "2", "2"}, rising}
        << "r[run2.csv]\tmissing: no variance in this run";
    QTest::newRow("the others constant")
        << QList<QStringList>{rising, {"2", "2", "2", "2"}}
        << "r[run1.csv]\tmissing: no variance in the mean of the other runs";
    QTest::newRow("a constant run still has an ICC")
        << QList<QStringList>{rising, {"2", "2", "2", "2"}, rising}
        << "ICC(3,1)\t0.5000\t-0.1511\t0.9508";
    QTest::newRow("every value the same")
        << QList<QStringList>{{"1", "1"}, {"1", "1"}} << "ICC(1,1)\tmissing: no variance";
    QTest::newRow("runs constant but apart: no variance between seconds")
        << QList<QStringList>{{"1", "1", "1"}, {"3", "3", "3"}}
        << "ICC(3,k)\tmissing: no variance between seconds";
    QTest::newRow("one run") << QList<QStringList>{rising}
                             << "ICC(1,1)\tmissing: fewer than two runs";
    QTest::newRow("one run: no alpha")
        << QList<QStringList>{rising} << "alpha\tmissing: fewer than two runs";
    QTest::newRow("gaps leave one complete second")
        << QList<QStringList>{{"1", "", "3"}, {"2", "4", ""}}
        << "ICC(1,1)\tmissing: fewer than two seconds with a value in every run";
    QTest::newRow("no second in common") << QList<QStringList>{{"1", ""}, {"", "4"}}
                                         << "alpha\tmissing: no second with a value in every run";
    // The denominators of the two-way model are 0 here: once they gave -inf.
    QTest::newRow("ICC(2,1) of [[1,0],[0,1]]")
        << QList<QStringList>{{"1", "0"}, {"0", "1"}}
        << "ICC(2,1)\tmissing: no variance estimated by the two-way model";
    QTest::newRow("ICC(2,k) of [[-1,1],[0,0]]") << QList<QStringList>{{"-1", "0"}, {"1", "0"}}
                                                << "ICC(2,k)\tmissing: no variance between seconds";
    // Seconds differ, but less than the error: the model's variance of a mean is below 0, and
    // the ratio would be 2.67.
    QTest::newRow("ICC(2,k) of [[-2,-1],[0,-2]]")
        << QList<QStringList>{{"-2", "0"}, {"-1", "-2"}}
        << "ICC(2,k)\tmissing: no variance estimated by the two-way model";
    QTest::newRow("ICC(2,k) of [[1,0],[0,1]], no variance between seconds")
        << QList<QStringList>{{"1", "0"}, {"0", "1"}}
        << "ICC(2,k)\tmissing: no variance between seconds";
    QTest::newRow("seconds counts only complete seconds")
        << QList<QStringList>{{"1", "", "3", "0"}, {"2", "4", "1"}} << "seconds\t2";

    // Worked by hand: variances and covariance over n, each pair on the moments both have.
    const QStringList up = {"1", "2", "3", "4"}, zero = {"0", "1", "2", "3"},
                      gap = {"0", "1", "", "3"};
    QTest::newRow("CCC: one level apart, r 1 but not concordant")
        << QList<QStringList>{zero, up} << "CCC\t0.7143";
    QTest::newRow("CCC: mean of the pairs 5/7, 1 and 28/37")
        << QList<QStringList>{zero, up, gap} << "CCC\t0.8237";
    QTest::newRow("ccc: against the mean of the others with a value")
        << QList<QStringList>{zero, up, gap} << "ccc[run3.csv]\t0.9256";
    QTest::newRow("CCC: the same constant twice")
        << QList<QStringList>{{"2", "2"}, {"2", "2"}}
        << "CCC\tmissing: no variance in any pair of runs";
    QTest::newRow("kalpha: 1 - (1/3) / (82/30)")
        << QList<QStringList>{{"1", "2", "3"}, {"1", "2", "4"}} << "kalpha\t0.8780";
    // Krippendorff (2011), the interval example: 4 observers, 12 units; alpha 0.849.
    QTest::newRow("kalpha: Krippendorff's interval example")
        << QList<QStringList>{{"1", "2", "3", "3", "2", "1", "4", "1", "2", "", "", ""},
                              {"1", "2", "3", "3", "2", "2", "4", "1", "2", "5", "", "3"},
                              {"", "3", "3", "3", "2", "3", "4", "2", "2", "5", "1", ""},
                              {"1", "2", "3", "3", "2", "4", "4", "1", "2", "5", "1", ""}}
        << "kalpha\t0.8491";
    QTest::newRow("rWG: 1 - s^2/10 over 1/3, 1/3, 1/2, 1/3")
        << QList<QStringList>{zero, up, gap} << "rWG\t0.9625";
    QTest::newRow("rWG: variance 50 counts as 10")
        << QList<QStringList>{{"-5", "5"}, {"5", "-5"}} << "rWG\t0.0000";
}

void TestCollate::smallCases()
{
    QFETCH(QList<QStringList>, runs);
    QFETCH(QString, line);
    const Collation collation = collateCells(runs);
    QStringList names;
    for (const CollatedRun &run : collation.runs())
        names.append(run.path);
    const QStringList printed = statisticLines(collation, names);
    QVERIFY2(printed.contains(line), qPrintable(line + " not in:\n" + printed.join('\n')));
    for (const QString &printedLine : printed)
        QVERIFY2(!printedLine.contains("inf") && !printedLine.contains("nan"),
                 qPrintable(printedLine));
}

// CCC and ccc against epiR::epi.ccc, rWG against multilevel::rwg, on runs that drift apart and
// have gaps, one of them shorter.
void TestCollate::againstR()
{
    const QString rscript = reader("Rscript");
    if (rscript.isEmpty())
        QSKIP("no Rscript: R's references need r-base-core, r-cran-epir, r-cran-multilevel");
    QList<QStringList> runs(4);
    QStringList lines; // each run as a line of comma-separated values, a gap empty
    for (int r = 0; r < 4; ++r) {
        for (int t = 0; t < 40 - 8 * (r == 3); ++t) {
            const long level = std::lround(4 * std::sin(t / 5.0)) + r % 3 + (t * 7 + r) % 3 - 2;
            runs[r] << ((t * 5 + r * 7) % 13 ? QString::number(std::clamp(level, -5L, 5L)) : "");
        }
        lines << runs[r].join(',');
    }
    QProcess r;
    r.start(rscript, {"-e", QStringLiteral(R"(
if (!all(sapply(c("epiR", "multilevel"), requireNamespace, quietly = TRUE))) quit(status = 3)
m <- t(as.matrix(read.csv(text = "%1", header = FALSE, fill = TRUE))); k <- ncol(m); ccc <- function(x, y) epiR::epi.ccc(x, y)$rho.c$est
cat(sprintf("CCC\t%.4f\n", mean(combn(k, 2, function(p) ccc(m[, p[1]], m[, p[2]])))))
for (j in 1:k) cat(sprintf("ccc[run%d.csv]\t%.4f\n", j, ccc(m[, j], rowMeans(m[, -j], na.rm = TRUE))))
x <- as.vector(m); g <- rep(seq_len(nrow(m)), k); n <- ave(!is.na(x), g, FUN = sum); v <- n >= 2 & !is.na(x); cat(sprintf("rWG\t%.4f\n", mean(multilevel::rwg(x[v], g[v], ranvar = 10)$rwg)))
)")
                                .arg(lines.join('\n'))});
    QVERIFY(r.waitForFinished(120000));
    if (r.exitCode() == 3)
        QSKIP("R lacks epiR or multilevel: install r-cran-epir and r-cran-multilevel");
    lines = QString::fromUtf8(r.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(r.exitCode() == 0 && lines.size() == 6, r.readAllStandardError().constData());
    const QStringList printed =
        statisticLines(collateCells(runs), {"run1.csv", "run2.csv", "run3.csv", "run4.csv"});
    for (const QString &line : lines)
        QVERIFY2(printed.contains(line), qPrintable(line + " not in:\n" + printed.join('\n')));
}

void TestCollate::alignsRowsAndKeepsGaps()
{
    // The same subject twice (with a "%1" that arg() would take), a comma, a quote and a tab in
    // a name, runs of different lengths, gaps in the middle and at the end.
    const Collation collation({parsed("a", results("Ann %1", "Mood", {"1", "", "3", "4"})),
                               parsed("b", results("Ann %1", "Mood", {"3", "-1"})),
                               parsed("c", results("Lee,\t\"Bo\"", "Mood", {"-4", "", ""}))},
                              QStringLiteral("Mood"));
    QCOMPARE(collation.tableBytes(), QByteArray("Time,Ann %1 (1.1.2026),Ann %1 (1.1.2026) #2,"
                                                "\"Lee, \"\"Bo\"\" (1.1.2026)\","
                                                "Mean,SD,N\r\n"
                                                "2,1,3,-4,0.0000,3.6056,3\r\n"
                                                "3,,-1,,-1.0000,,1\r\n"
                                                "4,3,,,3.0000,,1\r\n"
                                                "5,4,,,4.0000,,1\r\n"));
    QCOMPARE(collation.completeSeconds().size(), 1);
}

void TestCollate::lags_data()
{
    // Delays in moments of the grid; "-" for a run with nothing in common with the others.
    QTest::addColumn<QList<int>>("delays");
    QTest::addColumn<int>("most");
    QTest::addColumn<QString>("found"); // lags, "?" where missing; or the problem
    QTest::newRow("0, 1, 2 and 3 s") << QList<int>{0, 1, 2, 3} << 5 << "0 1 2 3";
    QTest::newRow("in another order") << QList<int>{2, 0, 3, 1} << 5 << "2 0 3 1";
    QTest::newRow("quarter seconds at 4 Hz") << QList<int>{0, 1, 2, 5} << 40 << "0 1 2 5";
    QTest::newRow("one run") << QList<int>{0} << 5 << "a lag needs at least two runs to compare";
    QTest::newRow("a run with nothing in common") << QList<int>{0, 2, -1} << 5 << "0 2 ?";
}

void TestCollate::lags()
{
    QFETCH(QList<int>, delays);
    QFETCH(int, most);
    // One signal of levels held for a moment or a few, every rater a copy delayed by their own
    // moments, now and then a step off it (noise).
    QList<int> signal;
    for (quint32 seed = 99; signal.size() < 400;) {
        seed = seed * 1103515245u + 12345u;
        const int level = int((seed >> 16) % 11) - 5;
        seed = seed * 1103515245u + 12345u;
        signal.append(QList<int>(1 + (seed >> 16) % 4, level));
    }
    QList<QList<qint8>> runs;
    for (qsizetype r = 0; r < delays.size(); ++r) {
        QList<qint8> run(2, ResultsRun::Gap);
        for (int t = 0; t < 300; ++t) {
            const int noise = (t * 7 + int(r) * 13) % 29 == 0 ? 1 : 0;
            run.append(qint8(std::clamp(signal[t + 20 - delays[r]] + noise, -5, 5)));
        }
        // A run with nothing in common holds its values where no other run has any.
        if (delays[r] < 0)
            run = QList<qint8>(310, ResultsRun::Gap) + QList<qint8>{1, 2, 3, 2, 1, 0, -1, 2};
        runs.append(run);
    }
    const Lag::Estimate estimate = Lag::estimate(runs, most);
    QStringList found;
    for (qsizetype r = 0; r < runs.size(); ++r)
        found << (estimate.missing[r].isEmpty() ? QString::number(estimate.rows[r]) : "?");
    QTEST(estimate.problem.isEmpty() ? found.join(' ') : estimate.problem, "found");

    // Lined up, the raters agree better than as they were.
    if (estimate.problem.isEmpty() && !delays.contains(-1)) {
        QList<ResultsRun> read;
        for (const QList<qint8> &levels : std::as_const(runs))
            read.append({"r", "A", "1.1.2026", {"Mood"}, {levels}});
        Collation collation(read, "Mood");
        const auto icc = [&] { return collation.statistics({"a", "b", "c", "d"})[4].value; };
        const double before = icc();
        collation.shift(estimate.rows);
        QVERIFY2(icc() > before + 0.2, qPrintable(QString("%1 then %2").arg(before).arg(icc())));
    }
}

void TestCollate::rebin_data()
{
    // Events as "time_ms media_ms kind level1 level2" ("-": no media_ms; kinds: s a sample,
    // + a press, f a fall-back, p a pause, k a seek); the levels at every moment up to lastRow s,
    // as "LEVEL*COUNT" runs.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("variable");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<QString>("levels");
    QTest::newRow("a press stands at its clip time, not the run's")
        << QStringList{"800 1779 + 1 0", "1000 1979 s 1 0"} << 4 << 1 << 2 << "0*7 1*1";
    QTest::newRow("at a moment counts at it; in whole milliseconds")
        << QStringList{"333 333 + 1 0", "666 666 + 2 0", "1000 1000 s 3 0"} << 3 << 1 << 1
        << "1*1 2*1 3*1";
    QTest::newRow("while paused, the last event at the paused moment counts")
        << QStringList{"1000 1500 p 0 0", "1200 1500 + 1 0", "1600 1500 + 2 0"} << 2 << 1 << 2
        << "0*2 2*2";
    QTest::newRow("after a seek back, the later pass replaces the earlier one from there")
        << QStringList{"100 600 + 1 0", "600 1100 + 2 0", "1100 1600 + 3 0", "1200 800 k 3 0",
                       "1700 1300 f 2 0"}
        << 2 << 1 << 2 << "0*1 3*1 2*2";
    QTest::newRow("a seek forward holds the level over what was skipped")
        << QStringList{"300 400 + 1 0", "500 1800 k 1 0", "900 2200 + 2 0"} << 2 << 1 << 3
        << "1*4 2*2";
    QTest::newRow("without clip positions the rows stand at their seconds")
        << QStringList{"500 - + 1 0", "1000 - s 1 0"} << 2 << 1 << 2 << "0*2 1*2";
    QTest::newRow("no position: the offset of the event before")
        << QStringList{"1000 1979 s 0 0", "1300 - + 1 0"} << 4 << 1 << 3 << "0*9 1*3";
    QTest::newRow("nothing past the last row, whatever a line of the log says")
        << QStringList{"1000 1979 s 0 0", "100000000000 - + 1 0", "100000000001 99999999 f 0 0"}
        << 50 << 1 << 2 << "0*100";
    QTest::newRow("the second variable")
        << QStringList{"100 600 + 0 -1", "600 1100 + 0 -2"} << 2 << 2 << 1 << "0*1 -1*1";
}

void TestCollate::rebin()
{
    QFETCH(QStringList, events);
    QFETCH(int, rate);
    QFETCH(int, variable);
    QFETCH(int, lastRow);
    const QMap<QString, RunEvent::Kind> kinds = {{"s", RunEvent::Kind::Sample},
                                                 {"+", RunEvent::Kind::Increase},
                                                 {"f", RunEvent::Kind::FallBack},
                                                 {"p", RunEvent::Kind::Pause},
                                                 {"k", RunEvent::Kind::Seek}};
    QList<RunEvent> log;
    for (const QString &text : events) {
        const QStringList part = text.split(' ');
        log.append({part[0].toLongLong(), part[1] == "-" ? RunEvent::NoMedia : part[1].toLongLong(),
                    kinds[part[2]], 0, part[3].toInt(), part[4].toInt(), part[2] == "s" ? 2 : 0,
                    RunEvent::Source::None});
    }
    const QList<qint8> grid = Rebin::levels(log, variable, rate, lastRow);
    QStringList levels;
    for (qsizetype i = 2, n = 1; i < grid.size(); i += n, n = 1) {
        while (i + n < grid.size() && grid[i + n] == grid[i])
            ++n;
        levels << QStringLiteral("%1*%2").arg(grid[i]).arg(n);
    }
    QTEST(levels.join(' '), "levels");
    QCOMPARE(grid.mid(0, 2), QList<qint8>(2, ResultsRun::Gap));
}

// Outputs that would be one file, once made safe or letter case aside, are numbered apart.
void TestCollate::studyOutputNames()
{
    QCOMPARE(StudyCommand::fileNames(StudyRuns::names({"a:b.avi", "a?b.avi"}), {"Mood", "MOOD"}),
             QStringList({"a_b Mood", "a_b MOOD (2)", "a_b Mood (3)", "a_b MOOD (4)"}));
}

// The command line and the window are cases of their own: collatecommand, collatewindow.
DIALTRACE_TEST_CASE(TestCollate, "collate")

#include "tst_collate.moc"
