#pragma once

#include <QString>

typedef struct _GError GError;
typedef struct _GstDiscoverer GstDiscoverer;
typedef struct _GstDiscovererInfo GstDiscovererInfo;

// What GStreamer's discoverer reads of a clip from its headers, before anything is played: the
// clip-length probe and the picture-size probe ask it the same way.
class Discovery
{
public:
    Discovery(const QString &path, int seconds);
    ~Discovery();
    Discovery(const Discovery &) = delete;
    Discovery &operator=(const Discovery &) = delete;

    // A GstDiscovererResult: GST_DISCOVERER_ERROR where GStreamer could not start or the clip
    // could not be asked.
    int result() const;
    // Null where there is nothing to read.
    GstDiscovererInfo *info() const { return m_info; }
    // What GStreamer said went wrong, made readable; empty where it said nothing.
    QString error() const;

private:
    GError *m_failure = nullptr;
    char *m_uri = nullptr;
    GstDiscoverer *m_discoverer = nullptr;
    GstDiscovererInfo *m_info = nullptr;
};
