#include "picture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

namespace Picture {

bool writeJpeg(const QImage &image, const QString &path, QString *error)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(92);
    if (writer.write(image))
        return true;
    if (error)
        *error = writer.errorString();
    return false;
}

void copyToClipboard(const QImage &image)
{
    if (auto *clipboard = QGuiApplication::clipboard())
        clipboard->setImage(image);
}

} // namespace Picture
