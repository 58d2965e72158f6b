#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The clip player embedded in the rating screen. It plays on by itself between calls; the
// program only hands it a file, reads the clip's length and position, and closes it.
class ClipPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    enum class Control
    {
        Play,
        Pause,
        Seek
    };

    // The picture with the player's own transport controls, to be placed in a screen. The
    // controls are the view's child named ControlsName.
    virtual QWidget *view() = 0;
    static constexpr char ControlsName[] = "playerControls";

    // Opens the file and starts playing it; no separate play call follows.
    virtual void setUrl(const QString &path) = 0;

    // Length of the clip in seconds, exactly 0 until it is known. Stays at the last known
    // length after close().
    virtual double duration() const = 0;

    // The playing position in seconds, or a negative number when the player reports none.
    virtual double position() const = 0;

    // Stops playback and releases the clip.
    virtual void close() = 0;

signals:
    // Emitted whenever the length changes, 0 included.
    void durationChanged(double seconds);
    // The clip cannot be played: a sentence a person can read, naming the cause.
    void errorOccurred(const QString &reason);
    // The subject or operator used the player's own controls; seconds is the position then (for
    // Seek, the new one).
    void controlUsed(ClipPlayer::Control control, double seconds);
    // The clip reached its end.
    void endReached();
    // The clip stopped moving at seconds while it should play, and starting it again did not
    // help: not its end. Reported once a clip; the player keeps trying.
    void playbackStalled(double seconds);
};
