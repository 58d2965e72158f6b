#include "tracelines.h"

#include "collation.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace TraceLines {

namespace {

const QString Title = QStringLiteral("%1, %2 runs");
const QString TitleOfOne = QStringLiteral("%1, 1 run");

qsizetype lastRowWithValue(const Collation &collation)
{
    qsizetype row = collation.lastRow();
    while (row >= 2 && !collation.hasMean(row))
        --row;
    return row;
}

} // namespace

double lastSecond(const Collation &collation)
{
    const qsizetype row = lastRowWithValue(collation);
    return row < 2 ? 1.0 : std::max(collation.seconds(row), 1.0);
}

QList<std::pair<qsizetype, qsizetype>> incompleteRows(const Collation &collation)
{
    QList<std::pair<qsizetype, qsizetype>> stretches;
    const qsizetype last = lastRowWithValue(collation);
    for (qsizetype row = 2; row <= last; ++row) {
        if (collation.count(row) == collation.runs().size())
            continue;
        if (!stretches.isEmpty() && stretches.last().second == row - 1)
            stretches.last().second = row;
        else
            stretches.append({row, row});
    }
    return stretches;
}

QString title(const Collation &collation, const QString &clip)
{
    const QString what =
        clip.isEmpty() ? collation.variable() : clip + QStringLiteral(", ") + collation.variable();
    const qsizetype runs = collation.runs().size();
    // In one pass, so that a "%1" in a clip's name stays as it is.
    return runs == 1 ? TitleOfOne.arg(what) : Title.arg(what, QString::number(runs));
}

void drawIncomplete(QPainter &painter, const Collation &collation,
                    const QList<std::pair<qsizetype, qsizetype>> &stretches, const Axes &axes,
                    const QColor &colour, double height)
{
    const double half = (collation.rate() > 0 ? 1.0 / collation.rate() : 1.0) / 2.0;
    for (const auto &[first, last] : stretches) {
        const double from = std::max(axes.plot.left(), axes.x(collation.seconds(first) - half));
        const double to = std::min(axes.plot.right(), axes.x(collation.seconds(last) + half));
        painter.fillRect(QRectF(from, axes.plot.bottom(), std::max(1.0, to - from), height),
                         colour);
    }
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
