#pragma once

#include <QWidget>

#include <optional>
#include <vector>

class QChart;
class QChartView;
class QImage;
class QLineSeries;

// One series of the chart: element i is row i + 1; an empty element is a row without a value,
// which keeps its place along the horizontal axis but draws nothing.
using ChartSeries = std::vector<std::optional<double>>;

// A two-dimensional line chart of recorded levels: rows in ascending order along the horizontal
// axis, the level on the vertical axis (the scale the caller gives), no vertical grid lines, no
// plot-area border, no title.
class LevelChart : public QWidget
{
    Q_OBJECT
public:
    LevelChart(int lowestLevel, int highestLevel, QWidget *parent = nullptr);
    ~LevelChart() override;

    // Replaces the data. Both series have the same number of rows.
    void setData(const ChartSeries &series1, const ChartSeries &series2);
    void setSeriesNames(const QString &name1, const QString &name2);
    // Whether the second series has a legend entry; its line is drawn either way.
    void setSecondSeriesListed(bool listed);

    int rowCount() const;
    const ChartSeries &series(int index) const; // index 1 or 2

    // The chart as it stands, drawn on white at the given size in pixels. The chart on screen is
    // left untouched.
    QImage render(const QSize &size) const;

    // The chart on screen, and the lines drawn there for series 1 or 2: one per run of rows with
    // values (a series without any value keeps one empty line to carry its legend entry).
    QChart *chart() const;
    QList<QLineSeries *> lines(int index) const;

private:
    // Owned by the caller. The screen and render() both draw what this builds.
    QChart *buildChart() const;
    void showChart();

    ChartSeries m_series1;
    ChartSeries m_series2;
    QString m_name1;
    QString m_name2;
    bool m_secondListed = true;
    int m_lowestLevel;
    int m_highestLevel;
    QChartView *m_view = nullptr;
};
