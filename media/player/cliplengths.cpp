// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include "cliplengths.h"

#include "playbin.h"

#include <QFile>
#include <QStringList>

namespace {

// What the missing plug-ins are for, as GStreamer describes them ("H.265 decoder").
QString missingPlugins(GstDiscovererInfo *info)
{
    QStringList what;
    const gchar **details = gst_discoverer_info_get_missing_elements_installer_details(info);
    for (; details && *details; ++details) {
        // "gstreamer|1.0|application|description|detail"
        const QStringList fields = QString::fromUtf8(*details).split(QLatin1Char('|'));
        if (fields.size() > 3 && !what.contains(fields[3]))
            what.append(fields[3]);
    }
    return QStringLiteral("GStreamer lacks a plug-in it needs (%1).")
        .arg(what.isEmpty() ? QStringLiteral("it does not say which")
                            : what.join(QStringLiteral(", ")));
}

} // namespace

ClipLengths::Length GstClipLengths::length(const QString &path)
{
    Length found;
    GError *failure = nullptr;
    if (!gst_init_check(nullptr, nullptr, &failure)) {
        found.problem =
            Playbin::readableReason(failure ? QString::fromUtf8(failure->message) : QString());
        g_clear_error(&failure);
        return found;
    }
    gchar *uri = gst_filename_to_uri(QFile::encodeName(path).constData(), &failure);
    GstDiscoverer *discoverer =
        uri ? gst_discoverer_new(SecondsPerClip * GST_SECOND, &failure) : nullptr;
    GstDiscovererInfo *info =
        discoverer ? gst_discoverer_discover_uri(discoverer, uri, &failure) : nullptr;
    switch (info ? gst_discoverer_info_get_result(info) : GST_DISCOVERER_ERROR) {
    case GST_DISCOVERER_OK: {
        const GstClockTime duration = gst_discoverer_info_get_duration(info);
        found.seconds = GST_CLOCK_TIME_IS_VALID(duration) ? Playbin::seconds(qint64(duration)) : 0;
        // A still picture, or a stream that never says: the recording could not start.
        if (found.seconds == 0.0)
            found.problem = QStringLiteral("Its length cannot be read.");
        break;
    }
    case GST_DISCOVERER_TIMEOUT:
        found.problem =
            QStringLiteral("It did not tell its length within %1 seconds.").arg(SecondsPerClip);
        break;
    case GST_DISCOVERER_MISSING_PLUGINS:
        found.problem = missingPlugins(info);
        break;
    default:
        found.problem =
            Playbin::readableReason(failure ? QString::fromUtf8(failure->message) : QString());
    }
    g_clear_error(&failure);
    if (info)
        g_object_unref(info);
    if (discoverer)
        g_object_unref(discoverer);
    g_free(uri);
    return found;
}
