// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/pbutils/pbutils.h>

#include "clipsize.h"

#include "cliplengths.h"
#include "discovery.h"

ClipPicture probeClipPicture(const QString &path)
{
    ClipPicture found;
    const Discovery discovery(path, GstClipLengths::SecondsPerClip);
    if (discovery.result() != GST_DISCOVERER_OK) {
        found.problem = discovery.error();
        if (found.problem.isEmpty())
            found.problem = QStringLiteral("GStreamer cannot read it.");
        return found;
    }
    GList *pictures = gst_discoverer_info_get_video_streams(discovery.info());
    if (pictures) {
        auto *picture = static_cast<GstDiscovererVideoInfo *>(pictures->data);
        found.size = QSize(int(gst_discoverer_video_info_get_width(picture)),
                           int(gst_discoverer_video_info_get_height(picture)));
    }
    gst_discoverer_stream_info_list_free(pictures);
    return found;
}
