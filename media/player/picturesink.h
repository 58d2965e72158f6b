#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>

#include "playbin.h"

#include <atomic>

typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;

// The end of the player's video branch, built from GStreamer elements: each decoded picture is
// scaled in the decoder's own format to fit the area shown (never enlarged, aspect kept), only
// then converted to RGB, and handed to the interface thread as a finished QImage. Decoding,
// scaling and conversion run on GStreamer's streaming threads; the interface thread only takes
// the latest picture, so a press never waits behind a frame.
class PictureSink : public QObject
{
    Q_OBJECT
public:
    explicit PictureSink(QObject *parent = nullptr);
    // The pipeline that holds sink() must be in the NULL state by now: its threads call us.
    ~PictureSink() override;

    // For playbin's video-filter and video-sink properties; null when an element is missing.
    // The filter scales on the decoder's thread, so that the queue playbin puts before the
    // sink holds pictures of the size shown rather than full-size ones.
    GstElement *filter() const { return m_filter; }
    GstElement *sink() const { return m_sink; }

    // From the next picture on, fit pictures into this many device pixels.
    void setArea(QSize pixels, qreal devicePixelRatio);
    // The clip's picture size as decoded; empty before the first picture.
    QSize clipSize() const;
    // For the player's log: how a picture of this size shown was made.
    QString describe(QSize shown) const;
    // Forgets a picture not yet taken: it belongs to a clip that was stopped.
    void discard();

    // Measures how late the pictures come, for the decoder's input to skip by.
    Playbin::Pacer &pacer() { return m_pacer; }
    const Playbin::Pacer &pacer() const { return m_pacer; }

    // Pictures made on the interface thread. Always 0, unless the design is broken.
    int madeOnInterfaceThread() const { return m_madeOnInterfaceThread.load(); }

signals:
    // On the interface thread: the latest finished picture, of the size to show. Pictures that
    // came while the interface thread was busy are skipped, never queued up.
    void pictureReady(const QImage &picture);

private:
    friend struct PictureSinkCallbacks;
    // On a streaming thread.
    void pace(GstElement *sink, GstSample *sample);
    void offer(GstSample *sample);
    // On the interface thread.
    void take();

    GstElement *m_filter = nullptr;
    GstElement *m_sink = nullptr;
    GstElement *m_sizeFilter = nullptr;
    QSize m_area;
    QMutex m_mutex;
    // Guarded by m_mutex.
    QImage m_latest;
    bool m_takePosted = false;
    qreal m_devicePixelRatio = 1.0;
    std::atomic<int> m_madeOnInterfaceThread{0};
    Playbin::Pacer m_pacer;
};
