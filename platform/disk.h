#pragma once

#include <QString>

#include <functional>

#include <sys/types.h>

// The system calls through which recorded data reaches the disk. Each answers 0 or the errno of
// its failure. The real calls by default; a test puts in a stand-in that fails where it wants,
// since a full or failing disk cannot be had on demand.
class Disk
{
public:
    virtual ~Disk() = default;

    // flock(LOCK_EX | LOCK_NB) on a descriptor open for writing, which NFS needs for it.
    // EWOULDBLOCK: another open file holds the lock.
    virtual int lockExclusive(int fd);
    // fdatasync. After a failure, what was written since the last success may be gone for good,
    // even though a later call succeeds.
    virtual int syncData(int fd);
    // Writes as much of data as it takes; written says how much went, also after a failure.
    virtual int write(int fd, const char *data, qsizetype size, qsizetype *written);
    // Makes a new plain file at path, never following or replacing anything there.
    virtual int createExclusive(const QString &path, int *fd);
    // unlink(2): takes the name away.
    virtual int remove(const QString &path);
    // Whether other computers may write into directory too (a network file system): a lock
    // taken there may then be visible on this computer only.
    virtual bool isShared(const QString &directory);

    static Disk &current();
    // nullptr puts the real calls back.
    static void use(Disk *disk);
};

namespace Files {

// The reason an errno value stands for, as a sentence fragment a person reads.
QString reason(int error);

// A new file beside target, named target + ".XXXXXXXX" + suffix, made here and nowhere else
// (never following or replacing anything): the first step of writing beside, then renaming over.
// 0 or the errno of the last attempt.
int createBeside(const QString &target, const QString &suffix, QString *path, int *fd);

// Takes the name at path away (unlink(2)); nothing where none is there.
void removeName(const QString &path);
// Closes fd: 0, or the errno of a close that failed (where the disk took a write back).
int closeChecked(int fd);
// Takes away the name of a file this process made and holds, then lets the file go.
void removeAndClose(int fd, const QString &path);
// Marks the file as written now, for whoever can see its times but not its lock.
void touch(int fd);
// Seconds since the file at path was last written; negative where it cannot be examined.
qint64 secondsSinceWritten(const QString &path);
// Whether path itself (a link not followed) is a plain file.
bool isPlainFileHere(const QString &path);
// The new file behind fd takes the permissions of the file at target, where there is one.
void takePermissions(int fd, const QString &target);
// rename(2): from takes to's name, replacing whatever had it. 0 or the errno.
int renameOver(const QString &from, const QString &to);

// Renames from to to unless to exists (EEXIST then). Where the file system cannot rename that
// way, the file is linked under its new name and the old name removed.
int renameNoReplace(const QString &from, const QString &to);

// Makes the names in a directory (a file created, renamed or removed there) last a power cut.
int syncDirectory(const QString &directory);

// Hands data to writeSome, a write(2) that may take only part of what it is given, until all of
// it is taken (written says how much was); 0 or the errno of the failure. A call that takes
// nothing yet reports no error fails with ENOSPC: errno then holds whatever failed before.
int writeAll(const std::function<ssize_t(const char *, size_t)> &writeSome, const char *data,
             qsizetype size, qsizetype *written);

// Writes all of bytes to fd, syncs and closes it (fd is closed in any case); the first failure.
int finishFile(int fd, const QByteArray &bytes);

} // namespace Files
