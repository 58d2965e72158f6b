#pragma once

#include <QSize>
#include <QString>

struct SetupRecord;

namespace Exports {

inline const QString ImageFilter = QStringLiteral("JPEG Images .JPG|*.JPG|");
inline const QString SpreadsheetFilter = QStringLiteral("CSV Spreadsheets .CSV|*.CSV|");

// Subject, one blank, first variable, extension (".jpg" or ".csv"); no directory part, and
// nothing a file dialog or a file system would read otherwise (see Files::safeFileName).
QString defaultName(const SetupRecord &record, const QString &extension);

// Width of the exported chart in twips: 50 twips a second of clip on top of 10000, computed in
// double and held in single precision.
float imageWidthTwips(double clipSeconds);

// The exported picture's size in pixels: that width by the chart's 7575 twips.
QSize imageSize(double clipSeconds);

} // namespace Exports
