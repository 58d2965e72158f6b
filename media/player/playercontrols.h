#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

// The player's own transport controls: play/pause, a seek slider, and position and length as
// "m:ss / m:ss". They hold no player: they show what they are given and report what the user
// did. None takes the keyboard focus, and the slider lets the wheel pass to the screen: the
// rating screen rates with keys and the wheel, which must never move the clip.
class PlayerControls : public QWidget
{
    Q_OBJECT
public:
    explicit PlayerControls(QWidget *parent = nullptr);

    // Positions and lengths in milliseconds; the controls are disabled without a clip.
    void setState(bool loaded, bool playing, qint64 position, qint64 length, bool seekable);

signals:
    void playPausePressed();
    // The slider moved; exact is false while it is being dragged, where the nearest key picture
    // is enough and much cheaper.
    void seekRequested(qint64 position, bool exact);
    // The user finished moving the slider: a click on the groove, or the end of a drag.
    void seekDone(qint64 position);

private:
    QPushButton *m_playPause = nullptr;
    QSlider *m_seek = nullptr;
    QLabel *m_time = nullptr;
    bool m_showsPause = false;
};
