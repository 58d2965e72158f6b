#include "levelpad.h"

#include "inputmode.h"
#include "ratingstate.h"

#include <QMouseEvent>
#include <QPainter>

LevelPad::LevelPad(QWidget *parent) : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelPad::setLevels(int level1, int level2)
{
    if (level1 == m_level1 && level2 == m_level2)
        return;
    m_level1 = level1;
    m_level2 = level2;
    update();
}

void LevelPad::setNames(const QString &across, const QString &up)
{
    m_across = across;
    m_up = up;
    update();
}

void LevelPad::request(const QPointF &at)
{
    emit levelsRequested(Rating::levelAlong(qRound(at.x()), width() - 1),
                         Rating::levelAlong(height() - 1 - qRound(at.y()), height() - 1));
}

void LevelPad::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        request(event->position());
}

void LevelPad::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        request(event->position());
}

void LevelPad::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(200, 200, 200));
    painter.drawLine(QPointF(area.center().x(), area.top()),
                     QPointF(area.center().x(), area.bottom()));
    painter.drawLine(QPointF(area.left(), area.center().y()),
                     QPointF(area.right(), area.center().y()));
    painter.setPen(Qt::darkGray);
    painter.drawRect(area);
    // The names along their axes: the first at the right end, the second at the top.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    painter.setFont(small);
    painter.setPen(Qt::gray);
    const QRectF inner = area.adjusted(3, 2, -3, -2);
    painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                     m_across + QStringLiteral(" \u2192"));
    painter.drawText(inner, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("\u2191 ") + m_up);
    constexpr int top = Input::TopTenth;
    const QPointF point(area.left() + area.width() * (m_level1 + top) / (2.0 * top),
                        area.bottom() - area.height() * (m_level2 + top) / (2.0 * top));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0, 0, 254));
    painter.drawEllipse(point, 5, 5);
}

#include "moc_levelpad.cpp"
