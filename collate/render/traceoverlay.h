#pragma once

#include "videoexport.h"

#include <QImage>
#include <QMutex>
#include <QRect>
#include <QString>

class Collation;
class QPainter;

// The collated trace over a video frame's lower third: a dark band, every run as a thin line,
// the mean as a thick line inside its band of one SD, the moments where runs are missing marked
// under it, a cursor at the frame's moment and the mean then in figures. The time axis spans the
// moments with a value, as the chart's does, with the time at both ends.
// Pure QPainter, so that it draws on any thread.
class TraceOverlay
{
public:
    // Keeps a picture of what does not move for the last size drawn: make a new overlay when
    // the collation changes.
    explicit TraceOverlay(const Collation &collation);

    // Draws into area the trace at a moment of the clip, in seconds. The cursor is left out
    // where the moment lies outside the time axis.
    void draw(QPainter &painter, const QRect &area, double seconds) const;

    // "Mean 1.25": the mean of the last row at or before the moment, or "no mean" where that row
    // has none or the moment is before the first row or after the last.
    QString meanText(double seconds) const;

    // The trace video: clip written again to output with this trace over every frame, as
    // VideoExport writes it; error gets the reason of a failure.
    static VideoExport::Outcome writeTraceVideo(const Collation &collation, const QString &clip,
                                                const QString &output, bool replaceExisting,
                                                const VideoExport::Progress &progress,
                                                QString *error);

private:
    QImage still(const QSize &size) const;

    const Collation &m_collation;
    const double m_lastSecond; // of the time axis
    mutable QMutex m_lock;
    mutable QImage m_still;
};
