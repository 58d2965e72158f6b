#include "tracevideojob.h"

#include "traceoverlay.h"

#include <QThread>

TraceVideoJob::TraceVideoJob(const Collation &collation, const QString &clip, const QString &output,
                             QObject *parent)
    : QObject(parent), m_collation(collation), m_clip(clip), m_output(output)
{
}

TraceVideoJob::~TraceVideoJob()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
    }
}

void TraceVideoJob::start()
{
    m_thread.reset(QThread::create([this] {
        int shown = -1;
        // Called on this thread; the signal reaches the window through its event loop.
        const auto progress = [this, &shown](double fraction) {
            const int thousandths = static_cast<int>(fraction * 1000);
            if (thousandths != shown) {
                shown = thousandths;
                emit progressChanged(thousandths);
            }
            return !m_cancelled;
        };
        m_outcome =
            TraceOverlay::writeTraceVideo(m_collation, m_clip, m_output, true, progress, &m_error);
    }));
    connect(m_thread.get(), &QThread::finished, this, &TraceVideoJob::end);
    m_thread->start();
}

void TraceVideoJob::cancel()
{
    m_cancelled = true;
}

void TraceVideoJob::end()
{
    m_thread->wait();
    emit finished(m_outcome, m_error);
}

#include "moc_tracevideojob.cpp"
