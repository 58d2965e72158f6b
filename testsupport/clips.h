#pragma once

#include <QRgb>
#include <QSize>
#include <QString>

// A clip made by ffmpeg from its test sources, for the tests and the benchmark: a 440 Hz tone
// (unless without sound) and, where a size is given, a moving test picture at that rate, or a
// plain one of the colour given (0xRRGGBB; 0: none).
struct Clip
{
    QSize picture;
    int rate = 25;
    QRgb plain = 0;
    // H.264 in whatever container, with AAC sound in .mp4 and PCM in the others; otherwise the
    // codecs the extension is known for (.avi MPEG-4, .mpg MPEG-2, .wmv Windows Media, .mp3, .wav).
    bool h264 = false;
    bool sound = true;
};

// Empty once the clip is made; otherwise why it could not be.
QString makeClip(const QString &path, double seconds, const Clip &clip = {});
