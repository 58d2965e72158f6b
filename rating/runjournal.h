#pragma once

#include "recordtable.h"
#include "setuprecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

// The journal of a run: every stored sample reaches the disk within the second, so that a
// crash, a power cut or a lost display loses at most the last one. It is an append-only log
// beside the executable: a line naming the format, a line of JSON with the run's record, then
// one line "row,level1,level2,rows of the table" per sample. A torn last line is ignored when it is
// read back.
//
// The file is written by a thread of its own, so that a slow disk never delays a tick, and is
// locked (flock) for as long as its run goes on: a journal that can be locked belongs to a
// process that is gone.
class RunJournal
{
public:
    static constexpr char Suffix[] = ".dialtrace-journal";

    RunJournal(const QString &directory, const SetupRecord &record, bool twoVariables,
               const QDateTime &started = QDateTime::currentDateTime());
    // Leaves the journal on disk: only discard() takes it away.
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // The first sample creates the file.
    void append(int lastRow, int row, qint16 level1, qint16 level2);
    // The run's results are safe elsewhere, or the user gave them up. Returns at once: the
    // writer takes the file away.
    void discard();

    // Empty until the first sample is written, and again once discarded.
    QString path() const;
    // Waits until everything appended so far is on disk (for tests and the benchmark).
    void flush();
    // The longest time an append() took, in nanoseconds: what the tick spent on the journal.
    qint64 longestAppendNanoseconds() const { return m_longestAppend; }

private:
    void write();

    QString m_directory;
    QString m_name;
    QByteArray m_header;
    bool m_discarded = false;
    qint64 m_longestAppend = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<QByteArray> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    bool m_remove = false;
    QString m_path; // set by the writer once the file exists
    std::thread m_writer;
};

namespace Journal {

struct Run
{
    SetupRecord record;
    bool twoVariables = false;
    QDateTime started;
    RecordTable table{0};
    int samples = 0;
};

// The run a journal holds, or nothing when the bytes are not a journal at all.
std::optional<Run> parse(const QByteArray &bytes);

// Journals in directory whose process has ended; each is locked while it is returned so that
// no other copy recovers it at the same time. Call release() when done with one.
struct Orphan
{
    QString path;
    int lockFd = -1;
};
QList<Orphan> orphans(const QString &directory);
// The bytes of a locked journal, read through its lock rather than its name.
QByteArray read(const Orphan &orphan);
void release(Orphan &orphan, bool remove);

// "Recovered" with the subject, variable, date and time of the run: a name a person knows.
QString recoveredName(const Run &run);

} // namespace Journal
