// GStreamer's headers first: GLib names struct members after Qt's keywords.
#include <gst/pbutils/pbutils.h>

#include "discovery.h"

#include "playbin.h"

#include <QFile>

Discovery::Discovery(const QString &path, int seconds)
{
    if (!gst_init_check(nullptr, nullptr, &m_failure))
        return;
    m_uri = gst_filename_to_uri(QFile::encodeName(path).constData(), &m_failure);
    if (m_uri)
        m_discoverer = gst_discoverer_new(GstClockTime(seconds) * GST_SECOND, &m_failure);
    if (m_discoverer)
        m_info = gst_discoverer_discover_uri(m_discoverer, m_uri, &m_failure);
}

Discovery::~Discovery()
{
    g_clear_error(&m_failure);
    if (m_info)
        g_object_unref(m_info);
    if (m_discoverer)
        g_object_unref(m_discoverer);
    g_free(m_uri);
}

int Discovery::result() const
{
    return m_info ? gst_discoverer_info_get_result(m_info) : GST_DISCOVERER_ERROR;
}

QString Discovery::error() const
{
    return m_failure ? Playbin::readableReason(QString::fromUtf8(m_failure->message)) : QString();
}
