// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include "videopipeline.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <mutex>

namespace {

const QString NoGStreamer = QStringLiteral("GStreamer could not be started: %1");
const QString MissingElement = QStringLiteral("the GStreamer element %1 is missing (package %2)");
const QString NotAClip = QStringLiteral("%1 cannot be read as a clip: %2");
const QString Unopened = QStringLiteral("it could not be opened");
const QString MissingStream = QStringLiteral("a stream of the clip could not be decoded");
const QString NotMade = QStringLiteral("the video could not be made: %1");
const QString NotFitting = QStringLiteral("the elements do not fit together");
const QString NotStarted = QStringLiteral("the pipeline did not start");

// How long the clip may take to tell its streams and length.
constexpr GstClockTime DiscoverTimeout = 30 * GST_SECOND;

QString fromUtf8(const char *text)
{
    return QString::fromUtf8(text ? text : "");
}

// Takes the error's message and frees it.
QString messageOf(GError *failure, const QString &otherwise)
{
    const QString text = failure ? fromUtf8(failure->message) : otherwise;
    if (failure)
        g_error_free(failure);
    return text;
}

const char *packageOf(const QByteArray &factory)
{
    if (factory == "x264enc")
        return "gstreamer1.0-plugins-ugly";
    if (factory == "avenc_aac")
        return "gstreamer1.0-libav";
    if (factory == "mp4mux")
        return "gstreamer1.0-plugins-good";
    return "gstreamer1.0-plugins-base";
}

// Links the elements in order; false where one is missing or they do not fit.
bool chain(std::initializer_list<GstElement *> elements)
{
    GstElement *previous = nullptr;
    for (GstElement *element : elements) {
        if (!element || (previous && !gst_element_link(previous, element)))
            return false;
        previous = element;
    }
    return true;
}

} // namespace

namespace VideoPipeline {

bool start(QString *error)
{
    static GError *failure = nullptr;
    static const bool started = gst_init_check(nullptr, nullptr, &failure);
    if (!started)
        *error = NoGStreamer.arg(failure ? fromUtf8(failure->message) : QString());
    return started;
}

bool discover(const QString &clip, Streams *streams, QString *error)
{
    GError *failure = nullptr;
    gchar *uri = gst_filename_to_uri(QFile::encodeName(clip).constData(), &failure);
    GstDiscoverer *discoverer = uri ? gst_discoverer_new(DiscoverTimeout, &failure) : nullptr;
    GstDiscovererInfo *info =
        discoverer ? gst_discoverer_discover_uri(discoverer, uri, &failure) : nullptr;
    const bool ok = info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK;
    if (ok) {
        GList *pictures = gst_discoverer_info_get_video_streams(info);
        for (GList *p = pictures; p; p = p->next)
            streams->picture |=
                !gst_discoverer_video_info_is_image(GST_DISCOVERER_VIDEO_INFO(p->data));
        gst_discoverer_stream_info_list_free(pictures);
        GList *sounds = gst_discoverer_info_get_audio_streams(info);
        streams->sound = sounds != nullptr;
        gst_discoverer_stream_info_list_free(sounds);
        const GstClockTime duration = gst_discoverer_info_get_duration(info);
        streams->nanoseconds = GST_CLOCK_TIME_IS_VALID(duration) ? qint64(duration) : 0;
        g_clear_error(&failure);
    } else {
        *error = NotAClip.arg(clip, messageOf(failure, Unopened));
    }
    if (info)
        g_object_unref(info);
    if (discoverer)
        g_object_unref(discoverer);
    g_free(uri);
    return ok;
}

// What the pipeline's callbacks share with the caller, on the streaming threads.
struct Writing::Pipeline
{
    GstElement *add(const char *factory)
    {
        GstElement *element = gst_element_factory_make(factory, nullptr);
        if (element)
            gst_bin_add(GST_BIN(pipeline), element);
        else if (error.isEmpty())
            error = MissingElement.arg(QLatin1String(factory), QLatin1String(packageOf(factory)));
        return element;
    }

    GstElement *withCaps(const QByteArray &caps)
    {
        GstElement *filter = add("capsfilter");
        if (filter) {
            GstCaps *parsed = gst_caps_from_string(caps.constData());
            g_object_set(filter, "caps", parsed, nullptr);
            gst_caps_unref(parsed);
        }
        return filter;
    }

    bool build(const QString &clip, const Streams &streams, int fd, const QString &spill);

    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstElement *pictureIn = nullptr; // where the clip's picture goes; none for a sound-only clip
    GstElement *soundIn = nullptr;
    bool pictureLinked = false;
    bool soundLinked = false;
    std::mutex linking;
    VideoExport::Draw draw;
    qint64 nanoseconds = 0;
    std::atomic<qint64> done{0}; // the moment of the last frame drawn, in ns
    QString error;
};

namespace {

using Pipeline = Writing::Pipeline;

void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *p = static_cast<Pipeline *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const QByteArray kind = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    gst_caps_unref(caps);
    const std::lock_guard<std::mutex> lock(p->linking);
    GstElement *target = nullptr;
    if (kind.startsWith("video/") && p->pictureIn && !p->pictureLinked) {
        target = p->pictureIn;
        p->pictureLinked = true;
    } else if (kind.startsWith("audio/") && p->soundIn && !p->soundLinked) {
        target = p->soundIn;
        p->soundLinked = true;
    } else {
        // Further streams, subtitles, a cover picture: read and dropped.
        target = gst_element_factory_make("fakesink", nullptr);
        g_object_set(target, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(p->pipeline), target);
        gst_element_sync_state_with_parent(target);
    }
    GstPad *sink = gst_element_get_static_pad(target, "sink");
    gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

// A stream the clip was found to hold that never came would leave the muxer waiting for ever.
void onNoMorePads(GstElement *decoder, gpointer data)
{
    auto *p = static_cast<Pipeline *>(data);
    const std::lock_guard<std::mutex> lock(p->linking);
    if ((p->pictureIn && !p->pictureLinked) || (p->soundIn && !p->soundLinked)) {
        GError *failure = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE,
                                              MissingStream.toUtf8().constData());
        gst_element_post_message(decoder,
                                 gst_message_new_error(GST_OBJECT(decoder), failure, nullptr));
        g_error_free(failure);
    }
}

GstVideoOverlayComposition *onDraw(GstElement *, GstSample *sample, gpointer data)
{
    auto *p = static_cast<Pipeline *>(data);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return nullptr;
    // The moment in the clip, as a player shows it, whatever the first timestamp.
    const GstClockTime moment = gst_segment_to_stream_time(gst_sample_get_segment(sample),
                                                           GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (GST_CLOCK_TIME_IS_VALID(moment))
        p->done = qint64(moment);
    const QSize frame(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    const QRect area = VideoExport::overlayArea(frame);
    if (!p->draw || area.isEmpty())
        return nullptr;
    // Only the lower third is drawn and blended: the rest of the frame is never touched.
    GstBuffer *pixels =
        gst_buffer_new_allocate(nullptr, gsize(area.width()) * area.height() * 4, nullptr);
    gst_buffer_add_video_meta(pixels, GST_VIDEO_FRAME_FLAG_NONE,
                              GST_VIDEO_OVERLAY_COMPOSITION_FORMAT_RGB, area.width(),
                              area.height());
    GstMapInfo map;
    gst_buffer_map(pixels, &map, GST_MAP_WRITE);
    {
        // GStreamer's BGRA is QImage's ARGB32 in a little-endian machine's memory.
        QImage image(map.data, area.width(), area.height(), area.width() * 4,
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        p->draw(painter, frame, (p->done + qint64(GST_MSECOND) / 2) / qint64(GST_MSECOND));
    }
    gst_buffer_unmap(pixels, &map);
    GstVideoOverlayRectangle *rectangle = gst_video_overlay_rectangle_new_raw(
        pixels, area.x(), area.y(), guint(area.width()), guint(area.height()),
        GST_VIDEO_OVERLAY_FORMAT_FLAG_PREMULTIPLIED_ALPHA);
    gst_buffer_unref(pixels);
    GstVideoOverlayComposition *composition = gst_video_overlay_composition_new(rectangle);
    gst_video_overlay_rectangle_unref(rectangle);
    return composition;
}

} // namespace

// Queues give decoding, drawing and each encoder threads of their own.
bool Writing::Pipeline::build(const QString &clip, const Streams &streams, int fd,
                              const QString &spill)
{
    GstElement *source = add("filesrc");
    GstElement *decoder = add("decodebin");
    GstElement *muxer = add("mp4mux");
    GstElement *sink = add("fdsink");
    GstElement *overlay = add("overlaycomposition");
    GstElement *encoder = add("x264enc");
    if (!chain({source, decoder}) || !chain({muxer, sink}) || !overlay || !encoder)
        return false;
    g_object_set(source, "location", QFile::encodeName(clip).constData(), nullptr);
    // Headers first; the media data waits in a file beside the output, not in memory or /tmp.
    g_object_set(muxer, "faststart", TRUE, "faststart-file", QFile::encodeName(spill).constData(),
                 nullptr);
    g_object_set(sink, "fd", fd, nullptr);
    // Quality-based at a level that holds up on a projector; no look-ahead or B-frames keeps the
    // encoder's memory small at 1080p, and slices keep both cores busy.
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "veryfast");
    gst_util_set_object_arg(G_OBJECT(encoder), "tune", "zerolatency");
    gst_util_set_object_arg(G_OBJECT(encoder), "pass", "qual");
    g_object_set(encoder, "quantizer", 21u, nullptr);
    g_signal_connect(overlay, "draw", G_CALLBACK(onDraw), this);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onPadAdded), this);
    g_signal_connect(decoder, "no-more-pads", G_CALLBACK(onNoMorePads), this);

    // 4:2:0 in 8 bits is what browsers and presentation programs decode.
    if (streams.picture) {
        pictureIn = add("queue");
        if (!chain({pictureIn, add("videoconvert"), withCaps("video/x-raw,format=I420"), overlay,
                    add("queue"), encoder, muxer}))
            return false;
    } else {
        GstElement *black = add("videotestsrc");
        if (!black)
            return false;
        // Frames enough to cover the sound, which ends within the last of them.
        const qint64 frame = qint64(GST_SECOND) / VideoExport::SoundOnlyRate;
        g_object_set(black, "num-buffers", int((streams.nanoseconds + frame - 1) / frame), nullptr);
        gst_util_set_object_arg(G_OBJECT(black), "pattern", "black");
        const QByteArray caps = QStringLiteral("video/x-raw,format=I420,width=%1,height=%2,"
                                               "framerate=%3/1,pixel-aspect-ratio=1/1")
                                    .arg(VideoExport::SoundOnlyWidth)
                                    .arg(VideoExport::SoundOnlyHeight)
                                    .arg(VideoExport::SoundOnlyRate)
                                    .toLatin1();
        if (!chain({black, withCaps(caps), overlay, add("queue"), encoder, muxer}))
            return false;
    }
    if (streams.sound) {
        soundIn = add("queue");
        if (!chain({soundIn, add("audioconvert"), add("audioresample"), add("avenc_aac"), muxer}))
            return false;
    }
    return true;
}

Writing::Writing(const QString &clip, const Streams &streams, int fd, const QString &spill,
                 const VideoExport::Draw &draw)
    : m_pipeline(std::make_unique<Pipeline>())
{
    Pipeline &p = *m_pipeline;
    p.draw = draw;
    p.nanoseconds = streams.nanoseconds;
    if (!p.build(clip, streams, fd, spill)) {
        p.error = NotMade.arg(p.error.isEmpty() ? NotFitting : p.error);
    } else if (gst_element_set_state(p.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The bus says why, where an element did.
        GstMessage *message = gst_bus_pop_filtered(p.bus, GST_MESSAGE_ERROR);
        GError *failure = nullptr;
        if (message)
            gst_message_parse_error(message, &failure, nullptr);
        p.error = NotMade.arg(messageOf(failure, NotStarted));
        if (message)
            gst_message_unref(message);
    }
}

Writing::~Writing()
{
    gst_element_set_state(m_pipeline->pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline->bus);
    gst_object_unref(m_pipeline->pipeline);
}

Writing::State Writing::wait(int milliseconds)
{
    Pipeline &p = *m_pipeline;
    if (!p.error.isEmpty())
        return State::Failed;
    GstMessage *message =
        gst_bus_timed_pop_filtered(p.bus, GstClockTime(milliseconds) * GST_MSECOND,
                                   GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (!message)
        return State::Running;
    State state = State::Ended;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *failure = nullptr;
        gst_message_parse_error(message, &failure, nullptr);
        p.error = NotMade.arg(messageOf(failure, QStringLiteral("unknown error")));
        state = State::Failed;
    }
    gst_message_unref(message);
    return state;
}

double Writing::fraction() const
{
    const Pipeline &p = *m_pipeline;
    return p.nanoseconds > 0 ? std::min(1.0, double(p.done) / double(p.nanoseconds)) : 0.0;
}

const QString &Writing::error() const
{
    return m_pipeline->error;
}

} // namespace VideoPipeline
