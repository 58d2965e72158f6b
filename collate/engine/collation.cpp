#include "collation.h"

#include "concordance.h"
#include "files.h"
#include "lag.h"

#include <QSet>

#include <cmath>

namespace {

const QString NoVariable = QStringLiteral("no variable \"%1\" (it has %2)");
const QString NoSamples = QStringLiteral("no sample of \"%1\"");
const QString NoCompleteSeconds = QStringLiteral("no second with a value in every run");

QString uniqueHeader(const QString &wanted, QSet<QString> *taken)
{
    QString header = wanted;
    // Joined, not put through arg() twice, which would take a "%1" in a name for its own.
    for (int n = 2; taken->contains(header); ++n)
        header = wanted + QStringLiteral(" #") + QString::number(n);
    taken->insert(header);
    return header;
}

QString quotedList(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return quoted.join(QStringLiteral(", "));
}

} // namespace

QString timeLabel(qsizetype row, int rate)
{
    if (rate == 0)
        return QString::number(row);
    QString text = QString::number(static_cast<double>(row - 1) / rate, 'f', 4);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QStringList variablesOf(const QList<ResultsRun> &runs)
{
    QStringList names;
    for (const ResultsRun &run : runs) {
        for (const QString &name : run.variables) {
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}

Collation::Collation(const QList<ResultsRun> &runs, const QString &variable, int rate)
    : m_variable(variable), m_rate(rate)
{
    QSet<QString> headers;
    for (const ResultsRun &run : runs) {
        const qsizetype index = run.variables.indexOf(variable);
        if (index < 0) {
            m_skipped.append({run.path, NoVariable.arg(variable, quotedList(run.variables))});
            continue;
        }
        CollatedRun collated{run.path,          run.subject, run.date, {},
                             run.levels[index], 0,           0.0,      run.input};
        // A run without a single sample would only hide every statistic of the others.
        if (std::all_of(collated.levels.cbegin(), collated.levels.cend(),
                        [](qint8 level) { return level == ResultsRun::Gap; })) {
            m_skipped.append({run.path, NoSamples.arg(variable)});
            continue;
        }
        collated.header =
            uniqueHeader(oneLine(QStringLiteral("%1 (%2)").arg(run.subject, run.date)), &headers);
        m_runs.append(std::move(collated));
    }
    // Steps and tenths in one collation: every level in tenths.
    m_unit = 1;
    for (const CollatedRun &run : std::as_const(m_runs))
        m_unit = std::max(m_unit, Input::unit(run.input));
    for (CollatedRun &run : m_runs) {
        for (qint8 &level : run.levels) {
            if (level != ResultsRun::Gap)
                level = static_cast<qint8>(level * m_unit / Input::unit(run.input));
        }
    }
    summarize();
}

QString Collation::mixedInputs() const
{
    QStringList by[2];
    for (const CollatedRun &run : m_runs)
        by[run.input == InputMode::Position ? 1 : 0].append(run.path);
    if (by[0].isEmpty() || by[1].isEmpty())
        return {};
    return QStringLiteral("runs rated in steps (%1) and by position (%2) are collated together")
        .arg(by[0].join(QStringLiteral(", ")), by[1].join(QStringLiteral(", ")));
}

QList<Statistic> Collation::align(double mostSeconds, const QStringList &names)
{
    QList<QList<qint8>> levels;
    for (const CollatedRun &run : std::as_const(m_runs))
        levels.append(run.levels);
    const double perSecond = m_rate > 0 ? m_rate : 1;
    const Lag::Estimate estimate = Lag::estimate(levels, qRound(mostSeconds * perSecond));
    QList<Statistic> lags;
    for (qsizetype r = 0; r < m_runs.size(); ++r) {
        const QString name = QStringLiteral("lag[%1]").arg(names.value(r));
        const QString missing = estimate.problem.isEmpty() ? estimate.missing[r] : estimate.problem;
        if (!missing.isEmpty()) {
            lags.append(Statistic::absent(name, missing));
        } else {
            lags.append(Statistic::of(name, estimate.rows[r] / perSecond));
        }
    }
    shift(estimate.rows);
    return lags;
}

void Collation::shift(const QList<int> &rows)
{
    for (qsizetype r = 0; r < m_runs.size(); ++r)
        m_runs[r].levels = Lag::shifted(m_runs[r].levels, rows.value(r));
    summarize();
}

void Collation::summarize()
{
    m_lastRow = 1;
    for (CollatedRun &run : m_runs) {
        double sum = 0.0;
        run.samples = 0;
        for (const qint8 level : std::as_const(run.levels)) {
            if (level != ResultsRun::Gap) {
                ++run.samples;
                sum += level;
            }
        }
        run.meanLevel = run.samples > 0 ? sum / static_cast<double>(run.samples) / m_unit : 0.0;
        m_lastRow = std::max(m_lastRow, run.levels.size() - 1);
    }
    const qsizetype size = m_lastRow + 1;
    m_count.fill(0, size);
    m_mean.fill(0.0, size);
    m_sd.fill(0.0, size);

    QList<double> squares(size, 0.0);
    // Welford's update per row keeps the variance accurate without a second pass.
    for (const CollatedRun &run : std::as_const(m_runs)) {
        for (qsizetype row = 2; row < run.levels.size(); ++row) {
            const qint8 level = run.levels[row];
            if (level == ResultsRun::Gap)
                continue;
            const int n = ++m_count[row];
            const double delta = level - m_mean[row];
            m_mean[row] += delta / n;
            squares[row] += delta * (level - m_mean[row]);
        }
    }
    for (qsizetype row = 0; row < size; ++row) {
        m_mean[row] /= m_unit;
        if (m_count[row] >= 2)
            m_sd[row] = std::sqrt(squares[row] / (m_count[row] - 1)) / m_unit;
    }
}

double Collation::seconds(qsizetype row) const
{
    return m_rate > 0 ? static_cast<double>(row - 1) / m_rate : static_cast<double>(row);
}

qsizetype Collation::rowAt(double seconds) const
{
    // Half a millisecond of slack: a frame's moment comes in whole milliseconds.
    const double moment = seconds + 0.0005;
    qsizetype low = 2;
    qsizetype high = m_lastRow;
    if (high < low || moment < this->seconds(low) || moment >= this->seconds(high + 1))
        return -1;
    // The rows' moments only grow.
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (this->seconds(middle) <= moment)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

QString Collation::timeLabel(qsizetype row) const
{
    return ::timeLabel(row, m_rate);
}

Agreement::Table Collation::completeSeconds() const
{
    Agreement::Table table;
    for (qsizetype row = 2; row <= m_lastRow; ++row) {
        if (m_runs.isEmpty() || m_count[row] != m_runs.size())
            continue;
        QList<double> values;
        values.reserve(m_runs.size());
        for (const CollatedRun &run : m_runs)
            values.append(double(run.levels[row]) / m_unit);
        table.append(std::move(values));
    }
    return table;
}

QList<Statistic> Collation::statistics(const QStringList &names) const
{
    const Agreement::Table table = completeSeconds();
    QList<Statistic> result = {
        Statistic::count(QStringLiteral("runs"), m_runs.size()),
        Statistic::count(m_rate > 0 ? QStringLiteral("moments") : QStringLiteral("seconds"),
                         table.size())};
    QList<Statistic> agreement = Agreement::intraclass(table);
    agreement.append(Agreement::alpha(table));
    QList<Statistic> correlations = Agreement::correlations(table, names);
    // With an empty table the statistics cannot tell how many runs there were.
    const QString why = m_runs.size() < 2 ? FewerThanTwoRuns
                        : table.isEmpty() ? NoCompleteSeconds
                                          : QString();
    for (QList<Statistic> *list : {&agreement, &correlations}) {
        for (Statistic &s : *list) {
            if (!why.isEmpty())
                s = Statistic::absent(s.name, why);
        }
    }
    // These take every moment with a value, not only the complete ones.
    Concordance::Runs levels;
    for (const CollatedRun &run : m_runs)
        levels.append(run.levels);
    agreement << Concordance::lin(levels) << Concordance::krippendorff(levels)
              << Concordance::withinGroup(levels, m_unit);
    return result + agreement + correlations + Concordance::linWithOthers(levels, names);
}

QByteArray Collation::tableBytes() const
{
    const QString comma = QStringLiteral(",");
    QStringList header = {QStringLiteral("Time")};
    for (const CollatedRun &run : m_runs)
        header.append(csvCell(run.header));
    header << QStringLiteral("Mean") << QStringLiteral("SD") << QStringLiteral("N");
    QByteArray out = Files::toWindows1252(header.join(comma)) + "\r\n";
    out.reserve(out.size() + (m_lastRow - 1) * (m_runs.size() * 3 + 24));
    for (qsizetype row = 2; row <= m_lastRow; ++row) {
        QByteArray line = timeLabel(row).toLatin1();
        for (const CollatedRun &run : m_runs) {
            line += ',';
            const qint8 level = row < run.levels.size() ? run.levels[row] : ResultsRun::Gap;
            // Each run's levels as its own file writes them.
            if (level != ResultsRun::Gap)
                line += Input::levelText(level * Input::unit(run.input) / m_unit, run.input);
        }
        line += ',';
        if (hasMean(row))
            line += fourDecimals(mean(row)).toLatin1();
        line += ',';
        if (hasSd(row))
            line += fourDecimals(sd(row)).toLatin1();
        line += ',' + QByteArray::number(count(row)) + "\r\n";
        out += line;
    }
    return out;
}
