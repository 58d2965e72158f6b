#include "levelchart.h"

#include "axisstep.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Tags every line with the series it draws, so lines() can tell the runs of one series apart
// from those of the other without relying on colour or name, which the user may make equal.
const char *const seriesProperty = "levelChartSeries";

QColor seriesColor(int index)
{
    return index == 1 ? QColor(Qt::blue) : QColor(Qt::red);
}

QLineSeries *newLine(QChart *chart, int index, const QString &name, QValueAxis *rowAxis,
                     QValueAxis *levelAxis)
{
    auto *line = new QLineSeries;
    line->setName(name);
    line->setProperty(seriesProperty, index);
    chart->addSeries(line);
    // After addSeries: the theme recolours a series when it joins the chart.
    QPen pen(seriesColor(index));
    pen.setWidthF(2.0);
    line->setPen(pen);
    line->attachAxis(rowAxis);
    line->attachAxis(levelAxis);
    return line;
}

// Qt Charts cannot leave gaps inside one line, so each run of consecutive valued rows is a line
// of its own; only the first carries a legend entry, and none does for an unlisted series.
void addSeries(QChart *chart, const ChartSeries &series, int index, const QString &name,
               bool listed, QValueAxis *rowAxis, QValueAxis *levelAxis)
{
    QList<QLineSeries *> lines;
    QList<QPointF> run;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        QLineSeries *line = newLine(chart, index, name, rowAxis, levelAxis);
        line->replace(run);
        // A run of one row has no segment to draw, so it needs a marker to be seen at all.
        if (run.size() == 1)
            line->setPointsVisible(true);
        lines.append(line);
        run.clear();
    };
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (series[i])
            run.append(QPointF(static_cast<qreal>(i + 1), *series[i]));
        else
            flush();
    }
    flush();
    if (lines.isEmpty())
        lines.append(newLine(chart, index, name, rowAxis, levelAxis));

    for (qsizetype i = listed ? 1 : 0; i < lines.size(); ++i) {
        for (QLegendMarker *marker : chart->legend()->markers(lines[i]))
            marker->setVisible(false);
    }
}

} // namespace

LevelChart::LevelChart(int lowestLevel, int highestLevel, QWidget *parent)
    : QWidget(parent), m_lowestLevel(lowestLevel), m_highestLevel(highestLevel)
{
    m_view = new QChartView(this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setBackgroundBrush(Qt::white);
    m_view->setFrameShape(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    showChart();
}

LevelChart::~LevelChart() = default;

void LevelChart::setData(const ChartSeries &series1, const ChartSeries &series2)
{
    m_series1 = series1;
    m_series2 = series2;
    showChart();
}

void LevelChart::setSecondSeriesListed(bool listed)
{
    m_secondListed = listed;
    showChart();
}

void LevelChart::setSeriesNames(const QString &name1, const QString &name2)
{
    m_name1 = name1;
    m_name2 = name2;
    showChart();
}

int LevelChart::rowCount() const
{
    return static_cast<int>(std::max(m_series1.size(), m_series2.size()));
}

const ChartSeries &LevelChart::series(int index) const
{
    return index == 2 ? m_series2 : m_series1;
}

QChart *LevelChart::chart() const
{
    return m_view->chart();
}

QList<QLineSeries *> LevelChart::lines(int index) const
{
    QList<QLineSeries *> result;
    for (QAbstractSeries *series : m_view->chart()->series()) {
        if (series->property(seriesProperty).toInt() == index)
            result.append(static_cast<QLineSeries *>(series));
    }
    return result;
}

QChart *LevelChart::buildChart() const
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setPlotAreaBackgroundPen(Qt::NoPen);
    // The default margins leave so little height in a short chart that Qt elides all eleven level
    // labels; the right margin keeps the last row label from being cut off.
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(6, 4, 16, 4));

    const int rows = rowCount();
    auto *rowAxis = new QValueAxis;
    // With no rows there is nothing to place; a unit span keeps the axis drawable.
    if (rows == 0)
        rowAxis->setRange(0, 1);
    else
        rowAxis->setRange(1, rows);
    rowAxis->setLabelFormat(QStringLiteral("%d"));
    rowAxis->setTickType(QValueAxis::TicksDynamic);
    rowAxis->setTickAnchor(0);
    // Round row numbers that sit exactly on their rows, whatever the number of rows.
    rowAxis->setTickInterval(AxisStep::step(rows - 1, 10, 1.0));
    rowAxis->setGridLineVisible(false);
    rowAxis->setMinorGridLineVisible(false);
    chart->addAxis(rowAxis, Qt::AlignBottom);

    auto *levelAxis = new QValueAxis;
    levelAxis->setRange(m_lowestLevel, m_highestLevel);
    levelAxis->setTickCount(m_highestLevel - m_lowestLevel + 1);
    levelAxis->setLabelFormat(QStringLiteral("%d"));
    levelAxis->setMinorGridLineVisible(false);
    chart->addAxis(levelAxis, Qt::AlignLeft);

    // The legend takes markup; names are shown as they were typed.
    const QString name1 =
        m_name1.isEmpty() ? QStringLiteral("Variable 1") : m_name1.toHtmlEscaped();
    const QString name2 =
        m_name2.isEmpty() ? QStringLiteral("Variable 2") : m_name2.toHtmlEscaped();
    addSeries(chart, m_series1, 1, name1, true, rowAxis, levelAxis);
    addSeries(chart, m_series2, 2, name2, m_secondListed, rowAxis, levelAxis);
    return chart;
}

void LevelChart::showChart()
{
    QChart *old = m_view->chart();
    m_view->setChart(buildChart());
    // setChart hands the previous chart back to us.
    delete old;
}

QImage LevelChart::render(const QSize &size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (size.isEmpty())
        return image;

    // A chart of its own, in a scene of its own, so the one on screen keeps its size.
    QGraphicsScene scene;
    QChart *chart = buildChart();
    scene.addItem(chart);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    // Painted straight away, with no event loop turn in between: the geometry must be set (which
    // lays the chart out at once) rather than left to the scene, or the chart draws empty.
    chart->setGeometry(area);
    scene.setSceneRect(area);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene.render(&painter, area, area);
    return image;
}

#include "moc_levelchart.cpp"
