#include "recovery.h"

#include "disk.h"
#include "eventlog.h"
#include "files.h"
#include "lockedfile.h"
#include "recordtable.h"
#include "resultsfile.h"
#include "runjournal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

// A fifteen-minute run writes some 20 KB; nothing this large is a journal of a run, and reading
// it whole at every start could take all the memory there is.
constexpr qint64 JournalLimit = 8 * 1024 * 1024;

struct Report
{
    QStringList saved;
    QStringList failed;
    QStringList unchecked;
    QStringList elsewhere;
    QStringList unreadable;
    QStringList recorded;
    bool savedInStudy = false;
};

QString who(const Journal::Run &run)
{
    QString variables = QStringLiteral("variable \"") + run.record.Variable + QLatin1Char('"');
    if (run.twoVariables)
        variables = QStringLiteral("variables \"") + run.record.Variable +
                    QStringLiteral("\" and \"") + run.record.Variable2 + QLatin1Char('"');
    return QStringLiteral("Subject \"") + run.record.SubjectName + QStringLiteral("\", ") +
           variables + QStringLiteral(": ") + QString::number(run.samples) +
           (run.samples == 1 ? QStringLiteral(" second stored")
                             : QStringLiteral(" seconds stored"));
}

// Under its own name with the suffix added, never over another file; the name it got.
QString moveAside(const QString &path, int *error)
{
    QString target = path + QLatin1String(Recovery::UnreadableSuffix);
    for (int n = 2; (*error = Files::renameNoReplace(path, target)) == EEXIST && n < 100; ++n)
        target = path + QStringLiteral(".%1").arg(n) + QLatin1String(Recovery::UnreadableSuffix);
    return QFileInfo(target).fileName();
}

class Recoverer
{
public:
    Recoverer(const QString &directory, const Recovery::StudyRecorder &recorder)
        : m_directory(directory), m_recorder(recorder),
          m_shared(Disk::current().isShared(directory))
    {
    }

    void check(const QString &name);
    QString text() const;

private:
    void recover(LockedFile &journal, const QString &name, const QByteArray &bytes);

    QString m_directory;
    const Recovery::StudyRecorder &m_recorder;
    bool m_shared;
    Report m_report;
};

void Recoverer::check(const QString &name)
{
    const QString path = m_directory + QLatin1Char('/') + name;
    if (m_shared && !Journal::writtenHere(name)) {
        // Its computer's lock may be visible there alone: only its own Dialtrace may judge.
        if (Files::secondsSinceWritten(path) > Recovery::StaleAfterSeconds)
            m_report.elsewhere << QStringLiteral("\"%1\", of computer \"%2\"")
                                      .arg(name, Journal::computerOf(name));
        return;
    }
    LockedFile journal;
    const int lock = journal.open(path);
    QByteArray bytes;
    if (lock == ENOENT || lock == EWOULDBLOCK || lock == EAGAIN) {
        // Gone meanwhile, or its run goes on.
    } else if (lock) {
        m_report.unchecked << QStringLiteral("\"%1\": %2").arg(name, Files::reason(lock));
    } else if (!journal.isStillNamed()) {
        // Its run took it away just now and left a file with no name.
    } else if (const int error = journal.read(JournalLimit + 1, &bytes)) {
        m_report.unchecked << QStringLiteral("\"%1\": %2").arg(name, Files::reason(error));
    } else {
        recover(journal, name, bytes);
    }
}

void Recoverer::recover(LockedFile &journal, const QString &name, const QByteArray &bytes)
{
    const QString path = m_directory + QLatin1Char('/') + name;
    QString problem;
    std::optional<Journal::Run> run;
    if (bytes.size() > JournalLimit) {
        problem = QStringLiteral("it is larger than the journal of any run");
    } else if ((run = Journal::parse(bytes, &problem)) && run->samples == 0 && run->damaged > 0) {
        problem = QStringLiteral("none of its samples can be read");
        run.reset();
    }
    if (!run) {
        int error = 0;
        const QString kept = moveAside(path, &error);
        if (error)
            m_report.unchecked << QStringLiteral(
                                      "\"%1\": %2; it could not be moved aside either: %3")
                                      .arg(name, problem, Files::reason(error));
        else
            m_report.unreadable
                << QStringLiteral("\"%1\": %2. It is kept as \"%3\".").arg(name, problem, kept);
        return;
    }
    const Journal::StudyPlace &study = run->study;
    const bool inStudy = !study.folder.isEmpty();
    const QStringList controls = EventLog::controls(run->events, run->record.Input);
    QString error;
    // Saved in full at "Finished!", only its session record was not updated then.
    if (inStudy && !run->savedAs.isEmpty()) {
        if (!m_recorder({study, true, run->savedAs, run->complete, run->savedSeconds, controls},
                        &error)) {
            m_report.failed << who(*run) + QStringLiteral(", saved as \"%1\", but its session "
                                                          "record could not be updated: %2")
                                               .arg(run->savedAs.value(0), error);
            return;
        }
        // Marked as saved before it goes, so that a removal that fails never saves it twice.
        journal.append(Journal::RecoveredMark);
        journal.removeName();
        m_report.recorded << who(*run) + QStringLiteral(", saved as \"%1\", is now in \"%2\".")
                                             .arg(run->savedAs.value(0),
                                                  QDir::toNativeSeparators(study.record));
        return;
    }
    // Saved at an earlier start, or a run that had stored nothing: nothing to keep.
    if (run->recovered || run->samples == 0) {
        journal.removeName();
        return;
    }
    QStringList saved;
    Files::NamedBytes files = {{ResultsFile::Suffix, ResultsFile::bytes(Recording::results(*run))}};
    // A journal of an earlier version has no times to make an event log of.
    if (!run->events.isEmpty())
        files.append(
            {EventLog::Suffix, EventLog::bytes(run->events, run->twoVariables, run->record.Input)});
    // A study's run goes to the study's results folder, under the study's name for it.
    const QString folder = inStudy ? study.folder : m_directory;
    if (!Files::createUniqueFiles(folder,
                                  inStudy ? study.name + QStringLiteral(" (recovered)")
                                          : Journal::recoveredName(*run),
                                  Journal::shortRecoveredName(*run), files, &saved, &error)) {
        m_report.failed << who(*run) + QStringLiteral(", not saved: ") + error;
        return;
    }
    journal.append(Journal::RecoveredMark);
    journal.removeName();
    QString line =
        who(*run) + QStringLiteral(", saved as \"%1\"")
                        .arg(QDir::toNativeSeparators(
                            inStudy ? saved.first() : QFileInfo(saved.first()).fileName()));
    m_report.savedInStudy |= inStudy;
    QStringList names;
    for (const QString &path : std::as_const(saved))
        names << QFileInfo(path).fileName();
    if (inStudy && !m_recorder({study, false, names, false, run->samples, controls}, &error))
        line += QStringLiteral(" (its session record could not be updated: %1)").arg(error);
    m_report.saved << line + QLatin1Char('.');
}

QString Recoverer::text() const
{
    const QString folder = QDir::toNativeSeparators(m_directory);
    QStringList parts;
    if (!m_report.saved.isEmpty() || !m_report.failed.isEmpty())
        parts << QStringLiteral("Dialtrace ended during a run without \"Finished!\".");
    // A study's runs are named with their folder, the study's results folder.
    if (!m_report.saved.isEmpty())
        parts << QStringLiteral("The results stored up to then are saved") +
                     (m_report.savedInStudy
                          ? QStringLiteral(" (single runs beside the program, in ")
                          : QStringLiteral(" beside the program, in ")) +
                     folder +
                     (m_report.savedInStudy ? QStringLiteral("):\n\n") : QStringLiteral(":\n\n")) +
                     m_report.saved.join(QLatin1Char('\n'));
    if (!m_report.recorded.isEmpty())
        parts << QStringLiteral("The results of these clips were saved, but their session record "
                                "could not be updated then; it is now:\n\n") +
                     m_report.recorded.join(QLatin1Char('\n'));
    if (!m_report.failed.isEmpty())
        parts << QStringLiteral("These could not be saved; they are kept, and Dialtrace tries "
                                "again at its next start:\n\n") +
                     m_report.failed.join(QLatin1Char('\n'));
    if (!m_report.unreadable.isEmpty())
        parts << QStringLiteral("These journals of runs cannot be read, so nothing could be saved "
                                "from them; each is kept under another name and not read "
                                "again:\n\n") +
                     m_report.unreadable.join(QLatin1Char('\n'));
    if (!m_report.unchecked.isEmpty())
        parts << QStringLiteral("These journals of runs could not be checked; each is left as it "
                                "is:\n\n") +
                     m_report.unchecked.join(QLatin1Char('\n'));
    if (!m_report.elsewhere.isEmpty())
        parts << QStringLiteral("These journals were written on other computers, whose runs this "
                                "one cannot see; each is left as it is, for Dialtrace on that "
                                "computer to save:\n\n") +
                     m_report.elsewhere.join(QLatin1Char('\n'));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

namespace Recovery {

QString recoverInterruptedRuns(const QString &directory, const Recovery::StudyRecorder &recorder)
{
    Recoverer recoverer(directory, recorder);
    // A journal whose run ended while it was being created still has its first name.
    const QString suffix = QLatin1String(RunJournal::Suffix);
    for (const QString &name : QDir(directory).entryList(
             {QStringLiteral("*") + suffix, QStringLiteral("*") + suffix + QStringLiteral(".part")},
             QDir::Files | QDir::Hidden, QDir::Name))
        recoverer.check(name);
    QString text = recoverer.text();
    const QStringList kept = UnsavedResults::takeKept(directory);
    if (!kept.isEmpty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text +=
            QStringLiteral("The results of runs that were never exported were kept when a "
                           "later run replaced \"%1\", in %2:\n\n")
                .arg(QLatin1String(ResultsFile::FileName), QDir::toNativeSeparators(directory)) +
            kept.join(QLatin1Char('\n'));
    }
    return text;
}

} // namespace Recovery
