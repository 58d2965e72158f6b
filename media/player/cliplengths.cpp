// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/pbutils/pbutils.h>

#include "cliplengths.h"

#include "discovery.h"
#include "playbin.h"

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
    const Discovery discovery(path, SecondsPerClip);
    switch (discovery.result()) {
    case GST_DISCOVERER_OK: {
        const GstClockTime duration = gst_discoverer_info_get_duration(discovery.info());
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
        found.problem = missingPlugins(discovery.info());
        break;
    default:
        found.problem = discovery.error();
        if (found.problem.isEmpty())
            found.problem = Playbin::readableReason(QString());
    }
    return found;
}
