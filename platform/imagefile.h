#pragma once

#include <QString>

class QImage;

namespace ImageFile {

// Writes the image as a JPEG, replacing a file there. On failure returns false and, if error is
// given, fills it with the reason.
bool writeJpeg(const QImage &image, const QString &path, QString *error = nullptr);

// Puts the image on the system clipboard.
void copyToClipboard(const QImage &image);

} // namespace ImageFile
