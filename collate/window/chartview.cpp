#include "chartview.h"

#include <QMouseEvent>
#include <QPainter>

ChartView::ChartView(const CollateChart &chart, QWidget *parent) : QWidget(parent), m_chart(chart)
{
    setMinimumSize(480, 300);
}

void ChartView::setCursor(std::optional<double> seconds)
{
    if (seconds == m_cursor)
        return;
    m_cursor = seconds;
    update();
}

void ChartView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_chart.render(painter, rect(), m_cursor);
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (m_seeking && event->button() == Qt::LeftButton)
        emit seekRequested(m_chart.secondsAt(rect(), event->position().x()));
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_seeking && (event->buttons() & Qt::LeftButton))
        emit seekRequested(m_chart.secondsAt(rect(), event->position().x()));
}

#include "moc_chartview.cpp"
