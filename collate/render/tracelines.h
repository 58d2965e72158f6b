#pragma once

#include "scale.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>

#include <utility>

class Collation;
class QPainter;

// The runs, the band of one SD and the mean of a collation, as the chart and the video draw them.
namespace TraceLines {

struct Style
{
    QColor runs; // its alpha is set from the number of runs
    QColor band;
    QColor mean;
    double meanWidth = 3.0; // in pixels
    double runWidth = 1.0;  // in pixels, whatever the painter's scale
};

// The last moment of the time axis in seconds: the last row where a run has a value (not the
// empty rows a results file keeps to the end of its minute), at least 1.
double lastSecond(const Collation &collation);

// The stretches of rows, first to last inclusive, up to the last row with a value, where some
// run has none: where the mean and its band stand on fewer runs than the title says.
QList<std::pair<qsizetype, qsizetype>> incompleteRows(const Collation &collation);

// "CLIP, VARIABLE, N runs", without the clip where there is none.
QString title(const Collation &collation, const QString &clip);

// Where a moment and a level go in a plot: seconds 0..lastSecond across, levels -5..5 up (the
// scale's bottom on the plot's bottom edge). The chart, the lines and the video's overlay place
// everything through it, so that their drawings agree.
struct Axes
{
    QRectF plot;
    double lastSecond = 1.0;

    double x(double seconds) const { return plot.left() + seconds / lastSecond * plot.width(); }
    double y(double level) const
    {
        return plot.bottom() -
               (level - Scale::Bottom) / (Scale::Top - Scale::Bottom) * plot.height();
    }
};

// Into the axes' plot, clipped to it. Every run a thin line, each stretch between gaps its own;
// the band where two runs or more have a value; the mean as a thick line, broken where no run
// has a value.
void draw(QPainter &painter, const Collation &collation, const Axes &axes, const Style &style);

// Marks each of the incomplete stretches (incompleteRows) as a bar height pixels tall under the
// plot's bottom edge, each row half a step either side of its moment.
void drawIncomplete(QPainter &painter, const Collation &collation,
                    const QList<std::pair<qsizetype, qsizetype>> &stretches, const Axes &axes,
                    const QColor &colour, double height);

} // namespace TraceLines
