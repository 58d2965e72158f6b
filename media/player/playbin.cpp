#include "playbin.h"

#include <gst/gst.h>

#include <algorithm>
#include <cstring>
#include <future>

namespace {

// GstPlayFlags, which playbin's headers do not export: picture and sound, in the decoders' own
// picture formats (the picture sink scales and converts), software volume where the sound
// device has none, deinterlacing where a clip needs it; no subtitles, as before.
constexpr int PlayFlags = 0x1 | 0x2 | 0x10 | 0x40 | 0x200;

bool hasClass(GstElementFactory *factory, const char *a, const char *b)
{
    const char *klass =
        factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass && std::strstr(klass, a) && std::strstr(klass, b);
}

bool hasClass(GstElement *element, const char *a, const char *b)
{
    return element && hasClass(gst_element_get_factory(element), a, b);
}

// The size of the length before each unit of an H.264 stream in the "avc" format (from its
// codec data), 0 for start codes, -1 for anything else.
int h264LengthSize(GstPad *pad)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    int size = -1;
    if (s && gst_structure_has_name(s, "video/x-h264")) {
        const char *format = gst_structure_get_string(s, "stream-format");
        const GValue *data = gst_structure_get_value(s, "codec_data");
        GstMapInfo map;
        if (!format || std::strcmp(format, "byte-stream") == 0) {
            size = 0;
        } else if (data && G_VALUE_HOLDS(data, GST_TYPE_BUFFER) &&
                   gst_buffer_map(gst_value_get_buffer(data), &map, GST_MAP_READ)) {
            if (map.size > 4)
                size = (map.data[4] & 3) + 1;
            gst_buffer_unmap(gst_value_get_buffer(data), &map);
        }
    }
    gst_clear_caps(&caps);
    return size;
}

// Before the decoder: while pictures reach the sink late, those no other picture is decoded
// from are skipped, evenly, as they come; every other picture is decoded.
GstPadProbeReturn paceDecoding(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *pacer = static_cast<Playbin::Pacer *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_FLUSH) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP)
            pacer->reset();
        return GST_PAD_PROBE_OK;
    }
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!pacer->isLate() || !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT))
        return GST_PAD_PROBE_OK;
    bool disposable = GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DROPPABLE);
    if (const int lengthSize = disposable ? -1 : h264LengthSize(pad); lengthSize >= 0) {
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            disposable = Playbin::isDisposableH264(map.data, qsizetype(map.size), lengthSize);
            gst_buffer_unmap(buffer, &map);
        }
    }
    if (!disposable)
        return GST_PAD_PROBE_OK;
    pacer->skippedOne();
    return GST_PAD_PROBE_DROP;
}

// Software video decoders work on one thread and hand out copies of their pictures. Each
// further thread keeps some five more full-size pictures (about 65 MB at 2160p); pictures
// handed out directly come from buffer pools that GStreamer replaces while a clip starts, so
// that two sets exist for a moment (some 35 MB at 2160p). The decoder's own quality of service
// is off: it would decode late pictures and then throw them away (see Pacer).
void setUpElement(GstElement *, GstElement *element, gpointer pacer)
{
    if (!hasClass(element, "Decoder", "Video"))
        return;
    GObjectClass *properties = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(properties, "max-threads"))
        g_object_set(element, "max-threads", 1, nullptr);
    if (g_object_class_find_property(properties, "direct-rendering"))
        g_object_set(element, "direct-rendering", FALSE, nullptr);
    if (g_object_class_find_property(properties, "qos"))
        g_object_set(element, "qos", FALSE, nullptr);
    GstElementFactory *factory = gst_element_get_factory(element);
    static_cast<Playbin::Pacer *>(pacer)->setDecoder(QStringLiteral("%1, %2").arg(
        QString::fromUtf8(factory ? GST_OBJECT_NAME(factory) : GST_OBJECT_NAME(element)),
        hasClass(element, "Video", "Hardware") ? QStringLiteral("on the graphics hardware")
                                               : QStringLiteral("in software")));
    if (GstPad *input = gst_element_get_static_pad(element, "sink")) {
        gst_pad_add_probe(
            input, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
            &paceDecoding, pacer, nullptr);
        gst_object_unref(input);
    }
}

// The hardware decoders that open, ranked above software, tried once a process: each opens the
// graphics device and its driver, which can take a while. On a thread of its own from the first
// player on, so that the first screens never wait for it; a clip waits, before it opens.
std::shared_future<QList<QByteArray>> hardwareDecoders()
{
    static const std::shared_future<QList<QByteArray>> answer =
        std::async(std::launch::async, [] {
            QList<Playbin::DecoderCandidate> candidates;
            GList *factories = gst_element_factory_list_get_elements(
                GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO,
                GST_RANK_NONE);
            for (GList *f = factories; f; f = f->next) {
                auto *factory = GST_ELEMENT_FACTORY(f->data);
                Playbin::DecoderCandidate c{GST_OBJECT_NAME(factory),
                                   int(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory))),
                                   hasClass(factory, "Video", "Hardware"), false};
                // Opening the element opens the graphics device and its driver: where either is
                // missing or refuses, the state change fails.
                if (GstElement *e =
                        c.hardware ? gst_element_factory_create(factory, nullptr) : nullptr) {
                    gst_object_ref_sink(e);
                    c.opens =
                        gst_element_set_state(e, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
                    gst_element_set_state(e, GST_STATE_NULL);
                    gst_object_unref(e);
                }
                candidates.append(c);
            }
            gst_plugin_feature_list_free(factories);
            QList<QByteArray> opened;
            for (const auto &[name, rank] : Playbin::decoderRanks(candidates)) {
                if (GstPluginFeature *feature =
                        gst_registry_lookup_feature(gst_registry_get(), name)) {
                    gst_plugin_feature_set_rank(feature, guint(rank));
                    gst_object_unref(feature);
                }
                if (rank > GST_RANK_NONE)
                    opened.append(name);
            }
            for (const QByteArray &name : std::as_const(opened))
                qCInfo(playerLog).noquote() << "decodes on the graphics hardware where it can:"
                                            << name;
            return opened;
        }).share();
    return answer;
}

// The sound sink that opens the sound device, asked once a process: autoaudiosink tries every
// sound sink GStreamer has (PulseAudio, JACK, OSS, OpenAL ...) each time it starts, each opening
// its device on the thread that starts the clip, and where none opens goes on with a fake sink.
// Asked on a thread of its own from the first player on; empty where no device answers.
std::shared_future<QByteArray> soundDevice()
{
    static const std::shared_future<QByteArray> answer =
        std::async(std::launch::async, [] {
            GstElement *sink = gst_element_factory_make("autoaudiosink", nullptr);
            if (!sink)
                return QByteArray();
            gst_object_ref_sink(sink);
            QByteArray found;
            if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
                GstIterator *children = gst_bin_iterate_sinks(GST_BIN(sink));
                GValue item = G_VALUE_INIT;
                while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
                    GstElementFactory *factory =
                        gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
                    if (factory && !g_str_has_prefix(GST_OBJECT_NAME(factory), "fake"))
                        found = GST_OBJECT_NAME(factory);
                    g_value_reset(&item);
                }
                g_value_unset(&item);
                gst_iterator_free(children);
            }
            gst_element_set_state(sink, GST_STATE_NULL);
            gst_object_unref(sink);
            return found;
        }).share();
    return answer;
}

} // namespace

namespace Playbin {

GstElement *create(GstElement *videoFilter, GstElement *videoSink, Pacer *pacer)
{
    if (!gst_init_check(nullptr, nullptr, nullptr) || !videoFilter || !videoSink)
        return nullptr;
    GstElement *playbin = gst_element_factory_make("playbin", "player");
    if (!playbin)
        return nullptr;
    gst_object_ref_sink(playbin);
    g_object_set(playbin, "flags", PlayFlags, "volume", 0.5, "mute", FALSE, "video-filter",
                 videoFilter, "video-sink", videoSink, nullptr);
    // The sound device's sink goes in at the first clip (chooseSoundSink); named, so that tests
    // can listen at its input.
    if (GstElement *sound = gst_bin_new("sound")) {
        gst_element_add_pad(sound, gst_ghost_pad_new_no_target("sink", GST_PAD_SINK));
        g_object_set(playbin, "audio-sink", sound, nullptr);
    }
    soundDevice();
    hardwareDecoders();
    g_signal_connect(playbin, "element-setup", G_CALLBACK(&setUpElement), pacer);
    return playbin;
}

bool acceptMessage(GstMessage *message, GstElement *pipeline)
{
    switch (GST_MESSAGE_TYPE(message)) {
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

void chooseSoundSink(GstElement *pipeline)
{
    GstElement *sound = nullptr;
    g_object_get(pipeline, "audio-sink", &sound, nullptr);
    if (sound && GST_BIN_NUMCHILDREN(GST_BIN(sound)) == 0) {
        const QByteArray device = soundDevice().get();
        GstElement *sink = device.isEmpty() ? nullptr : gst_element_factory_make(device, nullptr);
        // Without a device: kept in step with the clock, as a device would, so that the clip
        // plays at its own pace.
        if (!sink && (sink = gst_element_factory_make("fakesink", nullptr)))
            g_object_set(sink, "sync", TRUE, nullptr);
        GstPad *input = sink ? gst_element_get_static_pad(sink, "sink") : nullptr;
        if (input) {
            gst_bin_add(GST_BIN(sound), sink);
            GstPad *ghost = gst_element_get_static_pad(sound, "sink");
            gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), input);
            gst_object_unref(ghost);
            gst_object_unref(input);
        }
    }
    gst_clear_object(&sound);
}

bool isDisposableH264(const uchar *data, qsizetype size, int lengthSize)
{
    bool slices = false;
    const auto unit = [&](qsizetype at) {
        const int type = data[at] & 0x1f;
        // Coded slices: 1 to 5 (5 the instantaneous refresh, always referred to).
        if (type < 1 || type > 5)
            return true;
        slices = true;
        return type != 5 && (data[at] & 0x60) == 0;
    };
    if (lengthSize == 0) {
        for (qsizetype i = 0; i + 3 < size; ++i) {
            if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
                if (!unit(i + 3))
                    return false;
                i += 3;
            }
        }
        return slices;
    }
    for (qsizetype i = 0; i + lengthSize < size;) {
        qsizetype length = 0;
        for (int k = 0; k < lengthSize; ++k)
            length = (length << 8) | data[i + k];
        i += lengthSize;
        if (length <= 0 || i + length > size || !unit(i))
            return false;
        i += length;
    }
    return slices;
}

QList<QByteArray> preferWorkingHardwareDecoders()
{
    return hardwareDecoders().get();
}

double length(GstElement *pipeline, bool *seekable)
{
    gint64 ns = 0;
    if (!gst_element_query_duration(pipeline, GST_FORMAT_TIME, &ns))
        ns = 0;
    GstQuery *query = gst_query_new_seeking(GST_FORMAT_TIME);
    if (gst_element_query(pipeline, query)) {
        gboolean can = FALSE;
        gst_query_parse_seeking(query, nullptr, &can, nullptr, nullptr);
        *seekable = can;
    }
    gst_query_unref(query);
    return seconds(ns);
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
