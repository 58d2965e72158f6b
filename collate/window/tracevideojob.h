#pragma once

#include "collation.h"
#include "videoexport.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// The trace video written on a thread of its own, as an editing program runs its exports: the
// window goes on meanwhile, hears how far the video is, and may cancel it at any moment. The job
// leaves what VideoExport promises: the whole video at the output, or nothing there.
class TraceVideoJob : public QObject
{
    Q_OBJECT
public:
    // Draws its own copy of the collation, so that the window's may change meanwhile. An existing
    // file at output is replaced: the save dialog has asked.
    TraceVideoJob(const Collation &collation, const QString &clip, const QString &output,
                  QObject *parent = nullptr);
    // A job still running is cancelled and waited for: the export hears of it within a tenth
    // of a second.
    ~TraceVideoJob() override;

    void start();
    // finished() follows, with Cancelled unless the video was whole already.
    void cancel();

signals:
    // How much of the video is written, in thousandths.
    void progressChanged(int thousandths);
    // Once the thread has ended; error says why where the outcome is Failed.
    void finished(VideoExport::Outcome outcome, const QString &error);

private:
    void end();

    const Collation m_collation;
    const QString m_clip;
    const QString m_output;
    std::atomic<bool> m_cancelled{false};
    // Written by the thread, read once it has ended.
    VideoExport::Outcome m_outcome = VideoExport::Outcome::Failed;
    QString m_error;
    std::unique_ptr<QThread> m_thread;
};
