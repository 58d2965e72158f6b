#pragma once

#include <QString>

#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// How the player sets up GStreamer's playbin, apart from the player's own state.
namespace Playbin {

// A playbin for one clip at a time: picture through the given filter and sink, sound to the
// sound device or GStreamer's fake sink, volume 50 %, not muted; null without GStreamer or its
// base plug-ins. Its streaming threads give way to the interface thread (see acceptMessage).
GstElement *create(GstElement *videoFilter, GstElement *videoSink);

// Called for every message of the pipeline, on the thread that posts it: whether the player
// acts on it. A streaming thread that starts its work lowers its own priority here.
bool acceptMessage(GstMessage *message, GstElement *pipeline);

// Seeks the pipeline on one of GStreamer's threads: a flushing seek waits for the decoder to
// stop, which at 2160p holds the caller up for tens of milliseconds, and while the slider is
// dragged there would be one after another. Requests that come meanwhile replace each other;
// only the latest is carried out.
class Seeker
{
public:
    explicit Seeker(GstElement *pipeline);
    // Milliseconds; exact seeks decode up to that point, the others go to the nearest key picture.
    void request(qint64 milliseconds, bool exact);
    // Forgets a request not yet carried out, as the clip it was for is being stopped.
    void cancel();

    struct State;

private:
    GstElement *m_pipeline = nullptr;
    std::shared_ptr<State> m_state;
};

// The one place where the pipeline's nanoseconds become the seconds callers see.
double seconds(qint64 nanoseconds);

// A GStreamer error as one sentence a person can read.
QString readableReason(const QString &gstreamerText);

} // namespace Playbin
