#include "disk.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

Disk RealDisk;
Disk *Current = &RealDisk;

// File systems that other computers reach too. Some of them keep locks on each computer
// (NFS mounted with local_lock or nolock, SMB without byte-range locks, sshfs), so a lock seen
// free here says nothing about a process on another computer.
constexpr unsigned long SharedFileSystems[] = {
    0x6969,     // NFS
    0x517B,     // SMB
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2
    0x65735546, // FUSE (sshfs and others)
    0x5346414F, // AFS
    0x00C36400, // Ceph
    0x01161970, // GFS2
    0x7461636F, // OCFS2
    0x01021997, // 9P
    0x73757245, // Coda
    0x0BD00BD0, // Lustre
};

int errorOr(int result)
{
    return result == 0 ? 0 : errno;
}

} // namespace

int Disk::lockExclusive(int fd)
{
    return errorOr(::flock(fd, LOCK_EX | LOCK_NB));
}

int Disk::syncData(int fd)
{
    return errorOr(::fdatasync(fd));
}

int Disk::write(int fd, const char *data, qsizetype size, qsizetype *written)
{
    return Files::writeAll(
        [fd](const char *bytes, size_t count) { return ::write(fd, bytes, count); }, data, size,
        written);
}

int Disk::remove(const QString &path)
{
    return ::unlink(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

int Disk::createExclusive(const QString &path, int *fd)
{
    *fd = ::open(QFile::encodeName(path).constData(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    return *fd < 0 ? errno : 0;
}

bool Disk::isShared(const QString &directory)
{
    struct statfs info
    {
    };
    if (::statfs(QFile::encodeName(directory).constData(), &info) != 0)
        return false;
    const auto type = static_cast<unsigned long>(info.f_type);
    for (const unsigned long shared : SharedFileSystems) {
        if (type == shared)
            return true;
    }
    return false;
}

Disk &Disk::current()
{
    return *Current;
}

void Disk::use(Disk *disk)
{
    Current = disk ? disk : &RealDisk;
}

namespace Files {

int writeAll(const std::function<ssize_t(const char *, size_t)> &writeSome, const char *data,
             qsizetype size, qsizetype *written)
{
    *written = 0;
    while (*written < size) {
        errno = 0;
        const ssize_t n = writeSome(data + *written, static_cast<size_t>(size - *written));
        if (n < 0 && errno == EINTR)
            continue;
        // A write that takes nothing and says nothing is as good as a full disk.
        if (n <= 0)
            return n < 0 && errno != 0 ? errno : ENOSPC;
        *written += n;
    }
    return 0;
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int createBeside(const QString &target, const QString &suffix, QString *path, int *fd)
{
    int reason = EEXIST;
    for (int attempt = 0; reason == EEXIST && attempt < 100; ++attempt) {
        const quint32 random = QRandomGenerator::global()->generate();
        *path = target + QStringLiteral(".%1").arg(random, 8, 16, QLatin1Char('0')) + suffix;
        reason = Disk::current().createExclusive(*path, fd);
    }
    return reason;
}

void removeName(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}

int closeChecked(int fd)
{
    return ::close(fd) != 0 && errno != EINTR ? errno : 0;
}

void removeAndClose(int fd, const QString &path)
{
    removeName(path);
    closeChecked(fd);
}

void touch(int fd)
{
    ::futimens(fd, nullptr);
}

qint64 secondsSinceWritten(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return QDateTime::currentSecsSinceEpoch() - info.st_mtime;
}

bool isPlainFileHere(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

void takePermissions(int fd, const QString &target)
{
    struct stat old
    {
    };
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
}

int renameOver(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? 0
               : errno;
}

int renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // NFS and some others cannot rename without replacing; a link never replaces.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    ::unlink(source.constData());
    return 0;
}

int syncDirectory(const QString &directory)
{
    const int fd =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = errorOr(::fsync(fd));
    // Some file systems cannot sync a directory at all: their names are as safe as they get.
    if (error == EINVAL || error == ENOTSUP)
        error = 0;
    ::close(fd);
    return error;
}

int finishFile(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    int error = Disk::current().write(fd, bytes.constData(), bytes.size(), &written);
    if (!error)
        error = Disk::current().syncData(fd);
    // A network file system may report a failed write only when the file is closed.
    if (::close(fd) != 0 && !error && errno != EINTR)
        error = errno;
    return error;
}

} // namespace Files
