#pragma once

#include "collatechart.h"

#include <QWidget>

#include <optional>

// Paints the chart, with a cursor where a clip is being reviewed; a click or a drag across it
// asks for that moment of the clip. The chart itself knows nothing of widgets.
class ChartView : public QWidget
{
    Q_OBJECT
public:
    ChartView(const CollateChart &chart, QWidget *parent);

    const CollateChart &chart() const { return m_chart; }
    void setCursor(std::optional<double> seconds);
    std::optional<double> cursor() const { return m_cursor; }
    // Whether clicks seek: only while a clip is attached.
    void setSeeking(bool seeking) { m_seeking = seeking; }

signals:
    void seekRequested(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    const CollateChart &m_chart;
    std::optional<double> m_cursor;
    bool m_seeking = false;
};
