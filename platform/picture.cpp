#include "picture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

namespace Picture {

bool writeJpeg(const QImage &image, const QString &path, QString *error)
{
    // Through a temporary file where the directory allows one, so that a failed write leaves an
    // existing file whole.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(92);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void copyToClipboard(const QImage &image)
{
    if (auto *clipboard = QGuiApplication::clipboard())
        clipboard->setImage(image);
}

} // namespace Picture
