#pragma once

#include "mediaplayer.h"

#include <QWidget>

// A player that plays nothing: tests set the length and raise errors themselves.
class FakeMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setUrl(const QString &path) override
    {
        url = path;
        ++setUrlCalls;
    }
    double duration() const override { return m_duration; }
    void close() override { ++closeCalls; }

    // As the real player does: the length arrives some time after setUrl.
    void arrive(double seconds)
    {
        m_duration = seconds;
        emit durationChanged(seconds);
    }
    void fail(const QString &reason) { emit errorOccurred(reason); }

    QString url;
    int setUrlCalls = 0;
    int closeCalls = 0;

private:
    QWidget *m_view = nullptr;
    double m_duration = 0.0;
};
