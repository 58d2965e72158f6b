#pragma once

#include "eventlog.h"
#include "recordtable.h"
#include "setuprecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace Journal {

// The name of this computer as journals give it.
QString thisComputer();

// Where a study keeps a run's results, so that a run that ends without "Finished!" is saved
// there: its results folder, its name for the run's files, its session record and the run's
// place in it. An empty folder: not a study's run.
struct StudyPlace
{
    QString folder;
    QString name;
    QString record;
    int index = -1;
};

} // namespace Journal

// The journal of a run: every stored sample and every event reaches the disk within the
// second, so that a crash, a power cut or a lost display loses at most the last one. It is an
// append-only log beside the executable: a line naming the format, a line of JSON with the run's
// record, then one line per sample, "row,level1,level2,rows of the table,time,media", one per
// other event, "E," and the fields of the event log, and "O,time" where the recording started;
// times are on the clock the events were stamped on. Its name says which computer writes it.
//
// The file is written by a thread of its own, so that a slow disk never delays a tick, and is
// locked (flock) for as long as its run goes on: a journal that can be locked belongs to a
// process that is gone. The run's lines are few, so they are all kept in memory: where a write
// or a sync fails, the whole journal is written again as a new file, since after a failed sync
// the lines already written may be lost even where later ones reach the disk.
class RunJournal
{
public:
    static constexpr char Suffix[] = ".dialtrace-journal";

    RunJournal(const QString &directory, const SetupRecord &record, bool twoVariables,
               const QDateTime &started = QDateTime::currentDateTime(),
               const QString &computer = Journal::thisComputer(),
               const Journal::StudyPlace &study = {});
    // Leaves the journal on disk: only discard() takes it away.
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // The first line creates the file.
    void append(int lastRow, const RunEvent &sample);
    void append(const RunEvent &event);
    void startRecording(qint64 origin);
    // The run's results are safe elsewhere, or the user gave them up. Returns at once: the
    // writer takes the file away.
    void discard();
    // A study's run whose results files were written but whose session record could not say so:
    // the journal stays, naming them, so that the next start puts them in the record.
    void noteSaved(const QStringList &files, bool complete, int seconds);

    // Called on the writer's thread each time saving to disk stops working (the reason) or works
    // again (empty). Set it before the first append.
    void setProblemHandler(std::function<void(const QString &problem)> handler);

    // Empty until the first sample is written, and again once discarded.
    QString path() const;
    // Waits until the writer has tried to save everything appended so far (for tests and the
    // benchmark).
    void flush();
    // The longest time an append() took, in nanoseconds: what the tick spent on the journal.
    qint64 longestAppendNanoseconds() const { return m_longestAppend; }

private:
    struct File;
    void write();
    // Saves content on the file, or on a new one; the reason it could not, or empty.
    QString save(File &file, const QByteArray &content);
    // Wakes the writer only where asked; otherwise it takes the line within a fifth of a second.
    void pushLine(const QByteArray &line, bool wake = true);

    QString m_directory;
    QString m_stem;     // the journal's name up to its serial
    QString m_computer; // as the name gives it
    QByteArray m_header;
    bool m_discarded = false;
    qint64 m_longestAppend = 0;
    std::function<void(const QString &)> m_problemHandler;

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
    QString computer;
    StudyPlace study;
    RecordTable table{0};
    int samples = 0;
    // Every event, samples included, on the run's own clock.
    QList<RunEvent> events;
    // Lines that could not be read and were passed over.
    int damaged = 0;
    // Saved as a results file already; only its removal failed.
    bool recovered = false;
    // A study's run saved in full whose record could not be updated: its files, whether it
    // reached the clip's end, and the seconds it stored.
    QStringList savedAs;
    bool complete = false;
    int savedSeconds = 0;
};

// The run a journal holds, or nothing with the reason when the bytes are not a journal this
// program can read. Damaged lines are skipped: the samples after them still count.
std::optional<Run> parse(const QByteArray &bytes, QString *problem = nullptr);

// The computer a journal's file name names, as file names give it; this one for journals that
// name none, which only this computer wrote.
QString computerOf(const QString &fileName);
bool writtenHere(const QString &fileName);

// The lines of the format: its first, the mark of an event other than a sample, the mark of
// the recording's start, and the mark of a journal saved already, written before it is removed.
inline constexpr char Magic[] = "DIALTRACE-JOURNAL 1\n";
inline constexpr char EventMark[] = "E,";
inline constexpr char OriginMark[] = "O,";
inline constexpr char RecoveredMark[] = "recovered\n";
inline constexpr char SavedMark[] = "S,";

// Letters, digits, dots and dashes: a computer's name as part of a file name.
QString fileNamePart(const QString &text);

// "Recovered" with the subject, variable, date and time of the run: a name a person knows,
// without its extension; and the shorter one for where that name is too long.
QString recoveredName(const Run &run);
QString shortRecoveredName(const Run &run);

} // namespace Journal
