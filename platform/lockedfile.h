#pragma once

#include <QByteArray>
#include <QString>

// A plain file held open and locked against every other process for as long as this lives: how
// a start claims the journal of a run that ended, reads it, marks it and takes it away, while a
// run that goes on keeps its own lock and is left alone.
class LockedFile
{
public:
    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    // Opens path for writing (which a lock on a network file system needs), never following a
    // link or blocking on a fifo, and locks it: 0, ENOENT where nothing is there, EINVAL for
    // anything but a plain file, EWOULDBLOCK or EAGAIN where another process holds it, or the
    // errno of what failed.
    int open(const QString &path);
    // Whether the name still leads to the file held (a run may take it away just now).
    bool isStillNamed() const;
    // Up to limit bytes from the start; 0 or the errno of the read that failed.
    int read(qint64 limit, QByteArray *bytes) const;
    // Appends bytes at the end and syncs them, as far as the disk lets it.
    void append(const QByteArray &bytes);
    // Takes the name away where it still leads to the file held, and syncs the folder.
    void removeName();

private:
    int m_fd = -1;
    QString m_path;
};
