// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include "clipsize.h"

#include "cliplengths.h"
#include "playbin.h"

#include <QFile>

ClipPicture probeClipPicture(const QString &path)
{
    ClipPicture found;
    GError *failure = nullptr;
    if (!gst_init_check(nullptr, nullptr, &failure)) {
        found.problem =
            Playbin::readableReason(failure ? QString::fromUtf8(failure->message) : QString());
        g_clear_error(&failure);
        return found;
    }
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), &failure);
    GstDiscoverer *discoverer =
        uri ? gst_discoverer_new(GstClipLengths::SecondsPerClip * GST_SECOND, &failure) : nullptr;
    GstDiscovererInfo *info =
        discoverer ? gst_discoverer_discover_uri(discoverer, uri, &failure) : nullptr;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        GList *pictures = gst_discoverer_info_get_video_streams(info);
        if (pictures) {
            auto *picture = static_cast<GstDiscovererVideoInfo *>(pictures->data);
            found.size = QSize(int(gst_discoverer_video_info_get_width(picture)),
                               int(gst_discoverer_video_info_get_height(picture)));
        }
        gst_discoverer_stream_info_list_free(pictures);
    } else {
        found.problem = failure ? Playbin::readableReason(QString::fromUtf8(failure->message))
                                : QStringLiteral("GStreamer cannot read it.");
    }
    g_clear_error(&failure);
    if (info)
        g_object_unref(info);
    if (discoverer)
        g_object_unref(discoverer);
    g_free(uri);
    return found;
}
