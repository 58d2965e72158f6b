#pragma once

#include "mediaplayer.h"

#include <QPointer>
#include <QWidget>

// A player that plays nothing: tests set the length and raise errors themselves.
class FakeMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    ~FakeMediaPlayer() override { delete m_view.data(); }

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
    // The screen that shows the view owns it from then on and may delete it first.
    QPointer<QWidget> m_view;
    double m_duration = 0.0;
};
