#pragma once

#include "disk.h"

#include <QString>

#include <atomic>

// The disk as the program sees it, failing where the caller says; in use while it exists. The
// journal's writer calls it from its own thread.
class FailingDisk : public Disk
{
public:
    FailingDisk();
    ~FailingDisk() override;

    int lockExclusive(int fd) override;
    int syncData(int fd) override;
    int createExclusive(const QString &path, int *fd) override;
    bool isShared(const QString &) override { return shared; }
    int remove(const QString &path) override
    {
        return removeError ? removeError : Disk::remove(path);
    }

    std::atomic<int> lockError{0};
    // A positive count fails that many syncs; a negative one fails every sync.
    std::atomic<int> syncFailures{0};
    std::atomic<int> longestName{255};
    QString refusedNames; // set before anything runs: files whose names begin so are refused
    bool shared = false;
    int removeError = 0;
};
