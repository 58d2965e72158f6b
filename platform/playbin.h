#pragma once

#include <QString>

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

// The one place where the pipeline's nanoseconds become the seconds callers see.
double seconds(qint64 nanoseconds);

// A GStreamer error as one sentence a person can read.
QString readableReason(const QString &gstreamerText);

} // namespace Playbin
