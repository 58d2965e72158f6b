#pragma once

#include <QString>

// How long a clip is, read before it is played: a study checks each of its clips before anything
// starts.
class ClipLengths
{
public:
    virtual ~ClipLengths() = default;

    struct Length
    {
        double seconds = 0.0; // as the player reports it; 0 where there is a problem
        QString problem;      // a sentence on why the clip cannot be played; empty where it can
    };
    virtual Length length(const QString &path) = 0;
};

// The same read by GStreamer, which stays private here, as the player would read it.
class GstClipLengths : public ClipLengths
{
public:
    // A clip that has not told its length by then cannot be played: a healthy one on a local disk
    // tells it in some 20 ms.
    static constexpr int SecondsPerClip = 10;

    Length length(const QString &path) override;
};
