#pragma once

#include <QTimer>
#include <QWidget>

#include <optional>

class Collation;
class CollateDialogs;
class MediaPlayer;
class QLabel;
class QPushButton;

// The clip the runs were made on, beside their chart: it plays with sound through the rating
// screen's player, the chart's cursor follows where it is, a click on the chart takes it there,
// and the mean and SD at the cursor's moment stand below it. Space plays and pauses.
class ClipReview : public QWidget
{
    Q_OBJECT
public:
    ClipReview(const Collation &collation, MediaPlayer &player, CollateDialogs &dialogs,
               QWidget *parent = nullptr);

    // Asks for the clip, and attaches it.
    void chooseClip();
    void attach(const QString &clip);
    // Lets the clip go: the player closes and the chart's cursor goes.
    void detach();
    QString clip() const { return m_clip; }

    void togglePlaying();
    void seek(double seconds);
    // Where the clip is, as the cursor shows it; its figures, anew (after the collation changed).
    void follow();

signals:
    // Where the chart's cursor goes: the clip's moment, or none without a clip.
    void cursorMoved(std::optional<double> seconds);
    // Empty: detached.
    void clipAttached(const QString &clip);

private:
    const Collation &m_collation;
    MediaPlayer &m_player;
    CollateDialogs &m_dialogs;
    QString m_clip;
    QLabel *m_figures = nullptr;
    QTimer m_following;
};
