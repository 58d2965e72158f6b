#include "lockedfile.h"

#include "disk.h"
#include "files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LockedFile::~LockedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int LockedFile::open(const QString &path)
{
    m_path = path;
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return errno;
    struct stat opened
    {
    };
    if (::fstat(m_fd, &opened) != 0)
        return errno;
    if (!S_ISREG(opened.st_mode))
        return EINVAL;
    return Disk::current().lockExclusive(m_fd);
}

bool LockedFile::isStillNamed() const
{
    struct stat opened
    {
    }, named{};
    return ::fstat(m_fd, &opened) == 0 &&
           ::stat(QFile::encodeName(m_path).constData(), &named) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

int LockedFile::read(qint64 limit, QByteArray *bytes) const
{
    bytes->clear();
    char buffer[65536];
    while (bytes->size() < limit) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, bytes->size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        bytes->append(buffer, n);
    }
    return 0;
}

void LockedFile::append(const QByteArray &bytes)
{
    qsizetype written = 0;
    if (::lseek(m_fd, 0, SEEK_END) >= 0 &&
        !Disk::current().write(m_fd, bytes.constData(), bytes.size(), &written))
        Disk::current().syncData(m_fd);
}

void LockedFile::removeName()
{
    // Only the file that is held goes, whatever took its name since.
    if (isStillNamed() && Disk::current().remove(m_path) == 0)
        Files::syncDirectory(QFileInfo(m_path).absolutePath());
}
