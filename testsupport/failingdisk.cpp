#include "failingdisk.h"

#include <cerrno>

#include <fcntl.h>

FailingDisk::FailingDisk()
{
    Disk::use(this);
}

FailingDisk::~FailingDisk()
{
    Disk::use(nullptr);
}

int FailingDisk::lockExclusive(int fd)
{
    // As on NFS, where a lock is a write lock: a descriptor open for reading only cannot take it.
    if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY)
        return EBADF;
    return lockError ? lockError.load() : Disk::lockExclusive(fd);
}

int FailingDisk::syncData(int fd)
{
    if (syncFailures != 0) {
        if (syncFailures > 0)
            --syncFailures;
        return EIO;
    }
    return Disk::syncData(fd);
}

int FailingDisk::createExclusive(const QString &path, int *fd)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    if (name.toUtf8().size() > longestName)
        return ENAMETOOLONG;
    if (!refusedNames.isEmpty() && name.startsWith(refusedNames))
        return EACCES;
    return Disk::createExclusive(path, fd);
}
