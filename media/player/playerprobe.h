#pragma once

#include <QSize>
#include <QtGlobal>

#include <memory>

class GstMediaPlayer;

// For tests: what GstMediaPlayer's pipeline does, looked at through GStreamer, which stays
// private to media/. Qt types only.
namespace PlayerProbe {

// The largest picture that any element of the pipeline took in to change its colour format.
QSize largestConverted(const GstMediaPlayer &player);

// Where the pipeline itself says the clip is, in nanoseconds; -1 where it says nothing.
qint64 pipelinePosition(const GstMediaPlayer &player);

// From now on the player's video decoder takes at least this long for each picture it hands
// on, as on a computer too busy to decode the clip in time.
void slowDownDecoding(GstMediaPlayer &player, int milliseconds);

// playbin's own volume (0 to 1) and mute.
double volume(const GstMediaPlayer &player);
bool isMuted(const GstMediaPlayer &player);

// Listens at the input of the player's sound sink, from construction on, to the samples that
// reach it: the clip's samples are 16-bit, and nothing on their way to a sink that takes any
// format changes that.
class SoundListener
{
public:
    explicit SoundListener(const GstMediaPlayer &player);
    ~SoundListener();
    SoundListener(const SoundListener &) = delete;
    SoundListener &operator=(const SoundListener &) = delete;

    // Whether the player has a sound sink to listen at.
    bool hasSink() const;
    // The loudest sample so far.
    int loudest() const;
    // Whether an element inside the sink turns the volume down itself, so that the samples
    // reaching it are still at full strength.
    bool sinkHasOwnVolume() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace PlayerProbe
