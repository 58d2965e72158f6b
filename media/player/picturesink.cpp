#include "picturesink.h"

#include <QCoreApplication>
#include <QThread>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <initializer_list>

namespace {

// Sizes up to the area: the scaler keeps a picture's own size where it fits, and otherwise
// picks the largest size inside the area with the picture's display aspect ratio.
void setUpTo(GstStructure *structure, const char *field, int most)
{
    if (most > 1)
        gst_structure_set(structure, field, GST_TYPE_INT_RANGE, 1, most, nullptr);
    else
        gst_structure_set(structure, field, G_TYPE_INT, 1, nullptr);
}

GstCaps *fittingCaps(QSize pixels)
{
    GstCaps *caps =
        gst_caps_new_simple("video/x-raw", "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    GstStructure *structure = gst_caps_get_structure(caps, 0);
    setUpTo(structure, "width", pixels.width());
    setUpTo(structure, "height", pixels.height());
    return caps;
}

bool onInterfaceThread()
{
    const QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

void unmapFrame(void *data)
{
    auto *frame = static_cast<GstVideoFrame *>(data);
    gst_video_frame_unmap(frame);
    delete frame;
}

// One bin of the elements, linked in this order, with the first one's sink pad as its own.
GstElement *chain(const char *name, std::initializer_list<GstElement *> elements)
{
    if (std::find(elements.begin(), elements.end(), nullptr) != elements.end()) {
        for (GstElement *element : elements) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return nullptr;
    }
    GstElement *bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(name)));
    GstElement *previous = nullptr;
    for (GstElement *element : elements) {
        gst_bin_add(GST_BIN(bin), element);
        if (previous)
            gst_element_link(previous, element);
        previous = element;
    }
    const auto ghost = [bin](GstElement *element, const char *pad) {
        GstPad *target = gst_element_get_static_pad(element, pad);
        if (target) {
            gst_element_add_pad(bin, gst_ghost_pad_new(pad, target));
            gst_object_unref(target);
        }
    };
    ghost(*elements.begin(), "sink");
    ghost(previous, "src");
    return bin;
}

} // namespace

struct PictureSinkCallbacks
{
    static GstFlowReturn sample(GstAppSink *sink, gpointer self)
    {
        if (GstSample *sample = gst_app_sink_pull_sample(sink)) {
            static_cast<PictureSink *>(self)->pace(GST_ELEMENT(sink), sample);
            static_cast<PictureSink *>(self)->offer(sample);
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    }
    // The first picture after opening, and the one after a seek while paused.
    static GstFlowReturn preroll(GstAppSink *sink, gpointer self)
    {
        if (GstSample *sample = gst_app_sink_pull_preroll(sink)) {
            static_cast<PictureSink *>(self)->offer(sample);
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    }
};

PictureSink::PictureSink(QObject *parent) : QObject(parent)
{
    if (!gst_is_initialized())
        return;
    GstElement *size = gst_element_factory_make("capsfilter", "size");
    // Scaled first, in the decoder's format: only a picture of the size shown is converted.
    m_filter = chain("scale", {gst_element_factory_make("videoscale", "scale"), size});
    GstElement *sink = gst_element_factory_make("appsink", "pictures");
    m_sink = chain("picture", {gst_element_factory_make("videoconvert", "convert"), sink});
    if (!m_filter || !m_sink)
        return;
    m_sizeFilter = size;

    // Until the area is known: small, so that no full-size picture is ever converted.
    setArea(QSize(320, 240), 1.0);
    // Byte order of QImage::Format_RGB32.
    GstCaps *rgb = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                       Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "BGRx" : "xRGB", nullptr);
    // A picture that comes late is shown at once, never thrown away once decoded: where the
    // decoder cannot keep up, the pacer skips pictures before they are decoded instead.
    g_object_set(sink, "caps", rgb, "sync", TRUE, "qos", FALSE, "max-lateness", gint64(-1),
                 "enable-last-sample", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
    gst_caps_unref(rgb);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &PictureSinkCallbacks::sample;
    callbacks.new_preroll = &PictureSinkCallbacks::preroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
}

PictureSink::~PictureSink()
{
    for (GstElement *bin : {m_filter, m_sink}) {
        if (bin)
            gst_object_unref(bin);
    }
}

void PictureSink::setArea(QSize pixels, qreal devicePixelRatio)
{
    {
        QMutexLocker lock(&m_mutex);
        m_devicePixelRatio = devicePixelRatio;
    }
    // New caps travel upstream as far as the decoder, which then sets up its pictures anew.
    if (!m_sizeFilter || pixels == m_area)
        return;
    m_area = pixels;
    // The filter applies new caps from its streaming thread, renegotiating the scaler.
    GstCaps *caps = fittingCaps(pixels);
    g_object_set(m_sizeFilter, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

QSize PictureSink::clipSize() const
{
    QSize size;
    GstPad *input = m_filter ? gst_element_get_static_pad(m_filter, "sink") : nullptr;
    if (GstCaps *caps = input ? gst_pad_get_current_caps(input) : nullptr) {
        GstVideoInfo info;
        if (gst_video_info_from_caps(&info, caps))
            size = QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        gst_caps_unref(caps);
    }
    if (input)
        gst_object_unref(input);
    return size;
}

QString PictureSink::describe(QSize shown) const
{
    const QSize clip = clipSize();
    return QStringLiteral("picture %1x%2 of a %3x%4 clip decoded by %5: scaled, then converted to "
                          "RGB, on GStreamer's threads; drawn without OpenGL")
        .arg(shown.width())
        .arg(shown.height())
        .arg(clip.width())
        .arg(clip.height())
        .arg(m_pacer.decoder());
}

void PictureSink::discard()
{
    QMutexLocker lock(&m_mutex);
    m_latest = QImage();
}

void PictureSink::pace(GstElement *sink, GstSample *sample)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    const GstSegment *segment = gst_sample_get_segment(sample);
    GstClock *clock = gst_element_get_clock(sink);
    if (buffer && segment && clock && GST_BUFFER_PTS_IS_VALID(buffer)) {
        const GstClockTime due =
            gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (GST_CLOCK_TIME_IS_VALID(due)) {
            const GstClockTime moment = gst_element_get_base_time(sink) + due +
                                        gst_base_sink_get_latency(GST_BASE_SINK(sink));
            m_pacer.shown(GstClockTimeDiff(gst_clock_get_time(clock)) - GstClockTimeDiff(moment));
        }
    }
    if (clock)
        gst_object_unref(clock);
}

void PictureSink::offer(GstSample *sample)
{
    if (onInterfaceThread())
        ++m_madeOnInterfaceThread;
    GstCaps *caps = gst_sample_get_caps(sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return;
    // The image reads the sink's buffer in place; it stays mapped until the last copy of the
    // image is gone, whichever thread that is on.
    auto *frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return;
    }
    QImage picture(static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)),
                   GST_VIDEO_FRAME_WIDTH(frame), GST_VIDEO_FRAME_HEIGHT(frame),
                   GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32, &unmapFrame,
                   frame);
    QImage replaced;
    QMutexLocker lock(&m_mutex);
    picture.setDevicePixelRatio(m_devicePixelRatio);
    replaced = std::exchange(m_latest, std::move(picture));
    if (!m_takePosted) {
        m_takePosted = true;
        QMetaObject::invokeMethod(this, &PictureSink::take, Qt::QueuedConnection);
    }
}

void PictureSink::take()
{
    QImage picture;
    {
        QMutexLocker lock(&m_mutex);
        picture = std::exchange(m_latest, QImage());
        m_takePosted = false;
    }
    if (!picture.isNull())
        emit pictureReady(picture);
}

#include "moc_picturesink.cpp"
