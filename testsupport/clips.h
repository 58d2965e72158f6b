#pragma once

#include <QSize>
#include <QString>

// A clip made by ffmpeg from its test sources, for the tests and the benchmark: a 440 Hz tone
// and, where a size is given, a moving test picture (or a plain red one) at that rate.
struct Clip
{
    QSize picture;
    int rate = 25;
    bool red = false;
    // H.264 in whatever container, with AAC sound in .mp4 and PCM in the others; otherwise the
    // codecs the extension is known for (.avi MPEG-4, .mpg MPEG-2, .wmv Windows Media, .mp3, .wav).
    bool h264 = false;
};

// Empty once the clip is made; otherwise why it could not be.
QString makeClip(const QString &path, double seconds, const Clip &clip = {});
