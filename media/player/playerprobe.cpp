// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/gst.h>

#include "playerprobe.h"

#include "gstmediaplayer.h"

#include <QByteArray>

#include <atomic>
#include <cstring>
#include <functional>
#include <utility>

namespace PlayerProbe {

namespace {

void forEachElement(GstElement *bin, const std::function<void(GstElement *)> &visit)
{
    GstIterator *elements = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        visit(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
}

// The size and colour format of the raw pictures through an element's pad; no size where the
// element has no such pad or none passes there.
std::pair<QSize, QByteArray> picture(GstElement *element, const char *padName)
{
    std::pair<QSize, QByteArray> found;
    GstPad *pad = gst_element_get_static_pad(element, padName);
    GstCaps *caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    int width = 0;
    int height = 0;
    if (s && gst_structure_has_name(s, "video/x-raw") &&
        gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height))
        found = {QSize(width, height), gst_structure_get_string(s, "format")};
    if (caps)
        gst_caps_unref(caps);
    if (pad)
        gst_object_unref(pad);
    return found;
}

GstPadProbeReturn listen(GstPad *, GstPadProbeInfo *info, gpointer loudest)
{
    GstMapInfo map;
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        int peak = 0;
        for (gsize i = 0; i + 1 < map.size; i += 2)
            peak = qMax(peak, qAbs(int(qint16(map.data[i] | (map.data[i + 1] << 8)))));
        auto *store = static_cast<std::atomic<int> *>(loudest);
        store->store(qMax(store->load(), peak));
        gst_buffer_unmap(buffer, &map);
    }
    return GST_PAD_PROBE_OK;
}

} // namespace

QSize largestConverted(const GstMediaPlayer &player)
{
    QSize largest;
    if (!player.pipeline())
        return largest;
    forEachElement(player.pipeline(), [&](GstElement *element) {
        const auto [in, inFormat] = picture(element, "sink");
        const auto [out, outFormat] = picture(element, "src");
        if (in.isValid() && out.isValid() && inFormat != outFormat &&
            in.width() * in.height() > largest.width() * largest.height())
            largest = in;
    });
    return largest;
}

qint64 pipelinePosition(const GstMediaPlayer &player)
{
    gint64 ns = -1;
    return player.pipeline() && gst_element_query_position(player.pipeline(), GST_FORMAT_TIME, &ns)
               ? ns
               : -1;
}

void slowDownDecoding(GstMediaPlayer &player, int milliseconds)
{
    if (!player.pipeline())
        return;
    const auto setUp = +[](GstElement *, GstElement *element, gpointer delay) {
        const char *klass = gst_element_get_metadata(element, GST_ELEMENT_METADATA_KLASS);
        if (!klass || !std::strstr(klass, "Decoder") || !std::strstr(klass, "Video"))
            return;
        GstPad *output = gst_element_get_static_pad(element, "src");
        gst_pad_add_probe(
            output, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad *, GstPadProbeInfo *, gpointer delay) {
                g_usleep(gulong(GPOINTER_TO_INT(delay)) * 1000);
                return GST_PAD_PROBE_OK;
            },
            delay, nullptr);
        gst_object_unref(output);
    };
    g_signal_connect(player.pipeline(), "element-setup", G_CALLBACK(setUp),
                     GINT_TO_POINTER(milliseconds));
}

double volume(const GstMediaPlayer &player)
{
    gdouble volume = 0.0;
    if (player.pipeline())
        g_object_get(player.pipeline(), "volume", &volume, nullptr);
    return volume;
}

bool isMuted(const GstMediaPlayer &player)
{
    gboolean muted = TRUE;
    if (player.pipeline())
        g_object_get(player.pipeline(), "mute", &muted, nullptr);
    return muted;
}

struct SoundListener::State
{
    GstElement *sink = nullptr;
    GstPad *input = nullptr;
    gulong probe = 0;
    std::atomic<int> loudest{0};
};

SoundListener::SoundListener(const GstMediaPlayer &player) : m_state(std::make_unique<State>())
{
    if (player.pipeline())
        g_object_get(player.pipeline(), "audio-sink", &m_state->sink, nullptr);
    if (m_state->sink)
        m_state->input = gst_element_get_static_pad(m_state->sink, "sink");
    if (m_state->input)
        m_state->probe = gst_pad_add_probe(m_state->input, GST_PAD_PROBE_TYPE_BUFFER, &listen,
                                           &m_state->loudest, nullptr);
}

SoundListener::~SoundListener()
{
    // The probe goes before what it writes to.
    if (m_state->probe)
        gst_pad_remove_probe(m_state->input, m_state->probe);
    if (m_state->input)
        gst_object_unref(m_state->input);
    if (m_state->sink)
        gst_object_unref(m_state->sink);
}

bool SoundListener::hasSink() const
{
    return m_state->sink;
}

int SoundListener::loudest() const
{
    return m_state->loudest.load();
}

bool SoundListener::sinkHasOwnVolume() const
{
    bool found = false;
    if (m_state->sink && GST_IS_BIN(m_state->sink)) {
        forEachElement(m_state->sink, [&](GstElement *element) {
            found = found || g_object_class_find_property(G_OBJECT_GET_CLASS(element), "volume");
        });
    }
    return found;
}

} // namespace PlayerProbe
