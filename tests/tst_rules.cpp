// The rules, with no window, timer or clock: levels, meters, table sizing, recording, the
// results file's bytes, the code page, the export's name and width, and where a playing clip is
// between two answers of its pipeline.

#include "axisstep.h"
#include "exports.h"
#include "files.h"
#include "instructions.h"
#include "levelmeter.h"
#include "positionestimate.h"
#include "ratingstate.h"
#include "recordtable.h"
#include "resultsfile.h"
#include "support.h"

class TestRules : public QObject
{
    Q_OBJECT
private slots:
    // Both charts step their grid by 1, 2 or 5 times a power of ten: about ten labels, round
    // numbers, and on the results chart never between two rows.
    void chartSteps_data()
    {
        QTest::addColumn<double>("span");
        QTest::addColumn<double>("least");
        QTest::addColumn<double>("step");
        QTest::newRow("ten rows") << 9.0 << 1.0 << 1.0;
        QTest::newRow("thirty rows") << 29.0 << 1.0 << 5.0;
        QTest::newRow("two minutes of rows") << 119.0 << 1.0 << 20.0;
        QTest::newRow("an hour of rows") << 3599.0 << 1.0 << 500.0;
        QTest::newRow("a hundred seconds exactly") << 100.0 << 0.0 << 10.0;
        QTest::newRow("four and a half seconds") << 4.5 << 0.0 << 0.5;
        QTest::newRow("no span") << 0.0 << 0.0 << 1.0;
    }
    void chartSteps()
    {
        QFETCH(double, span);
        QFETCH(double, least);
        QFETCH(double, step);
        QCOMPARE(AxisStep::step(span, 10, least), step);
    }

    // Answers of the pipeline (position, moment; milliseconds) and where the clip is said to be
    // later without asking, or -1 where the pipeline must be asked.
    void positionEstimate_data()
    {
        using Answers = QList<QPair<qint64, qint64>>;
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<bool>("forget");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<qint64>("expected");
        const Answers steady{{1000, 0}, {1250, 250}};
        QTest::newRow("one answer") << Answers{{1000, 0}} << false << 100LL << 0LL << -1LL;
        QTest::newRow("two that moved with the clock") << steady << false << 300LL << 0LL << 1300LL;
        QTest::newRow("within 5 ms")
            << Answers{{1000, 0}, {1254, 250}} << false << 250LL << 0LL << 1254LL;
        QTest::newRow("too close together to tell")
            << Answers{{1000, 0}, {1050, 50}} << false << 60LL << 0LL << -1LL;
        QTest::newRow("slower than the clock")
            << Answers{{1000, 0}, {1240, 250}} << false << 300LL << 0LL << -1LL;
        QTest::newRow("moved meanwhile")
            << Answers{{1000, 0}, {1250, 250}, {5000, 500}} << false << 510LL << 0LL << -1LL;
        QTest::newRow("steady again after moving")
            << Answers{{1000, 0}, {1250, 250}, {5000, 500}, {5250, 750}} << false << 800LL << 0LL
            << 5300LL;
        QTest::newRow("stalled after playing")
            << Answers{{1000, 0}, {1250, 250}, {1260, 500}} << false << 510LL << 0LL << -1LL;
        QTest::newRow("no answer")
            << Answers{{1000, 0}, {1250, 250}, {-1, 300}} << false << 310LL << 0LL << -1LL;
        QTest::newRow("forgotten") << steady << true << 300LL << 0LL << -1LL;
        QTest::newRow("answer too old") << steady << false << 651LL << 0LL << -1LL;
        QTest::newRow("never beyond the end") << steady << false << 600LL << 1500LL << 1500LL;
    }
    void positionEstimate()
    {
        using Answers = QList<QPair<qint64, qint64>>;
        QFETCH(Answers, answers);
        QFETCH(bool, forget);
        QFETCH(qint64, now);
        QFETCH(qint64, end);
        QFETCH(qint64, expected);
        constexpr qint64 Ms = 1'000'000;
        PositionEstimate estimate;
        for (const auto &[position, moment] : answers)
            estimate.observe(position < 0 ? -1 : position * Ms, moment * Ms);
        if (forget)
            estimate.forget();
        const auto at = estimate.at(now * Ms, end * Ms);
        QCOMPARE(at ? *at / Ms : -1, expected);
    }

    // Presses ('+' '-' on variable 1, 'u' 'd' on variable 2) and fall-back ticks ('t').
    void levels_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected"); // Level1 Level2 / the four counts
        QTest::newRow("six presses stop at +5") << false << 0 << "++++++"
                                                << "5 0 / 6 0 0 0";
        QTest::newRow("press at -5 counts, stays") << false << -5 << "-"
                                                   << "-5 0 / 0 1 0 0";
        QTest::newRow("from -3 ticks rise to 0") << false << -3 << "tttt"
                                                 << "0 0 / 0 0 0 0";
        QTest::newRow("from +3 ticks fall to 0") << false << 3 << "tttt"
                                                 << "0 0 / 0 0 0 0";
        QTest::newRow("second level stays -5") << true << 0 << "dddddd"
                                               << "0 -5 / 0 0 0 6";
        QTest::newRow("second level falls back") << true << 0 << "uuutt"
                                                 << "0 1 / 0 0 3 0";
        QTest::newRow("one variable: only level 1 falls") << false << 2 << "uut"
                                                          << "1 2 / 0 0 2 0";
    }
    void levels()
    {
        QFETCH(bool, two);
        QFETCH(int, start);
        QFETCH(QString, steps);
        RatingState s;
        s.TwoVariables = two;
        s.Level1 = static_cast<qint16>(start);
        for (const QChar c : steps) {
            if (c == 't')
                Rating::fallBack(s);
            else
                Rating::press(s, c == '+'   ? Rating::Button::Increase1
                                 : c == '-' ? Rating::Button::Decrease1
                                 : c == 'u' ? Rating::Button::Increase2
                                            : Rating::Button::Decrease2);
        }
        QTEST(levelsAndCounts(s), "expected");
    }

    void counterStopsAtItsLimit()
    {
        RatingState s;
        s.IncreaseClicks1 = 32766;
        for (int i = 0; i < 3; ++i)
            Rating::press(s, Rating::Button::Increase1);
        QCOMPARE(s.IncreaseClicks1, qint16(32767));
        QCOMPARE(s.Level1, qint16(3));
    }

    void meter()
    {
        const QStringList expected = {"XXXXX.....", ".XXXX.....", "..XXX.....", "...XX.....",
                                      "....X.....", "..........", ".....X....", ".....XX...",
                                      ".....XXX..", ".....XXXX.", ".....XXXXX"};
        for (int level = 5; level >= -5; --level) {
            QString lit;
            for (int i = 0; i < LevelMeter::SegmentCount; ++i)
                lit += LevelMeter::isLit(level, i) ? 'X' : '.';
            QCOMPARE(lit, expected[5 - level]);
        }
    }

    void sizing_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<bool>("refused");
        QTest::newRow("60.5") << 60.5 << 61 << false;
        QTest::newRow("61.0 exactly") << 61.0 << 70 << false;
        QTest::newRow("61.5") << 61.5 << 121 << false;
        QTest::newRow("121.0") << 121.0 << 121 << false;
        QTest::newRow("121.01") << 121.01 << 181 << false;
        QTest::newRow("780") << 780.0 << 781 << false;
        QTest::newRow("800") << 800.0 << 841 << false;
        QTest::newRow("901.0 accepted") << 901.0 << 901 << false;
        QTest::newRow("901.01 refused") << 901.01 << 901 << true;
    }
    void sizing()
    {
        QFETCH(double, seconds);
        QTEST(Recording::lastRowForLength(seconds), "lastRow");
        QTEST(Recording::isTooLong(seconds), "refused");
    }

    // Ticks until the recording says it was the last: rows 2 .. ticks + 1, both columns, and a
    // table that grows rather than lose the sample of a clip exactly as long as its rows.
    void recording_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("rows");
        QTest::newRow("3.5 s") << 3.5 << 3 << 61;
        QTest::newRow("0.4 s") << 0.4 << 1 << 61;
        QTest::newRow("60.5 s fills the table") << 60.5 << 60 << 61;
        QTest::newRow("121 s grows one row") << 121.0 << 121 << 122;
    }
    void recording()
    {
        QFETCH(double, seconds);
        RecordTable table(Recording::lastRowForLength(seconds));
        qint16 row = 1;
        int ticks = 0;
        bool last = false;
        while (!last && ticks < 1000) {
            ++ticks;
            last = Recording::recordSample(table, row, seconds, qint16(ticks % 6),
                                           qint16(-(ticks % 5)));
        }
        QTEST(ticks, "ticks");
        QTEST(table.lastRow(), "rows");
        QCOMPARE(row, qint16(ticks + 1));
        QCOMPARE(table.cell(ticks + 1, 1), std::optional<qint16>(ticks % 6));
        QCOMPARE(table.cell(ticks + 1, 2), std::optional<qint16>(-(ticks % 5)));
        QVERIFY(!table.cell(1, 1) && !table.cell(ticks + 2, 1));
    }

    void lengthCaption()
    {
        const QChar point = QLocale().decimalPoint().front();
        QCOMPARE(Recording::lengthCaption(61.0), QStringLiteral("61"));
        QCOMPARE(Recording::lengthCaption(3.5), QStringLiteral("3") + point + '5');
        QCOMPARE(Recording::lengthCaption(123.456789012),
                 QStringLiteral("123") + point + "456789012");
    }

    void resultsFile_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<bool>("table");
        QTest::addColumn<QByteArray>("variables");
        QTest::addColumn<QByteArray>("rows");
        QTest::newRow("one variable") << false << true << QByteArray("Mood")
                                      << QByteArray("1,0\r\n2,1\r\n3,-3\r\n4,0\r\n5,\r\n");
        QTest::newRow("two variables")
            << true << true << QByteArray("Mood,Stress")
            << QByteArray("1,0,0\r\n2,1,-1\r\n3,-3,-2\r\n4,0,-3\r\n5,,\r\n");
        QTest::newRow("length never known")
            << false << false << QByteArray("Mood") << QByteArray("1,0\r\n");
    }
    void resultsFile()
    {
        QFETCH(bool, two);
        QFETCH(bool, table);
        QFETCH(QByteArray, rows);
        SetupRecord record = makeRecord(two);
        record.SubjectName = QString::fromUtf8("Zoë € 😀");
        RecordTable t(61);
        qint16 row = 1;
        for (const auto &[l1, l2] : {std::pair{1, -1}, {-3, -2}, {0, -3}})
            Recording::recordSample(t, row, 3.5, qint16(l1), qint16(l2));
        const QByteArray bytes =
            ResultsFile::bytes(Recording::results(record, two, table ? &t : nullptr));
        QFETCH(QByteArray, variables);
        const QByteArray head = "This program was generated by Orvan Dialtrace v2.\r\n"
                                "Created on 6.12.2026 for subject Zo\xEB \x80 ?\r\n"
                                " \r\n \r\n \r\n"
                                "Time," +
                                variables + "\r\n \r\n";
        QVERIFY(bytes.startsWith(head + rows));
        QCOMPARE(bytes.count("\r\n"), table ? 68 : 8);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(bytes.endsWith(two ? "\r\n61,,\r\n" : "\r\n61,\r\n") || !table);
    }

    void windows1252()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = Files::fromWindows1252(all);
        QCOMPARE(Files::toWindows1252(text), all);
        QCOMPARE(text[0x80], QChar(0x20AC));
        QCOMPARE(text[0x9F], QChar(0x0178));
        QCOMPARE(text[0x81], QChar(0x0081));
        QCOMPARE(text[0xE9], QChar(0xE9));
    }

    void captions()
    {
        const SetupRecord one = makeRecord(false, "", "");
        const SetupRecord two = makeRecord(true, "Mood", "");
        QCOMPARE(Rating::captions(one).title, QStringLiteral("Level of "));
        QCOMPARE(Rating::captions(two).title, QStringLiteral("Level of Mood vs. "));
        QCOMPARE(Rating::captions(makeRecord(true)).decrease2, QStringLiteral("Decrease Stress"));
        QCOMPARE(Instructions::variablesLine(makeRecord(true)),
                 QStringLiteral("Today's Variable's are Mood and Stress"));
        QCOMPARE(Instructions::variablesLine(two),
                 QStringLiteral("Today's Variable's are Mood and "));
        QCOMPARE(Instructions::variablesLine(one), QStringLiteral("Today's Variable is "));
    }

    void exports_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("widthTwips");
        QTest::newRow("60 s") << "Ann" << 60.0 << "Ann Mood.jpg" << 13000;
        QTest::newRow("900 s, empty subject") << "" << 900.0 << " Mood.jpg" << 55000;
        QTest::newRow("length 0") << "Bo" << 0.0 << "Bo Mood.jpg" << 10000;
    }
    void exports()
    {
        QFETCH(QString, subject);
        QFETCH(double, seconds);
        SetupRecord record = makeRecord(true);
        record.SubjectName = subject;
        QTEST(Exports::defaultName(record, ".jpg"), "name");
        QTEST(int(Exports::imageWidthTwips(seconds)), "widthTwips");
    }
};

DIALTRACE_TEST_CASE(TestRules, "rules")
#include "tst_rules.moc"
