#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

// Shows the clip's picture exactly as the media framework finished it: at its own size, centred
// on black. It never scales or converts a picture on the interface thread; one larger than the
// area (for a moment after the area shrank, until pictures of the new size arrive) is clipped.
class PictureView : public QWidget
{
    Q_OBJECT
public:
    explicit PictureView(QWidget *parent = nullptr);

    // The size pictures should be made at, in device pixels.
    QSize areaInPixels() const;
    void setPicture(const QImage &picture);
    // Clears the picture and the notice.
    void clear();
    // A line across the top of the picture for the subject and the operator; empty hides it.
    void setNotice(const QString &text);
    const QImage &picture() const { return m_picture; }
    // Where the picture is drawn, in this widget's coordinates; empty without a picture.
    QRect pictureRect() const;

signals:
    // Pictures should be made to fit this many device pixels from now on.
    void areaChanged(QSize pixels, qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_picture;
    QLabel m_notice;
};
