#pragma once

#include "videoexport.h"

#include <QSize>
#include <QString>

#include <memory>

// The GStreamer side of VideoExport: what a clip holds, and the pipeline that writes it again.
namespace VideoPipeline {

struct Streams
{
    bool picture = false; // a moving one: a still picture, as an MP3's cover, is none
    QSize size;           // the first moving picture's
    bool sound = false;
    qint64 nanoseconds = 0; // the clip's length, 0 where it cannot be told
};

// Starts GStreamer once for the process; false with the reason where it cannot.
bool start(QString *error);

// What the clip holds; false with the reason where it is no clip that can be decoded.
bool discover(const QString &clip, Streams *streams, QString *error);

// clip ! decodebin, its picture (or a black one where it has none) drawn on and encoded as H.264,
// its sound encoded as AAC, both muxed as MP4 with the headers first onto fd; the muxer keeps the
// media data in the file spill until the end. It runs from construction on its own threads.
class Writing
{
public:
    Writing(const QString &clip, const Streams &streams, int fd, const QString &spill,
            const VideoExport::Draw &draw);
    // Stops the pipeline, every thread of it joined; fd is left open.
    ~Writing();
    Writing(const Writing &) = delete;
    Writing &operator=(const Writing &) = delete;

    enum class State
    {
        Running,
        Ended, // everything is written to fd
        Failed,
    };
    // Waits up to milliseconds for the end or a failure.
    State wait(int milliseconds);
    // Of the clip's length, as far as the frames have come.
    double fraction() const;
    // Why it failed.
    const QString &error() const;

    struct Pipeline; // GStreamer's objects and what its threads share

private:
    std::unique_ptr<Pipeline> m_pipeline;
};

} // namespace VideoPipeline
