#pragma once

#include "mediaplayer.h"
#include "positionestimate.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <utility>

namespace Playbin {
class Seeker;
}
class PictureSink;
class PictureView;
class PlayerControls;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// Over the picture where a clip stood still and starting it again did not help.
inline const QString StalledNotice = QStringLiteral(
    "The clip stopped at %1 s; Dialtrace is starting it again. This is not its end.");

// The media player on GStreamer's playbin. Decoding, scaling and conversion to RGB run on
// GStreamer's threads (see PictureSink); the interface thread paints finished pictures, centred
// and never enlarged, and below them the player's own transport controls (play/pause, a seek
// slider, position and length). Volume 50 %, not muted, rate 1, no context menu and no pop-ups
// of its own: errors are reported through errorOccurred(). Without a sound device the sound
// goes to GStreamer's fake sink and the clip plays on. A clip that stops moving while it should
// play is started again from where it stood, and reported (playbackStalled) where that fails.
class GstMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit GstMediaPlayer(QObject *parent = nullptr);
    ~GstMediaPlayer() override;

    QWidget *view() override { return m_view; }
    void setUrl(const QString &path) override;
    double duration() const override { return m_duration; }
    double position() const override;
    void close() override;
    void setPlaying(bool playing) override;
    // Whether the clip is playing now.
    bool isPlaying() const override;
    void seekTo(double seconds) override;
    // For tests (PlayerProbe looks into the playbin): the playbin, and the end of its video branch.
    GstElement *pipeline() const { return m_pipeline; }
    const PictureSink &pictureSink() const { return *m_pictures; }
    // The decoder of the clip's picture and where it decodes, as the log line names it.
    QString decoder() const;

signals:
    // A picture was handed to the screen.
    void pictureShown(const QImage &picture);

private:
    friend struct GstMediaPlayerBus;
    void buildView();
    // On a streaming thread: hands the message to the interface thread.
    void postMessage(GstMessage *message);
    void handleMessage(GstMessage *message);
    void stopPipeline();
    void playOrPause();
    void seek(qint64 milliseconds, bool exact);
    void queryLengthAndSeeking();
    // Asks the pipeline, and remembers the answer for position() to go on from.
    double queryPosition() const;
    // Anything that may move the clip other than playing on: position() asks again.
    void forgetPosition() { m_estimate.forget(); }
    void updateControls();
    // Once a second while the clip should play: starts a clip that stands still again, and
    // reports one that stays still (StallWatch).
    void watchForStall();
    void setDuration(double seconds)
    {
        if (seconds != std::exchange(m_duration, seconds))
            emit durationChanged(m_duration);
    }
    // Reports at most one error per setUrl; `generation` ties it to the setUrl that caused it.
    void reportError(const QString &reason, quint64 generation);
    void reportErrorLater(const QString &reason);
    void failClip(const QString &reason);

    GstElement *m_pipeline = nullptr;
    std::unique_ptr<Playbin::Seeker> m_seeker;
    // Deleted after the pipeline is stopped: its streaming threads call into it.
    std::unique_ptr<PictureSink> m_pictures;
    // The view usually ends up owned by a screen, which may delete it before or after us.
    QPointer<QWidget> m_view;
    PictureView *m_picture = nullptr;
    PlayerControls *m_controls = nullptr;
    // Follows the position while playing, and only then.
    QTimer m_progress;
    QTimer m_stallCheck;
    StallWatch m_stallWatch;
    // Where a clip started again goes on from, in milliseconds; negative where none is.
    qint64 m_resumeAt = -1;
    // Where the clip was when the pipeline was last asked; the progress ticks keep it fresh.
    mutable PositionEstimate m_estimate;
    QElapsedTimer m_clock;
    double m_duration = 0.0;
    // Of the last picture shown: a new size is logged.
    QSize m_shownSize;
    // Bumped by setUrl and close so that late messages about an earlier clip are ignored; the
    // bus handler reads it on GStreamer's threads.
    std::atomic<quint64> m_generation{0};
    bool m_errorReported = false;
    // False after close(): the pipeline's own reports (length 0, stop) must not reach callers.
    bool m_active = false;
    bool m_playing = false;
    bool m_atEnd = false;
    bool m_seekable = false;
};
