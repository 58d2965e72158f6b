#include "imagefile.h"

#include "files.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

namespace ImageFile {

bool writeJpeg(const QImage &image, const QString &path, QString *error)
{
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, "jpeg");
    writer.setQuality(92);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        return false;
    }
    // The same checked way to the disk as the results.
    return Files::writeFile(path, encoded.data(), error);
}

void copyToClipboard(const QImage &image)
{
    if (auto *clipboard = QGuiApplication::clipboard())
        clipboard->setImage(image);
}

} // namespace ImageFile
