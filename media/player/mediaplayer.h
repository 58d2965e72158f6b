#pragma once

#include "clipplayer.h"

// A clip player that the program also plays, pauses and moves, for reviewing a clip as its own
// controls would.
class MediaPlayer : public ClipPlayer
{
    Q_OBJECT
public:
    using ClipPlayer::ClipPlayer;

    virtual void setPlaying(bool playing) = 0;
    virtual bool isPlaying() const = 0;
    virtual void seekTo(double seconds) = 0;
};
