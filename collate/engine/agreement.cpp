#include "agreement.h"

#include "fdistribution.h"

#include <cmath>

namespace {

const QString FewerThanTwoSeconds =
    QStringLiteral("fewer than two seconds with a value in every run");
const QString NoVariance = QStringLiteral("no variance");
const QString NoVarianceBetweenSeconds = QStringLiteral("no variance between seconds");
const QString NoVarianceInRun = QStringLiteral("no variance in this run");
const QString NoVarianceInOthers = QStringLiteral("no variance in the mean of the other runs");
// The denominators of ICC(2,1) and ICC(2,k) estimate the variance of one rating and of the mean
// of the k ratings under the two-way random model.
const QString NoTwoWayVariance = QStringLiteral("no variance estimated by the two-way model");

// Levels are whole numbers from -5 to 5, so sums of squares of a real difference are far above
// this; only rounding stays below it.
constexpr double Zero = 1e-9;

// Mean squares of the two-way layout without repetition.
struct MeanSquares
{
    double between = 0.0; // targets, BMS
    double judges = 0.0;  // JMS
    double within = 0.0;  // WMS: judges and residual together
    double error = 0.0;   // EMS
    double total = 0.0;   // total sum of squares
};

MeanSquares meanSquares(const Agreement::Table &table)
{
    const auto n = static_cast<double>(table.size());
    const auto k = static_cast<double>(table.first().size());
    QList<double> rowMeans;
    QList<double> columnMeans(table.first().size(), 0.0);
    double grand = 0.0;
    for (const QList<double> &row : table) {
        double sum = 0.0;
        for (qsizetype j = 0; j < row.size(); ++j) {
            sum += row[j];
            columnMeans[j] += row[j] / n;
        }
        rowMeans.append(sum / k);
        grand += sum / (n * k);
    }
    // Each sum of squares straight from its deviations, not as a difference of others: a
    // difference would leave rounding where the true value is 0.
    double bss = 0.0, jss = 0.0, wss = 0.0, ess = 0.0, tss = 0.0;
    for (qsizetype i = 0; i < table.size(); ++i) {
        bss += k * (rowMeans[i] - grand) * (rowMeans[i] - grand);
        for (qsizetype j = 0; j < table[i].size(); ++j) {
            const double x = table[i][j];
            const double residual = x - rowMeans[i] - columnMeans[j] + grand;
            wss += (x - rowMeans[i]) * (x - rowMeans[i]);
            ess += residual * residual;
            tss += (x - grand) * (x - grand);
        }
    }
    for (const double mean : columnMeans)
        jss += n * (mean - grand) * (mean - grand);
    return {bss / (n - 1.0), jss / (k - 1.0), wss / (n * (k - 1.0)), ess / ((n - 1.0) * (k - 1.0)),
            tss};
}

Statistic valued(const QString &name, double value)
{
    Statistic s;
    s.name = name;
    s.value = value;
    s.hasValue = true;
    return s;
}

void setInterval(Statistic &s, double lower, double upper)
{
    // A missing statistic prints its reason alone, and the window reads an interval as two more
    // columns after a value.
    if (s.hasValue && std::isfinite(lower) && std::isfinite(upper)) {
        s.lower = lower;
        s.upper = upper;
        s.hasInterval = true;
    }
}

double mean(const QList<double> &values)
{
    double sum = 0.0;
    for (const double v : values)
        sum += v;
    return sum / static_cast<double>(values.size());
}

// Sample variance (n - 1).
double variance(const QList<double> &values)
{
    const double m = mean(values);
    double sum = 0.0;
    for (const double v : values)
        sum += (v - m) * (v - m);
    return sum / static_cast<double>(values.size() - 1);
}

// Why the table holds no agreement to measure, or empty when it does.
QString whyNoStatistics(const Agreement::Table &table)
{
    if (!table.isEmpty() && table.first().size() < 2)
        return FewerThanTwoRuns;
    if (table.size() < 2)
        return FewerThanTwoSeconds;
    return QString();
}

} // namespace

const QString FewerThanTwoRuns = QStringLiteral("fewer than two runs");

QString fourDecimals(double value)
{
    const QString text = QString::number(value, 'f', 4);
    return text == QLatin1String("-0.0000") ? QStringLiteral("0.0000") : text;
}

QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\v') || c == QLatin1Char('\f') || c == QChar(0x85) ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return line;
}

QString Statistic::line() const
{
    const QChar tab = QLatin1Char('\t');
    const QString shownName = oneLine(name);
    if (!hasValue)
        return shownName + tab + QStringLiteral("missing: ") + missing;
    if (isCount)
        return shownName + tab + QString::number(static_cast<qint64>(value));
    QString text = shownName + tab + fourDecimals(value);
    if (hasInterval)
        text += tab + fourDecimals(lower) + tab + fourDecimals(upper);
    return text;
}

Statistic Statistic::count(const QString &name, qsizetype value)
{
    Statistic s = valued(name, static_cast<double>(value));
    s.isCount = true;
    return s;
}

Statistic Statistic::of(const QString &name, double value)
{
    return valued(name, value);
}

Statistic Statistic::absent(const QString &name, const QString &reason)
{
    Statistic s;
    s.name = name;
    s.missing = reason;
    return s;
}

namespace Agreement {

QList<Statistic> intraclass(const Table &table)
{
    const QStringList names = {QStringLiteral("ICC(1,1)"), QStringLiteral("ICC(2,1)"),
                               QStringLiteral("ICC(3,1)"), QStringLiteral("ICC(1,k)"),
                               QStringLiteral("ICC(2,k)"), QStringLiteral("ICC(3,k)")};
    QList<Statistic> result;
    QString why = whyNoStatistics(table);
    const MeanSquares ms = why.isEmpty() ? meanSquares(table) : MeanSquares{};
    if (why.isEmpty() && ms.total < Zero)
        why = NoVariance;
    if (!why.isEmpty()) {
        for (const QString &name : names)
            result.append(Statistic::absent(name, why));
        return result;
    }

    const auto n = static_cast<double>(table.size());
    const auto k = static_cast<double>(table.first().size());
    const double bms = ms.between, jms = ms.judges, wms = ms.within, ems = ms.error;
    // Two-sided 95 %: the upper 2.5 % point of F.
    constexpr double q = 0.975;

    const double twoWayOne = bms + (k - 1.0) * ems + k * (jms - ems) / n;
    // Below 0 where the runs differ less in their means than the error leads to expect.
    const double twoWayMean = bms + (jms - ems) / n;
    Statistic icc11 = valued(names[0], (bms - wms) / (bms + (k - 1.0) * wms));
    Statistic icc21 = std::abs(twoWayOne) < Zero ? Statistic::absent(names[1], NoTwoWayVariance)
                                                 : valued(names[1], (bms - ems) / twoWayOne);
    Statistic icc31 = valued(names[2], (bms - ems) / (bms + (k - 1.0) * ems));
    Statistic icc1k = bms < Zero ? Statistic::absent(names[3], NoVarianceBetweenSeconds)
                                 : valued(names[3], (bms - wms) / bms);
    // Like the other averaged ones, nothing to average without variance between seconds; and a
    // variance the model estimates below 0 is none either.
    Statistic icc2k = bms < Zero          ? Statistic::absent(names[4], NoVarianceBetweenSeconds)
                      : twoWayMean < Zero ? Statistic::absent(names[4], NoTwoWayVariance)
                                          : valued(names[4], (bms - ems) / twoWayMean);
    Statistic icc3k = bms < Zero ? Statistic::absent(names[5], NoVarianceBetweenSeconds)
                                 : valued(names[5], (bms - ems) / bms);
    if (bms + (k - 1.0) * ems < Zero)
        icc31 = Statistic::absent(names[2], NoVarianceBetweenSeconds);

    // One-way model: F = BMS / WMS on n - 1 and n (k - 1) degrees of freedom. Where the error
    // mean square is 0 the ratio is infinite and the interval is left out.
    if (wms >= Zero) {
        const double f = bms / wms;
        const double low = f / FDistribution::quantile(q, n - 1.0, n * (k - 1.0));
        const double high = f * FDistribution::quantile(q, n * (k - 1.0), n - 1.0);
        setInterval(icc11, (low - 1.0) / (low + k - 1.0), (high - 1.0) / (high + k - 1.0));
        if (icc1k.hasValue)
            setInterval(icc1k, 1.0 - 1.0 / low, 1.0 - 1.0 / high);
    }
    const double dfError = (n - 1.0) * (k - 1.0);
    if (ems >= Zero) {
        const double f = bms / ems;
        const double low = f / FDistribution::quantile(q, n - 1.0, dfError);
        const double high = f * FDistribution::quantile(q, dfError, n - 1.0);
        if (icc31.hasValue)
            setInterval(icc31, (low - 1.0) / (low + k - 1.0), (high - 1.0) / (high + k - 1.0));
        if (icc3k.hasValue)
            setInterval(icc3k, 1.0 - 1.0 / low, 1.0 - 1.0 / high);
    }
    // Two-way random model: Satterthwaite's degrees of freedom for the denominator, which start
    // from ICC(2,1) itself.
    if (ems >= Zero && icc21.hasValue) {
        const double r = icc21.value;
        const double fj = jms / ems;
        const double a = k * r * fj + n * (1.0 + (k - 1.0) * r) - k * r;
        const double b = n * (1.0 + (k - 1.0) * r) - k * r;
        const double v = dfError * a * a / ((n - 1.0) * k * k * r * r * fj * fj + b * b);
        const double upperF = FDistribution::quantile(q, n - 1.0, v);
        const double lowerF = FDistribution::quantile(q, v, n - 1.0);
        const double spread = k * jms + (k * n - k - n) * ems;
        const double lower = n * (bms - upperF * ems) / (upperF * spread + n * bms);
        const double upper = n * (lowerF * bms - ems) / (spread + n * lowerF * bms);
        setInterval(icc21, lower, upper);
        if (icc2k.hasValue)
            setInterval(icc2k, lower * k / (1.0 + lower * (k - 1.0)),
                        upper * k / (1.0 + upper * (k - 1.0)));
    }
    result << icc11 << icc21 << icc31 << icc1k << icc2k << icc3k;
    return result;
}

Statistic alpha(const Table &table)
{
    const QString name = QStringLiteral("alpha");
    const QString why = whyNoStatistics(table);
    if (!why.isEmpty())
        return Statistic::absent(name, why);
    const qsizetype k = table.first().size();
    QList<double> sums;
    QList<QList<double>> columns(k);
    for (const QList<double> &row : table) {
        double sum = 0.0;
        for (qsizetype j = 0; j < k; ++j) {
            columns[j].append(row[j]);
            sum += row[j];
        }
        sums.append(sum);
    }
    const double total = variance(sums);
    if (total < Zero)
        return Statistic::absent(name, NoVarianceBetweenSeconds);
    double items = 0.0;
    for (const QList<double> &column : columns)
        items += variance(column);
    const auto kk = static_cast<double>(k);
    return valued(name, kk / (kk - 1.0) * (1.0 - items / total));
}

QList<Statistic> correlations(const Table &table, const QStringList &names)
{
    QList<Statistic> result;
    const QString why = whyNoStatistics(table);
    for (qsizetype j = 0; j < names.size(); ++j) {
        const QString name = QStringLiteral("r[%1]").arg(names[j]);
        if (!why.isEmpty()) {
            result.append(Statistic::absent(name, why));
            continue;
        }
        QList<double> own;
        QList<double> others;
        for (const QList<double> &row : table) {
            double sum = 0.0;
            for (qsizetype i = 0; i < row.size(); ++i)
                sum += i == j ? 0.0 : row[i];
            own.append(row[j]);
            others.append(sum / static_cast<double>(row.size() - 1));
        }
        const double mo = mean(own), mr = mean(others);
        double sxy = 0.0, sxx = 0.0, syy = 0.0;
        for (qsizetype i = 0; i < own.size(); ++i) {
            sxy += (own[i] - mo) * (others[i] - mr);
            sxx += (own[i] - mo) * (own[i] - mo);
            syy += (others[i] - mr) * (others[i] - mr);
        }
        if (sxx < Zero)
            result.append(Statistic::absent(name, NoVarianceInRun));
        else if (syy < Zero)
            result.append(Statistic::absent(name, NoVarianceInOthers));
        else
            result.append(valued(name, sxy / std::sqrt(sxx * syy)));
    }
    return result;
}

} // namespace Agreement
