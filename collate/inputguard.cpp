#include "inputguard.h"

#include "files.h"

#include <QFile>

#include <sys/stat.h>

namespace InputGuard {

bool isInput(const QString &path, const QStringList &inputs)
{
    struct stat target
    {
    };
    const bool exists = ::stat(QFile::encodeName(path).constData(), &target) == 0;
    for (const QString &input : inputs) {
        if (Files::isSameFile(path, input))
            return true;
        struct stat other
        {
        };
        if (exists && ::stat(QFile::encodeName(input).constData(), &other) == 0 &&
            other.st_dev == target.st_dev && other.st_ino == target.st_ino)
            return true;
    }
    return false;
}

} // namespace InputGuard
