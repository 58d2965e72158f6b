#include "playbin.h"

#include <gst/gst.h>

#include <cstring>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// GstPlayFlags, which playbin's headers do not export: picture and sound, in the decoders' own
// picture formats (the picture sink scales and converts), software volume where the sound
// device has none, deinterlacing where a clip needs it; no subtitles, as before.
constexpr int PlayFlags = 0x1 | 0x2 | 0x10 | 0x40 | 0x200;

// The nice value of GStreamer's threads; the interface thread keeps 0.
constexpr int StreamingNice = 10;

bool hasClass(GstElement *element, const char *a, const char *b)
{
    const char *klass =
        element ? gst_element_get_metadata(element, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass && std::strstr(klass, a) && std::strstr(klass, b);
}

// Streaming threads, and the decoder threads they start, run below the interface thread: on two
// cores a large clip keeps both busy decoding, and a press or the recording's tick must not
// wait for its turn. Sound devices' own threads keep their priority, so the sound never breaks
// up. On Linux the nice value belongs to the thread, and threads it starts inherit it.
void yieldToInterfaceThread(GstMessage *message)
{
    GstStreamStatusType type = GST_STREAM_STATUS_TYPE_CREATE;
    GstElement *owner = nullptr;
    gst_message_parse_stream_status(message, &type, &owner);
    if (type == GST_STREAM_STATUS_TYPE_ENTER && !hasClass(owner, "Sink", "Audio"))
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), StreamingNice);
}

// Software video decoders work on one thread and hand out copies of their pictures. Each
// further thread keeps some five more full-size pictures (about 65 MB at 2160p); pictures
// handed out directly come from buffer pools that GStreamer replaces while a clip starts, so
// that two sets exist for a moment (some 35 MB at 2160p). One thread of a two-core machine
// decodes 2160p H.264 at more than 30 pictures a second, and the copy costs about what the
// pools save.
void setUpElement(GstElement *, GstElement *element, gpointer)
{
    if (!hasClass(element, "Decoder", "Video"))
        return;
    GObjectClass *properties = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(properties, "max-threads"))
        g_object_set(element, "max-threads", 1, nullptr);
    if (g_object_class_find_property(properties, "direct-rendering"))
        g_object_set(element, "direct-rendering", FALSE, nullptr);
}

} // namespace

namespace Playbin {

struct Seeker::State
{
    std::mutex mutex;
    // Guarded by mutex.
    qint64 milliseconds = 0;
    bool exact = false;
    bool pending = false;
    bool running = false;
};

namespace {

void carryOutSeeks(GstElement *pipeline, gpointer data)
{
    auto &state = **static_cast<std::shared_ptr<Seeker::State> *>(data);
    for (;;) {
        std::unique_lock lock(state.mutex);
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
    if (m_state->running)
        return;
    m_state->running = true;
    gst_element_call_async(m_pipeline, &carryOutSeeks, new std::shared_ptr<State>(m_state),
                           &releaseState);
}

void Seeker::cancel()
{
    std::lock_guard lock(m_state->mutex);
    m_state->pending = false;
}

GstElement *create(GstElement *videoFilter, GstElement *videoSink)
{
    if (!gst_init_check(nullptr, nullptr, nullptr) || !videoFilter || !videoSink)
        return nullptr;
    GstElement *playbin = gst_element_factory_make("playbin", "player");
    if (!playbin)
        return nullptr;
    gst_object_ref_sink(playbin);
    g_object_set(playbin, "flags", PlayFlags, "volume", 0.5, "mute", FALSE, "video-filter",
                 videoFilter, "video-sink", videoSink, nullptr);
    // The sound device GStreamer finds, or its fake sink where there is none, so that a clip
    // plays on a machine without sound too. Named, so that tests can listen at its input.
    if (GstElement *sound = gst_element_factory_make("autoaudiosink", "sound"))
        g_object_set(playbin, "audio-sink", sound, nullptr);
    g_signal_connect(playbin, "element-setup", G_CALLBACK(&setUpElement), nullptr);
    return playbin;
}

bool acceptMessage(GstMessage *message, GstElement *pipeline)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STREAM_STATUS:
        yieldToInterfaceThread(message);
        return false;
    case GST_MESSAGE_STATE_CHANGED:
        return GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(pipeline);
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_DURATION_CHANGED:
    case GST_MESSAGE_LATENCY:
    case GST_MESSAGE_CLOCK_LOST:
        return true;
    default:
        return false;
    }
}

double seconds(qint64 nanoseconds)
{
    // Whole milliseconds, as the length has always been reported.
    return nanoseconds > 0 ? double(nanoseconds / GST_MSECOND) / 1000.0 : 0.0;
}

QString readableReason(const QString &gstreamerText)
{
    QString reason = gstreamerText.trimmed();
    if (reason.isEmpty())
        return QStringLiteral("The file is not a clip that can be played.");
    reason[0] = reason.at(0).toUpper();
    if (!reason.endsWith(QLatin1Char('.')) && !reason.endsWith(QLatin1Char('!')) &&
        !reason.endsWith(QLatin1Char('?')))
        reason += QLatin1Char('.');
    return reason;
}

} // namespace Playbin
