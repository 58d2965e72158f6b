#include "tracelines.h"

#include "collation.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace TraceLines {

double lastSecond(const Collation &collation)
{
    return std::max(collation.seconds(collation.lastRow()), 1.0);
}

void draw(QPainter &painter, const Collation &collation, const Axes &axes, const Style &style)
{
    painter.save();
    painter.setClipRect(axes.plot);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Runs: thin, translucent, so that where many agree the colour deepens. Each stretch between
    // gaps is its own polyline.
    QColor runColour = style.runs;
    runColour.setAlphaF(std::clamp(6.0 / static_cast<double>(collation.runs().size()), 0.12, 0.8));
    // A cosmetic hairline is the raster engine's fast path: a wide pen over 200 runs x 900
    // seconds takes seconds to stroke, a hairline milliseconds.
    QPen runPen(runColour, style.runWidth);
    runPen.setCosmetic(true);
    painter.setPen(runPen);
    QPolygonF stretch;
    const auto flush = [&] {
        if (stretch.size() == 1)
            painter.drawPoint(stretch.first());
        else if (stretch.size() > 1)
            painter.drawPolyline(stretch);
        stretch.clear();
    };
    for (const CollatedRun &run : collation.runs()) {
        for (qsizetype row = 2; row < run.levels.size(); ++row) {
            if (run.levels[row] == ResultsRun::Gap)
                flush();
            else
                stretch.append(QPointF(axes.x(collation.seconds(row)),
                                       axes.y(double(run.levels[row]) / collation.unit())));
        }
        flush();
    }

    // The band of one SD, broken where fewer than two runs have a value.
    painter.setPen(Qt::NoPen);
    painter.setBrush(style.band);
    QPolygonF upper, lower;
    const auto flushBand = [&] {
        if (upper.size() > 1) {
            std::reverse(lower.begin(), lower.end());
            painter.drawPolygon(upper + lower);
        }
        upper.clear();
        lower.clear();
    };
    for (qsizetype row = 2; row <= collation.lastRow(); ++row) {
        if (!collation.hasSd(row)) {
            flushBand();
            continue;
        }
        const double at = axes.x(collation.seconds(row));
        upper.append(QPointF(at, axes.y(collation.mean(row) + collation.sd(row))));
        lower.append(QPointF(at, axes.y(collation.mean(row) - collation.sd(row))));
    }
    flushBand();

    painter.setPen(QPen(style.mean, style.meanWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    for (qsizetype row = 2; row <= collation.lastRow(); ++row) {
        if (collation.hasMean(row))
            stretch.append(QPointF(axes.x(collation.seconds(row)), axes.y(collation.mean(row))));
        else
            flush();
    }
    flush();
    painter.restore();
}

} // namespace TraceLines
