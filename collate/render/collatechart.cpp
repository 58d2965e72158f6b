#include "collatechart.h"

#include "axisstep.h"
#include "collation.h"
#include "files.h"
#include "imagefile.h"
#include "scale.h"
#include "tracelines.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {

const QString NothingToDraw = QStringLiteral("Add results files to see their runs.");
const QString SecondsLabel = QStringLiteral("Time (s)");
const QString LevelLabel = QStringLiteral("Level");
const QString MeanLegend = QStringLiteral("Mean");
const QString BandLegend = QStringLiteral("Mean \u00B1 1 SD");
const QString RunsLegend = QStringLiteral("Runs");
const QString IncompleteLegend = QStringLiteral("Runs missing");

constexpr int LowestLevel = Scale::Bottom;
constexpr int HighestLevel = Scale::Top;
const QColor RunColour(70, 110, 170);
const QColor MeanColour(200, 40, 30);
const QColor BandColour(230, 120, 60, 70);
const QColor CursorColour(20, 20, 20);
const QColor IncompleteColour(120, 120, 120);

} // namespace

// The unit that text and strokes grow by, so that a 2400 px export reads like the screen.
static double unitOf(const QRect &area)
{
    return std::max(1.0, std::min(area.width() / 900.0, area.height() / 560.0));
}

static QFont fontOf(const QFont &base, const QRect &area)
{
    QFont font = base;
    font.setPixelSize(static_cast<int>(std::lround(12 * unitOf(area))));
    return font;
}

QRectF CollateChart::plotArea(const QRect &area) const
{
    const double unit = unitOf(area);
    const QFontMetrics metrics(fontOf(QFont(), area));
    const int margin = static_cast<int>(10 * unit);
    const int left = area.left() + margin + metrics.height() +
                     metrics.horizontalAdvance(QString::number(LowestLevel)) + margin;
    const int top = area.top() + margin + metrics.height() + margin;
    const int bottom = area.bottom() - margin - 2 * metrics.height() - margin;
    // Room for half the last tick's label.
    const int right = area.right() - margin - metrics.horizontalAdvance(QStringLiteral("000"));
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

double CollateChart::secondsAt(const QRect &area, double x) const
{
    const QRectF plot = plotArea(area);
    const double share = std::clamp((x - plot.left()) / std::max(1.0, plot.width()), 0.0, 1.0);
    return share * TraceLines::lastSecond(m_collation);
}

void CollateChart::render(QPainter &painter, const QRect &area, std::optional<double> cursor) const
{
    painter.save();
    painter.fillRect(area, Qt::white);
    const double unit = unitOf(area);
    const QFont font = fontOf(QFont(), area);
    painter.setFont(font);
    const QFontMetrics metrics(font);

    if (m_collation.runs().isEmpty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(area, Qt::AlignCenter, NothingToDraw);
        painter.restore();
        return;
    }

    const int margin = static_cast<int>(10 * unit);
    const QRectF plot = plotArea(area);
    if (plot.width() < 10 || plot.height() < 10) {
        painter.restore();
        return;
    }
    const double lastSecond = TraceLines::lastSecond(m_collation);
    const TraceLines::Axes axes{plot, lastSecond};

    // Grid and axes.
    painter.setPen(QPen(QColor(225, 225, 225), unit));
    for (int level = LowestLevel; level <= HighestLevel; ++level)
        painter.drawLine(QPointF(plot.left(), axes.y(level)), QPointF(plot.right(), axes.y(level)));
    const double step = AxisStep::step(lastSecond, 10);
    for (double s = step; s <= lastSecond; s += step)
        painter.drawLine(QPointF(axes.x(s), plot.top()), QPointF(axes.x(s), plot.bottom()));
    painter.setPen(QPen(Qt::black, unit));
    painter.drawLine(QPointF(plot.left(), axes.y(0)), QPointF(plot.right(), axes.y(0)));
    painter.drawRect(plot);
    for (int level = LowestLevel; level <= HighestLevel; ++level) {
        const QRectF box(area.left(), axes.y(level) - metrics.height(), plot.left() - margin / 2.0,
                         2.0 * metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(level));
    }
    for (double s = 0; s <= lastSecond; s += step) {
        const QRectF box(axes.x(s) - 50 * unit, plot.bottom() + 0.7 * margin, 100 * unit,
                         metrics.height());
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::number(s));
    }
    painter.drawText(QRectF(plot.left(), area.bottom() - margin - metrics.height(), plot.width(),
                            metrics.height()),
                     Qt::AlignHCenter, SecondsLabel);
    painter.save();
    painter.translate(area.left() + margin, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, LevelLabel);
    painter.restore();

    TraceLines::draw(painter, m_collation, axes, {RunColour, BandColour, MeanColour, 3 * unit});
    const QList<std::pair<qsizetype, qsizetype>> incomplete =
        TraceLines::incompleteRows(m_collation);
    TraceLines::drawIncomplete(painter, m_collation, incomplete, axes, IncompleteColour,
                               0.6 * margin);
    if (cursor && *cursor >= 0.0 && *cursor <= lastSecond) {
        painter.setPen(QPen(CursorColour, 2 * unit));
        painter.drawLine(QPointF(axes.x(*cursor), plot.top()),
                         QPointF(axes.x(*cursor), plot.bottom()));
    }

    // Title and legend above the plot.
    painter.setPen(Qt::black);
    painter.drawText(QRectF(plot.left(), area.top() + margin, plot.width(), metrics.height()),
                     Qt::AlignLeft, title());
    struct Entry
    {
        QString text;
        QColor colour;
        double width;
    };
    QList<Entry> legend = {{RunsLegend, RunColour, unit},
                           {BandLegend, BandColour, 8 * unit},
                           {MeanLegend, MeanColour, 3 * unit}};
    if (!incomplete.isEmpty())
        legend.append({IncompleteLegend, IncompleteColour, 0.6 * margin});
    double at = plot.right();
    for (auto it = legend.crbegin(); it != legend.crend(); ++it) {
        const double textWidth = metrics.horizontalAdvance(it->text);
        at -= textWidth;
        const double middle = area.top() + margin + metrics.height() / 2.0;
        painter.setPen(Qt::black);
        painter.drawText(QRectF(at, area.top() + margin, textWidth, metrics.height()),
                         Qt::AlignLeft, it->text);
        at -= 30 * unit;
        painter.setPen(QPen(it->colour, it->width, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(at, middle), QPointF(at + 24 * unit, middle));
        at -= 16 * unit;
    }
    painter.restore();
}

QString CollateChart::title() const
{
    return TraceLines::title(m_collation, m_clip);
}

QImage CollateChart::picture() const
{
    QImage image(ExportWidth, ExportHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    render(painter, image.rect());
    return image;
}

bool CollateChart::writePicture(const QString &path, QString *error) const
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return ImageFile::writeJpeg(picture(), path, error);
    // Encoded in memory first, so that a failed write leaves an existing file whole.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture().save(&buffer, "png")) {
        if (error)
            *error = QStringLiteral("the picture could not be encoded");
        return false;
    }
    return Files::writeFile(path, bytes, error);
}
