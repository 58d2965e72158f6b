#pragma once

#include "mediaplayer.h"

#include <QPointer>
#include <QWidget>

// Stands in for the player where only a clip's length matters: a fifteen-minute table can then
// be filled in a moment instead of fifteen minutes.
class FixedLengthPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit FixedLengthPlayer(double seconds, QObject *parent = nullptr)
        : MediaPlayer(parent), m_seconds(seconds)
    {
    }
    // The screen that adopted the view may already have deleted it.
    ~FixedLengthPlayer() override { delete m_view.data(); }

    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setUrl(const QString &) override {}
    double duration() const override { return m_seconds; }
    void close() override {}
    double position() const override { return -1.0; }
    void setPlaying(bool) override {}
    bool isPlaying() const override { return false; }
    void seekTo(double) override {}

private:
    QPointer<QWidget> m_view;
    double m_seconds;
};
