// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include "videopipeline.h"

#include "frameblend.h"

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
        for (GList *p = pictures; p && !streams->picture; p = p->next) {
            auto *picture = GST_DISCOVERER_VIDEO_INFO(p->data);
            streams->picture = !gst_discoverer_video_info_is_image(picture);
            streams->size = QSize(int(gst_discoverer_video_info_get_width(picture)),
                                  int(gst_discoverer_video_info_get_height(picture)));
        }
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
    // Of the frames on their way to the encoder, on its streaming thread alone.
    GstVideoInfo frames;
    GstSegment segment;
    QImage layer;
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

// Draws on every frame and lays the drawing over it, in the frame's own planes; the caps and
// the segment that come before the frames tell their size, colours and moments.
GstPadProbeReturn onFrame(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *p = static_cast<Pipeline *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        GstCaps *caps = nullptr;
        const GstSegment *segment = nullptr;
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            gst_event_parse_caps(event, &caps);
            gst_video_info_from_caps(&p->frames, caps);
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            gst_event_parse_segment(event, &segment);
            gst_segment_copy_into(segment, &p->segment);
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    // The moment in the clip, as a player shows it, whatever the first timestamp.
    const GstClockTime moment =
        gst_segment_to_stream_time(&p->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (GST_CLOCK_TIME_IS_VALID(moment))
        p->done = qint64(moment);
    const QSize size(GST_VIDEO_INFO_WIDTH(&p->frames), GST_VIDEO_INFO_HEIGHT(&p->frames));
    const QRect area = VideoExport::overlayArea(size);
    GstVideoFrame frame;
    if (!p->draw || area.isEmpty() ||
        !gst_video_frame_map(&frame, &p->frames, buffer, GST_MAP_READWRITE))
        return GST_PAD_PROBE_OK;
    // Only the lower third is drawn and laid over the frame: the rest is never touched.
    if (p->layer.size() != area.size())
        p->layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    p->layer.fill(Qt::transparent);
    {
        QPainter painter(&p->layer);
        painter.translate(-area.topLeft());
        p->draw(painter, size, (p->done + qint64(GST_MSECOND) / 2) / qint64(GST_MSECOND));
    }
    gdouble kr = 0.2126;
    gdouble kb = 0.0722;
    gst_video_color_matrix_get_Kr_Kb(p->frames.colorimetry.matrix, &kr, &kb);
    FrameBlend::I420 planes{};
    for (int i = 0; i < 3; ++i) {
        planes.planes[i] = static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, i));
        planes.strides[i] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, i);
    }
    planes.width = size.width();
    planes.height = size.height();
    planes.kr = kr;
    planes.kb = kb;
    planes.fullRange = p->frames.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    FrameBlend::over(planes, p->layer, area.top());
    gst_video_frame_unmap(&frame);
    return GST_PAD_PROBE_OK;
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
    GstElement *encoder = add("x264enc");
    // 4:2:0 in 8 bits is what browsers and presentation programs decode, and what is drawn on.
    GstElement *frames = withCaps("video/x-raw,format=I420");
    if (!chain({source, decoder}) || !chain({muxer, sink}) ||
        !chain({frames, add("queue"), encoder, muxer}))
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
    GstPad *drawn = gst_element_get_static_pad(frames, "src");
    gst_pad_add_probe(
        drawn, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        onFrame, this, nullptr);
    gst_object_unref(drawn);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onPadAdded), this);
    g_signal_connect(decoder, "no-more-pads", G_CALLBACK(onNoMorePads), this);

    if (streams.picture) {
        pictureIn = add("queue");
        if (!chain({pictureIn, add("videoconvert"), frames}))
            return false;
    } else {
        GstElement *black = add("videotestsrc");
        if (!black)
            return false;
        // Frames enough to cover the sound, which ends within the last of them.
        const qint64 frame = qint64(GST_SECOND) / VideoExport::SoundOnlyRate;
        g_object_set(black, "num-buffers", int((streams.nanoseconds + frame - 1) / frame), nullptr);
        gst_util_set_object_arg(G_OBJECT(black), "pattern", "black");
        const QByteArray caps = QStringLiteral("video/x-raw,width=%1,height=%2,"
                                               "framerate=%3/1,pixel-aspect-ratio=1/1")
                                    .arg(VideoExport::SoundOnlyWidth)
                                    .arg(VideoExport::SoundOnlyHeight)
                                    .arg(VideoExport::SoundOnlyRate)
                                    .toLatin1();
        if (!chain({black, withCaps(caps), frames}))
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
    gst_video_info_init(&p.frames);
    gst_segment_init(&p.segment, GST_FORMAT_TIME);
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
