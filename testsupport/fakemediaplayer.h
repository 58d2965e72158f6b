#pragma once

#include "mediaplayer.h"

#include <QPointer>

// A player that plays nothing: the caller sets the length and raises errors itself. A clip's
// length given before the rating screen asks for it stands for a clip of any length, so that a
// fifteen-minute table can be filled in a moment.
class FakeMediaPlayer : public MediaPlayer
{
public:
    ~FakeMediaPlayer() override;
    // A picture with a position slider, as the real player's.
    QWidget *view() override;
    void setUrl(const QString &path) override { url = path; }
    double duration() const override { return m_duration; }
    void close() override { ++closeCalls; }
    double position() const override { return playing; }
    void setPlaying(bool play) override { running = play; }
    bool isPlaying() const override { return running; }
    void seekTo(double seconds) override { playing = seconds; }

    // As the real player does: the length arrives some time after setUrl.
    void arrive(double seconds);
    void fail(const QString &reason) { emit errorOccurred(reason); }
    void reachEnd() { emit endReached(); }
    // The subject uses the player's controls; a seek moves the position.
    void use(Control control, double seconds);

    QString url;
    int closeCalls = 0;
    double playing = -1.0; // the position it reports; negative: none
    bool running = false;

private:
    // The screen that shows the view owns it from then on and may delete it first.
    QPointer<QWidget> m_view;
    double m_duration = 0.0;
};
