#include "pictureview.h"

#include <QPaintEvent>
#include <QPainter>

PictureView::PictureView(QWidget *parent) : QWidget(parent), m_notice(this)
{
    m_notice.setObjectName(QStringLiteral("notice"));
    m_notice.setWordWrap(true);
    m_notice.setTextFormat(Qt::PlainText);
    m_notice.setStyleSheet(QStringLiteral("color: white; background: #b00000; padding: 4px"));
    m_notice.hide();
    // Every pixel is painted here, black around the picture: nothing behind needs drawing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::NoContextMenu);
}

QSize PictureView::areaInPixels() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qMax(1, qRound(width() * ratio)), qMax(1, qRound(height() * ratio)));
}

void PictureView::setPicture(const QImage &picture)
{
    // Only the part that changes is repainted; a picture that moved or shrank leaves black.
    const QRect before = pictureRect();
    m_picture = picture;
    update(before.united(pictureRect()));
}

void PictureView::setNotice(const QString &text)
{
    m_notice.setText(text);
    m_notice.setVisible(!text.isEmpty());
    m_notice.setGeometry(0, 0, width(), m_notice.heightForWidth(width()));
}

void PictureView::clear()
{
    setNotice(QString());
    const QRect before = pictureRect();
    m_picture = QImage();
    update(before);
}

QRect PictureView::pictureRect() const
{
    if (m_picture.isNull())
        return QRect();
    // In device-independent pixels, so that a picture made for a high-density screen is drawn
    // one image pixel to one screen pixel.
    const QSize size = m_picture.deviceIndependentSize().toSize();
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void PictureView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect picture = pictureRect();
    for (const QRect &black : QRegion(event->rect()).subtracted(picture))
        painter.fillRect(black, Qt::black);
    if (!picture.isEmpty())
        painter.drawImage(picture.topLeft(), m_picture);
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit areaChanged(areaInPixels(), devicePixelRatioF());
}

#include "moc_pictureview.cpp"
