#include "levelchart.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// Consecutive valued rows, starting at firstRow (1-based).
struct Run
{
    int firstRow = 1;
    QList<int> levels;
};

using Runs = QList<Run>;

} // namespace

Q_DECLARE_METATYPE(Run)

namespace {

ChartSeries seriesFromRuns(int rowCount, const Runs &runs)
{
    ChartSeries series(static_cast<std::size_t>(rowCount));
    for (const Run &run : runs) {
        for (qsizetype i = 0; i < run.levels.size(); ++i)
            series[static_cast<std::size_t>(run.firstRow - 1 + i)] = run.levels[i];
    }
    return series;
}

QList<QPointF> pointsOf(const Run &run)
{
    QList<QPointF> points;
    for (qsizetype i = 0; i < run.levels.size(); ++i)
        points.append(QPointF(run.firstRow + i, run.levels[i]));
    return points;
}

ChartSeries flatSeries(int rowCount, int level)
{
    return ChartSeries(static_cast<std::size_t>(rowCount), level);
}

QValueAxis *axisAt(QChart *chart, Qt::Alignment alignment)
{
    const QList<QAbstractAxis *> axes =
        chart->axes(alignment == Qt::AlignBottom ? Qt::Horizontal : Qt::Vertical);
    for (QAbstractAxis *axis : axes) {
        if (axis->alignment() == alignment)
            return qobject_cast<QValueAxis *>(axis);
    }
    return nullptr;
}

QList<QLegendMarker *> visibleMarkers(QChart *chart)
{
    QList<QLegendMarker *> result;
    for (QLegendMarker *marker : chart->legend()->markers()) {
        if (marker->isVisible())
            result.append(marker);
    }
    return result;
}

bool isNear(QRgb pixel, const QColor &colour)
{
    constexpr int tolerance = 60;
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Image rows in which at least half the pixels have the colour: where a level line runs across
// the chart. Legend swatches and labels are far too short to qualify.
QList<int> lineRows(const QImage &image, const QColor &colour)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x) {
            if (isNear(image.pixel(x, y), colour))
                ++count;
        }
        if (count * 2 >= image.width())
            rows.append(y);
    }
    return rows;
}

double whiteShare(const QImage &image)
{
    qint64 white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(255, 255, 255))
                ++white;
        }
    }
    return double(white) / (double(image.width()) * image.height());
}

QColor lineColour(LevelChart &chart, int index)
{
    const QList<QLineSeries *> lines = chart.lines(index);
    return lines.isEmpty() ? QColor() : lines.first()->pen().color();
}

} // namespace

class TestLevelChart : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void axes_data();
    void axes();
    void names_data();
    void names();
    void render_data();
    void render();
    void renderIsolatedValue_data();
    void renderIsolatedValue();
};

void TestLevelChart::lines_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<Runs>("runs1");
    QTest::addColumn<Runs>("runs2");

    QTest::newRow("ten samples in 61 rows") << 61 << Runs{{2, {0, 1, 2, 3, 4, 5, 4, 3, 2, 1}}}
                                            << Runs{{2, {-1, -2, -3, -4, -5, -4, -3, -2, -1, 0}}};
    QTest::newRow("gap in the middle")
        << 20 << Runs{{1, {1, 2, 3, 4, 5}}, {9, {-1, -2, -3, -4, -5, 0}}}
        << Runs{{1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}};
    QTest::newRow("one isolated value") << 10 << Runs{{5, {3}}} << Runs{};
    QTest::newRow("runs at both ends")
        << 12 << Runs{{1, {-5, -5}}, {5, {2, 2, 2}}, {12, {5}}} << Runs{{11, {4, -4}}};
    QTest::newRow("every other row") << 7 << Runs{{1, {1}}, {3, {-2}}, {5, {3}}, {7, {-4}}}
                                     << Runs{{2, {5}}, {4, {-5}}, {6, {0}}};
    QTest::newRow("no values in rows") << 30 << Runs{} << Runs{};
    QTest::newRow("no rows") << 0 << Runs{} << Runs{};
}

void TestLevelChart::lines()
{
    QFETCH(int, rowCount);
    QFETCH(Runs, runs1);
    QFETCH(Runs, runs2);

    LevelChart chart;
    // Different data first, so left-overs of it would show.
    chart.setData(flatSeries(100, 3), seriesFromRuns(100, {{40, {1, 2}}}));
    const ChartSeries series1 = seriesFromRuns(rowCount, runs1);
    const ChartSeries series2 = seriesFromRuns(rowCount, runs2);
    chart.setData(series1, series2);

    QCOMPARE(chart.rowCount(), rowCount);
    QVERIFY(chart.series(1) == series1);
    QVERIFY(chart.series(2) == series2);

    QValueAxis *rowAxis = axisAt(chart.chart(), Qt::AlignBottom);
    QValueAxis *levelAxis = axisAt(chart.chart(), Qt::AlignLeft);
    QVERIFY(rowAxis);
    QVERIFY(levelAxis);
    if (rowCount > 0) {
        QCOMPARE(rowAxis->min(), 1.0);
        QCOMPARE(rowAxis->max(), double(rowCount));
    } else {
        QVERIFY(rowAxis->max() == 1.0 && (rowAxis->min() == 0.0 || rowAxis->min() == 1.0));
    }

    QCOMPARE(chart.chart()->series().size(), chart.lines(1).size() + chart.lines(2).size());
    QVERIFY(lineColour(chart, 1) != lineColour(chart, 2));

    const Runs runsOf[] = {runs1, runs2};
    for (int index = 1; index <= 2; ++index) {
        const Runs &expected = runsOf[index - 1];
        const QList<QLineSeries *> lines = chart.lines(index);
        QVERIFY(!lines.isEmpty());

        QList<QList<QPointF>> drawn;
        for (QLineSeries *line : lines) {
            QCOMPARE(line->pen().color(), lineColour(chart, index));
            QVERIFY(line->attachedAxes().contains(rowAxis));
            QVERIFY(line->attachedAxes().contains(levelAxis));
            if (line->count() == 1)
                QVERIFY2(line->pointsVisible(), "a lone value would draw nothing");
            if (line->count() > 0)
                drawn.append(line->points());
        }
        std::sort(drawn.begin(), drawn.end(), [](const QList<QPointF> &a, const QList<QPointF> &b) {
            return a.first().x() < b.first().x();
        });

        QCOMPARE(drawn.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(drawn[i], pointsOf(expected[i]));
    }
}

void TestLevelChart::axes_data()
{
    QTest::addColumn<int>("rowCount");

    QTest::newRow("no rows") << 0;
    QTest::newRow("one row") << 1;
    QTest::newRow("12 rows") << 12;
    QTest::newRow("61 rows") << 61;
    QTest::newRow("901 rows") << 901;
}

void TestLevelChart::axes()
{
    QFETCH(int, rowCount);

    LevelChart chart;
    chart.setData(flatSeries(rowCount, 1), flatSeries(rowCount, -1));
    QChart *plot = chart.chart();

    QCOMPARE(plot->axes(Qt::Horizontal).size(), 1);
    QCOMPARE(plot->axes(Qt::Vertical).size(), 1);
    QValueAxis *rowAxis = axisAt(plot, Qt::AlignBottom);
    QValueAxis *levelAxis = axisAt(plot, Qt::AlignLeft);
    QVERIFY(rowAxis);
    QVERIFY(levelAxis);

    QCOMPARE(levelAxis->min(), -5.0);
    QCOMPARE(levelAxis->max(), 5.0);
    QCOMPARE(levelAxis->tickType(), QValueAxis::TicksFixed);
    QCOMPARE(levelAxis->tickCount(), 11);
    QVERIFY(levelAxis->isGridLineVisible());
    QVERIFY(!rowAxis->isGridLineVisible());
    QVERIFY(!rowAxis->isMinorGridLineVisible());

    // Whole-number labels must also sit on whole rows, or they name the wrong row.
    QVERIFY(rowAxis->labelFormat().contains(QLatin1Char('d')));
    if (rowAxis->tickType() == QValueAxis::TicksDynamic) {
        QCOMPARE(std::fmod(rowAxis->tickAnchor(), 1.0), 0.0);
        QCOMPARE(std::fmod(rowAxis->tickInterval(), 1.0), 0.0);
        QVERIFY(rowAxis->tickInterval() >= 1.0);
        const double span = rowAxis->max() - rowAxis->min();
        QVERIFY2(span / rowAxis->tickInterval() <= 20.0, "too many labels to read");
    } else {
        const double step = (rowAxis->max() - rowAxis->min()) / (rowAxis->tickCount() - 1);
        QCOMPARE(std::fmod(step, 1.0), 0.0);
    }

    QVERIFY(plot->title().isEmpty());
    QVERIFY(!plot->isPlotAreaBackgroundVisible());
    QCOMPARE(plot->backgroundBrush().color(), QColor(Qt::white));
    QVERIFY(plot->legend()->isVisible());
    QCOMPARE(visibleMarkers(plot).size(), 2);
}

void TestLevelChart::names_data()
{
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QString>("name2");
    QTest::addColumn<bool>("namesFirst");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");

    QTest::newRow("given, then data") << "Arousal"
                                      << "Valence" << true << "Arousal"
                                      << "Valence";
    QTest::newRow("data, then given") << "Arousal"
                                      << "Valence" << false << "Arousal"
                                      << "Valence";
    QTest::newRow("none") << ""
                          << "" << false << "Variable 1"
                          << "Variable 2";
    QTest::newRow("second missing") << "Mood"
                                    << "" << true << "Mood"
                                    << "Variable 2";
    QTest::newRow("same name twice") << "Level"
                                     << "Level" << false << "Level"
                                     << "Level";
}

void TestLevelChart::names()
{
    QFETCH(QString, name1);
    QFETCH(QString, name2);
    QFETCH(bool, namesFirst);
    QFETCH(QString, label1);
    QFETCH(QString, label2);

    // Three runs per series, so the legend must hide the extra ones.
    const ChartSeries series1 = seriesFromRuns(20, {{1, {1, 2}}, {5, {3}}, {9, {4, 4, 4}}});
    const ChartSeries series2 = seriesFromRuns(20, {{2, {-1}}, {6, {-2, -2}}, {15, {0, 1}}});
    LevelChart chart;
    if (namesFirst) {
        chart.setSeriesNames(name1, name2);
        chart.setData(series1, series2);
    } else {
        chart.setData(series1, series2);
        chart.setSeriesNames(name1, name2);
    }
    QCOMPARE(chart.lines(1).size(), 3);
    QCOMPARE(chart.lines(2).size(), 3);

    const QList<QLegendMarker *> markers = visibleMarkers(chart.chart());
    QCOMPARE(markers.size(), 2);
    QString shown1;
    QString shown2;
    for (QLegendMarker *marker : markers) {
        auto *line = qobject_cast<QLineSeries *>(marker->series());
        if (chart.lines(1).contains(line))
            shown1 = marker->label();
        else if (chart.lines(2).contains(line))
            shown2 = marker->label();
    }
    QCOMPARE(shown1, label1);
    QCOMPARE(shown2, label2);
}

void TestLevelChart::render_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("level1");
    QTest::addColumn<int>("level2");

    QTest::newRow("report size, top and bottom") << QSize(3667, 505) << 901 << 5 << -5;
    QTest::newRow("swapped") << QSize(800, 300) << 61 << -5 << 5;
    QTest::newRow("inner levels") << QSize(640, 480) << 30 << 2 << -3;
    QTest::newRow("smaller than the screen") << QSize(300, 200) << 12 << 4 << 1;
    QTest::newRow("no rows") << QSize(500, 300) << 0 << 0 << 0;
}

void TestLevelChart::render()
{
    QFETCH(QSize, size);
    QFETCH(int, rowCount);
    QFETCH(int, level1);
    QFETCH(int, level2);

    LevelChart chart;
    chart.setSeriesNames(QStringLiteral("One"), QStringLiteral("Two"));
    chart.setData(flatSeries(rowCount, level1), flatSeries(rowCount, level2));
    chart.resize(420, 260);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));

    QChart *shown = chart.chart();
    const QSize widgetSize = chart.size();
    const QSizeF chartSize = shown->size();
    const QRectF plotArea = shown->plotArea();
    const qsizetype seriesCount = shown->series().size();

    const QImage image = chart.render(size);

    QCOMPARE(chart.size(), widgetSize);
    QCOMPARE(chart.chart(), shown);
    QCOMPARE(shown->size(), chartSize);
    QCOMPARE(shown->plotArea(), plotArea);
    QCOMPARE(shown->series().size(), seriesCount);

    QCOMPARE(image.size(), size);
    QVERIFY2(whiteShare(image) > 0.75, "the background is not white");
    QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(size.width() - 1, size.height() - 1), qRgb(255, 255, 255));

    const QList<int> rows1 = lineRows(image, lineColour(chart, 1));
    const QList<int> rows2 = lineRows(image, lineColour(chart, 2));
    if (rowCount == 0) {
        QVERIFY(rows1.isEmpty());
        QVERIFY(rows2.isEmpty());
        return;
    }
    QVERIFY2(!rows1.isEmpty(), "no line of series 1");
    QVERIFY2(!rows2.isEmpty(), "no line of series 2");
    // Higher levels lie higher up the image; the extremes at the top and bottom halves.
    QCOMPARE(level1 > level2, rows1.first() < rows2.first());
    const int middle = size.height() / 2;
    if (level1 == 5)
        QVERIFY(rows1.last() < middle);
    if (level1 == -5)
        QVERIFY(rows1.first() > middle);
    if (level2 == 5)
        QVERIFY(rows2.last() < middle);
    if (level2 == -5)
        QVERIFY(rows2.first() > middle);
}

void TestLevelChart::renderIsolatedValue_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("leftShare");
    QTest::addColumn<double>("rightShare");

    // Where across the image the value must appear, as shares of its width.
    QTest::newRow("first row") << 1 << 0.0 << 0.34;
    QTest::newRow("middle row") << 21 << 0.33 << 0.67;
    QTest::newRow("last row") << 41 << 0.66 << 1.0;
}

void TestLevelChart::renderIsolatedValue()
{
    QFETCH(int, row);
    QFETCH(double, leftShare);
    QFETCH(double, rightShare);

    constexpr int rowCount = 41;
    const QSize size(800, 400);
    LevelChart chart;
    chart.setData(ChartSeries(rowCount), ChartSeries(rowCount));
    const QImage without = chart.render(size);
    chart.setData(seriesFromRuns(rowCount, {{row, {5}}}), ChartSeries(rowCount));
    const QImage with = chart.render(size);
    const QColor colour = lineColour(chart, 1);

    // Only the value tells the two images apart: the legend swatch is in both.
    qint64 count = 0;
    qint64 sumX = 0;
    qint64 sumY = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (isNear(with.pixel(x, y), colour) && !isNear(without.pixel(x, y), colour)) {
                ++count;
                sumX += x;
                sumY += y;
            }
        }
    }
    QVERIFY2(count > 0, "the lone value cannot be seen");
    const double x = double(sumX) / count / size.width();
    const double y = double(sumY) / count / size.height();
    QVERIFY2(x >= leftShare && x <= rightShare, qPrintable(QString::number(x)));
    QVERIFY2(y < 0.5, qPrintable(QString::number(y)));
}

QTEST_MAIN(TestLevelChart)
#include "tst_levelchart.moc"
