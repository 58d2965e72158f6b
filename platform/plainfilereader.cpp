#include "files.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

static FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Plain;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    return FileKind::Other;
}

PlainFileReader::~PlainFileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PlainFileReader::open(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    // Looked at before it is opened: opening a device may act on it.
    if (::stat(name.constData(), &info) != 0) {
        m_kind = errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unknown;
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_kind = kindOf(info.st_mode);
    if (m_kind != FileKind::Plain)
        return false;
    // A fifo put in its place since the look above still cannot block the open.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const bool examined = ::fstat(m_fd, &info) == 0;
    if (!examined || kindOf(info.st_mode) != FileKind::Plain) {
        m_kind = examined ? kindOf(info.st_mode) : FileKind::Unknown;
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_size = static_cast<qint64>(info.st_size);
    return true;
}

bool PlainFileReader::read(qint64 count, QByteArray *bytes)
{
    // In chunks, so that a file shorter than count never costs count bytes of memory.
    constexpr qint64 Chunk = 64 * 1024;
    while (m_fd >= 0 && count > 0) {
        const qsizetype had = bytes->size();
        const qint64 wanted = std::min(count, Chunk);
        bytes->resize(had + wanted);
        const ssize_t n = ::read(m_fd, bytes->data() + had, static_cast<size_t>(wanted));
        const int reason = errno;
        bytes->resize(had + std::max<qsizetype>(n, 0));
        if (n < 0 && reason == EINTR)
            continue;
        if (n < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(reason));
            return false;
        }
        if (n == 0)
            break;
        count -= n;
    }
    return m_fd >= 0;
}

} // namespace Files
