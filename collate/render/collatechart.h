#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>

#include <optional>

class Collation;
class QPainter;

// Every run as a thin line, the mean as a thick line inside a band of one SD, seconds across and
// levels -5..5 up, the moments where runs are missing marked under the time axis. Drawn with
// QPainter alone so that the window and the exported picture are the same drawing at any size; a
// gap in a run breaks its line.
class CollateChart
{
public:
    // The picture size that export offers: fit for a printed page at 300 dpi.
    static constexpr int ExportWidth = 2400;
    static constexpr int ExportHeight = 1500;

    explicit CollateChart(const Collation &collation) : m_collation(collation) {}

    // The clip the runs were made on, as a study names it, for the title; empty: none.
    void setClip(const QString &clip) { m_clip = clip; }
    // "CLIP, VARIABLE, N runs", or "VARIABLE, N runs" without a clip.
    QString title() const;

    // With a cursor line at a moment in seconds, where one is given.
    void render(QPainter &painter, const QRect &area,
                std::optional<double> cursor = std::nullopt) const;
    // Where render() puts the plot inside area, and the moment at x across it.
    QRectF plotArea(const QRect &area) const;
    double secondsAt(const QRect &area, double x) const;

    // The chart drawn at the export size.
    QImage picture() const;
    // Writes the picture as JPEG for a .jpg or .jpeg name, otherwise as PNG. On failure returns
    // false with the reason in error.
    bool writePicture(const QString &path, QString *error) const;

private:
    const Collation &m_collation;
    QString m_clip;
};
