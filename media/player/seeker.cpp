// The seeks and restarts of a playbin, carried out on one of GStreamer's threads (playbin.h).
#include "playbin.h"

#include <gst/gst.h>

#include <mutex>
#include <utility>

namespace Playbin {

struct Seeker::State
{
    std::mutex mutex;
    // Held while the clip is started again, which waits for its streaming threads to end.
    std::mutex restarting;
    // Guarded by mutex.
    qint64 milliseconds = 0;
    bool exact = false;
    bool pending = false;
    bool running = false;
    bool restart = false;
};

namespace {

void carryOutSeeks(GstElement *pipeline, gpointer data)
{
    auto &state = **static_cast<std::shared_ptr<Seeker::State> *>(data);
    for (;;) {
        std::unique_lock lock(state.mutex);
        if (std::exchange(state.restart, false)) {
            // cancel() waits for this, so that a clip closed meanwhile is not played again.
            const std::lock_guard held(state.restarting);
            lock.unlock();
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
            continue;
        }
        if (!state.pending) {
            state.running = false;
            return;
        }
        state.pending = false;
        const qint64 milliseconds = state.milliseconds;
        const auto flags =
            GstSeekFlags(GST_SEEK_FLAG_FLUSH |
                         (state.exact ? GST_SEEK_FLAG_ACCURATE
                                      : GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_NEAREST));
        lock.unlock();
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, milliseconds * GST_MSECOND);
    }
}

void releaseState(gpointer data)
{
    delete static_cast<std::shared_ptr<Seeker::State> *>(data);
}

} // namespace

Seeker::Seeker(GstElement *pipeline) : m_pipeline(pipeline), m_state(std::make_shared<State>()) {}

void Seeker::request(qint64 milliseconds, bool exact)
{
    if (!m_pipeline)
        return;
    std::lock_guard lock(m_state->mutex);
    m_state->milliseconds = milliseconds;
    m_state->exact = exact;
    m_state->pending = true;
    start();
}

void Seeker::restart()
{
    if (!m_pipeline || !std::unique_lock(m_state->restarting, std::try_to_lock))
        return; // one is under way
    std::lock_guard lock(m_state->mutex);
    m_state->restart = true;
    m_state->pending = false;
    start();
}

void Seeker::start()
{
    if (!std::exchange(m_state->running, true))
        gst_element_call_async(m_pipeline, &carryOutSeeks, new std::shared_ptr<State>(m_state),
                               &releaseState);
}

void Seeker::cancel()
{
    std::lock_guard lock(m_state->mutex);
    m_state->pending = m_state->restart = false;
    const std::lock_guard finished(m_state->restarting);
}

} // namespace Playbin
