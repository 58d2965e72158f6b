#pragma once

#include "mediaplayer.h"

#include <QPointer>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QPushButton;
class QSlider;
class QVideoWidget;

// The media player on Qt Multimedia: a video picture that keeps its aspect ratio, and below it
// the player's own transport controls (play/pause, a seek slider, position and length). Volume
// 50 %, not muted, rate 1, no context menu and no pop-ups of its own: errors are reported
// through errorOccurred().
class QtMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit QtMediaPlayer(QObject *parent = nullptr);
    ~QtMediaPlayer() override;

    QWidget *view() override;
    void setUrl(const QString &path) override;
    double duration() const override;
    void close() override;
    double position() const override;

    // For tests: whether the player is playing now.
    bool isPlaying() const;

private:
    void buildView();
    void updateControls();
    void setDuration(double seconds);
    // Reports at most one error per setUrl; `generation` ties it to the setUrl that caused it.
    void reportError(const QString &reason, quint64 generation);
    void reportErrorLater(const QString &reason);
    void failClip(const QString &reason);

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    // The view usually ends up owned by a screen, which may delete it before or after us.
    QPointer<QWidget> m_view;
    QVideoWidget *m_video = nullptr;
    QPushButton *m_playPause = nullptr;
    QSlider *m_seek = nullptr;
    QLabel *m_time = nullptr;
    double m_duration = 0.0;
    QString m_path;
    // Bumped by setUrl and close so that late signals about an earlier clip are ignored.
    quint64 m_generation = 0;
    bool m_errorReported = false;
    // False after close(): the player's own reports (length 0, stop) must not reach callers.
    bool m_active = false;
};
