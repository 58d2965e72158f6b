#pragma once

#include <QSize>

#include <QString>
#include <algorithm>

// What a clip's headers say of its picture, read before anything is decoded.
struct ClipPicture
{
    QSize size;      // invalid where the clip has no picture (sound alone)
    QString problem; // why the clip cannot be read; empty where it can
};
ClipPicture probeClipPicture(const QString &path);

// The largest picture the trace video is written at, either way up: a frame the encoder's
// level still takes, and a few tens of megabytes a frame while it is drawn on.
inline constexpr QSize LargestTracePicture(3840, 2160);
inline bool fitsTraceVideo(const QSize &picture)
{
    return !picture.isValid() ||
           (std::max(picture.width(), picture.height()) <= LargestTracePicture.width() &&
            std::min(picture.width(), picture.height()) <= LargestTracePicture.height());
}
