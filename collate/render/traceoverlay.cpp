#include "traceoverlay.h"

#include "collation.h"
#include "scale.h"
#include "tracelines.h"

#include <QFontMetricsF>
#include <QMutexLocker>
#include <QPainter>

#include <cmath>

namespace {

const QString MeanText = QStringLiteral("Mean %1");
const QString NoMean = QStringLiteral("no mean");

const QString Seconds = QStringLiteral("%1 s");

// Light on a dark band, so that the trace reads over any picture: over white, the band is a
// dark grey that the mean stands out from at 3:1 and more.
const QColor BandShade(0, 0, 0, 215);
const QColor Ink(255, 255, 255);
const QColor GridInk(255, 255, 255, 70);
const QColor IncompleteInk(255, 255, 255, 150);
const TraceLines::Style Colours{QColor(200, 225, 255), QColor(255, 170, 80, 75),
                                QColor(255, 95, 55), 3.0};

// Where things go in a band of a given size; every length grows with the band's height, so that
// a 1080p video reads like a 240p one.
struct Layout
{
    explicit Layout(const QSize &band)
    {
        const double h = band.height();
        unit = std::max(1.0, h / 120.0);
        font.setPixelSize(std::max(9, int(std::lround(h * 0.12))));
        small.setPixelSize(std::max(8, int(std::lround(h * 0.09))));
        const QFontMetricsF metrics(font);
        const QFontMetricsF smallMetrics(small);
        const double margin = std::max(3.0, h * 0.05);
        header = QRectF(margin, margin * 0.6, band.width() - 2 * margin, metrics.height());
        const double labels = smallMetrics.horizontalAdvance(QString::number(Scale::Bottom));
        // Room above for half a level label, which is centred on its line, and below for the
        // marks of missing runs and the time at either end.
        const double half = smallMetrics.height() / 2;
        strip = std::max(3.0, margin * 0.5);
        plot = QRectF(
            QPointF(margin + labels + margin / 2, header.bottom() + half),
            QPointF(band.width() - margin, h - margin * 0.4 - smallMetrics.height() - strip));
        footer = QRectF(plot.left(), plot.bottom() + strip, plot.width(), smallMetrics.height());
    }

    double unit = 1.0;
    double strip = 2.0;
    QFont font;
    QFont small;
    QRectF header;
    QRectF plot;
    QRectF footer;
};

} // namespace

TraceOverlay::TraceOverlay(const Collation &collation)
    : m_collation(collation), m_lastSecond(TraceLines::lastSecond(collation))
{
}

QImage TraceOverlay::still(const QSize &size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(BandShade);
    const Layout layout(size);
    const TraceLines::Axes axes{layout.plot, m_lastSecond};
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QPen(GridInk, layout.unit));
    painter.setFont(layout.small);
    for (const int level : {Scale::Top, 0, Scale::Bottom}) {
        const double y = axes.y(level);
        painter.drawLine(QPointF(layout.plot.left(), y), QPointF(layout.plot.right(), y));
        painter.setPen(Ink);
        painter.drawText(QRectF(0, y - layout.plot.height(), layout.plot.left() - layout.unit * 3,
                                2 * layout.plot.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(level));
        painter.setPen(QPen(GridInk, layout.unit));
    }
    TraceLines::Style style = Colours;
    style.meanWidth = 2.5 * layout.unit;
    style.runWidth = std::max(1.0, 0.6 * layout.unit);
    TraceLines::draw(painter, m_collation, axes, style);
    TraceLines::drawIncomplete(painter, m_collation, TraceLines::incompleteRows(m_collation), axes,
                               IncompleteInk, layout.strip * 0.7);
    painter.setPen(Ink);
    painter.drawText(layout.footer, Qt::AlignLeft | Qt::AlignVCenter, Seconds.arg(0));
    painter.drawText(layout.footer, Qt::AlignRight | Qt::AlignVCenter,
                     Seconds.arg(QString::number(axes.lastSecond, 'g', 6)));
    painter.setFont(layout.font);
    painter.drawText(layout.header, Qt::AlignLeft | Qt::AlignVCenter,
                     TraceLines::title(m_collation, QString()));
    return image;
}

void TraceOverlay::draw(QPainter &painter, const QRect &area, double seconds) const
{
    if (area.isEmpty())
        return;
    {
        // The band, its runs and mean are the same in every frame: drawn once, copied after.
        QMutexLocker locker(&m_lock);
        if (m_still.size() != area.size())
            m_still = still(area.size());
        painter.drawImage(area.topLeft(), m_still);
    }
    const Layout layout(area.size());
    painter.save();
    painter.translate(area.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, true);
    const TraceLines::Axes axes{layout.plot, m_lastSecond};
    if (seconds >= 0 && seconds <= axes.lastSecond) {
        const double x = axes.x(seconds);
        painter.setPen(QPen(Ink, std::max(2.0, layout.unit), Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, layout.plot.top()), QPointF(x, layout.plot.bottom()));
    }
    painter.setFont(layout.font);
    painter.setPen(Ink);
    painter.drawText(layout.header, Qt::AlignRight | Qt::AlignVCenter, meanText(seconds));
    painter.restore();
}

QString TraceOverlay::meanText(double seconds) const
{
    const qsizetype row = m_collation.rowAt(seconds);
    if (row < 0 || !m_collation.hasMean(row))
        return NoMean;
    const QString figure = QString::number(m_collation.mean(row), 'f', 2);
    return MeanText.arg(figure == QLatin1String("-0.00") ? QStringLiteral("0.00") : figure);
}

VideoExport::Outcome TraceOverlay::writeTraceVideo(const Collation &collation, const QString &clip,
                                                   const QString &output, bool replaceExisting,
                                                   const VideoExport::Progress &progress,
                                                   QString *error)
{
    const TraceOverlay overlay(collation);
    VideoExport video(clip, output);
    video.setDraw([&overlay](QPainter &painter, const QSize &frame, qint64 ms) {
        overlay.draw(painter, VideoExport::overlayArea(frame), static_cast<double>(ms) / 1000.0);
    });
    video.setProgress(progress);
    video.setReplaceExisting(replaceExisting);
    const VideoExport::Outcome outcome = video.run();
    if (error)
        *error = video.error();
    return outcome;
}
