#pragma once

#include "journalfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// The journal of a run (its format: journalfile.h): every stored sample and every event reaches
// the disk within the second, so that a crash, a power cut or a lost display loses at most the
// last one.
//
// The file is written by a thread of its own, so that a slow disk never delays a tick, and is
// locked (flock) for as long as its run goes on: a journal that can be locked belongs to a
// process that is gone. The run's lines are few, so they are all kept in memory: where a write
// or a sync fails, the whole journal is written again as a new file, since after a failed sync
// the lines already written may be lost even where later ones reach the disk.
class RunJournal
{
public:
    static constexpr const char *Suffix = Journal::Suffix;

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
    InputMode m_input = InputMode::Steps;
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
