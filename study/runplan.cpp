#include "runplan.h"

#include "dialogs.h"
#include "recovery.h"
#include "resultsfile.h"
#include "studysession.h"

#include <QDir>

namespace {

class SingleRun : public RunPlan
{
public:
    explicit SingleRun(const QString &applicationDirectory) : m_directory(applicationDirectory) {}

    Beginning begin(const SetupRecord &) override { return Beginning::Begun; }
    bool startClip(int, SetupRecord &) override { return true; }

    Saved save(const QByteArray &results, const QByteArray &events, bool, int, QWidget *) override
    {
        Saved saved;
        saved.where = ResultsFile::path(m_directory);
        saved.saved = UnsavedResults::writeLastRun(m_directory, results, events, &saved.error);
        return saved;
    }

private:
    QString m_directory;
};

class StudyRuns : public RunPlan
{
public:
    StudyRuns(const Study &study, Dialogs &dialogs, QRandomGenerator &random)
        : m_study(study), m_dialogs(dialogs), m_random(random)
    {
    }

    Beginning begin(const SetupRecord &record) override;
    QString repairRecords() override
    {
        const QStringList completed = StudySession::completeStaleRecords(m_study);
        return completed.isEmpty()
                   ? QString()
                   : QStringLiteral("These session records did not name the results saved for "
                                    "a clip; they do now:\n\n") +
                         completed.join(QLatin1Char('\n'));
    }
    QString setupNotice() const override
    {
        const QString others = StudySession::otherStudies(m_study);
        return others.isEmpty() ? others : others + QLatin1Char('.');
    }
    QStringList fixedVariables() const override { return m_study.variables; }
    QString instructions() const override { return m_study.instructions; }

    bool hasSteps() const override { return true; }
    Step nextStep() override
    {
        // Clips done meanwhile on another computer are not offered again.
        m_session->refresh();
        const int next = m_session->next();
        return {next, next < 0 ? QString() : m_session->stepText(next)};
    }
    bool startClip(int index, SetupRecord &record) override;

    Journal::StudyPlace journalPlace() const override
    {
        return {m_study.resultsFolder, m_session->resultsName(m_clip), m_session->recordPath(),
                m_clip};
    }
    RunEnding ending() const override { return {m_study.pause, true}; }
    bool showsResults() const override { return m_study.showResults; }

    Saved save(const QByteArray &results, const QByteArray &events, bool complete, int seconds,
               QWidget *parent) override;
    bool isRecordWritten() const override { return m_session->isRecordWritten(); }
    const StudySession *session() const override { return m_session ? &*m_session : nullptr; }

private:
    // Where the record could not be written, said once while it keeps failing.
    void tellRecordProblem(bool wasWritten, const QString &error, QWidget *parent);

    Study m_study;
    Dialogs &m_dialogs;
    QRandomGenerator &m_random;
    std::optional<StudySession> m_session;
    int m_clip = -1;
};

RunPlan::Beginning StudyRuns::begin(const SetupRecord &record)
{
    const QString participant = record.SubjectName;
    auto unfinished = StudySession::unfinished(m_study, participant);
    if (unfinished && m_dialogs.confirm(nullptr, goOnQuestion(participant, unfinished->doneCount(),
                                                              unfinished->interruptedCount(),
                                                              unfinished->clipCount()))) {
        m_session = std::move(unfinished);
        return Beginning::Begun;
    }
    if (!unfinished) {
        if (const auto date = StudySession::completed(m_study, participant);
            date && !m_dialogs.confirm(nullptr, doneAlreadyQuestion(participant, *date)))
            return Beginning::Declined;
    }
    QString error;
    m_session = StudySession::begin(m_study, participant, record.DateText, m_random, &error);
    if (!m_session) {
        m_dialogs.message(
            nullptr,
            QStringLiteral("The study cannot begin for \"%1\".\n\n%2").arg(participant, error));
        return Beginning::Failed;
    }
    return Beginning::Begun;
}

bool StudyRuns::startClip(int index, SetupRecord &record)
{
    // Its screen may have waited while another computer rated the clip.
    m_session->refresh();
    if (!m_session->isLeftToDo(index))
        return false;
    m_clip = index;
    record.FileFullPath = m_study.clipPath(m_session->record().clips[index].clip);
    QString error;
    // The record only tells when the clip started: the clip goes on without it.
    const bool written = m_session->isRecordWritten();
    if (!m_session->start(index, &error))
        tellRecordProblem(written, error, nullptr);
    return true;
}

RunPlan::Saved StudyRuns::save(const QByteArray &results, const QByteArray &events, bool complete,
                               int seconds, QWidget *parent)
{
    Saved saved;
    saved.where = m_study.resultsFolder;
    saved.saved = m_session->saveResults(m_clip, results, events, &saved.error);
    if (!saved.saved)
        return saved;
    QString error;
    const bool written = m_session->isRecordWritten();
    if (!m_session->markDone(m_clip, complete, seconds, &error))
        tellRecordProblem(written, error, parent);
    saved.files = m_session->record().clips[m_clip].files;
    return saved;
}

void StudyRuns::tellRecordProblem(bool wasWritten, const QString &error, QWidget *parent)
{
    if (!wasWritten)
        return;
    m_dialogs.message(
        parent, QStringLiteral("The session record \"%1\" could not be updated.\n\n%2\n\nThe "
                               "results of every clip rated are saved in \"%3\". The study goes "
                               "on, and Dialtrace tries again after each clip.")
                    .arg(QDir::toNativeSeparators(m_session->recordPath()), error,
                         QDir::toNativeSeparators(m_study.resultsFolder)));
}

} // namespace

std::unique_ptr<RunPlan> singleRunPlan(const QString &applicationDirectory)
{
    return std::make_unique<SingleRun>(applicationDirectory);
}

std::unique_ptr<RunPlan> studyPlan(const Study &study, Dialogs &dialogs, QRandomGenerator &random)
{
    return std::make_unique<StudyRuns>(study, dialogs, random);
}

QString goOnQuestion(const QString &participant, int done, int interrupted, int all)
{
    const QString interruptedText =
        interrupted == 0 ? QString()
        : interrupted == 1
            ? QStringLiteral("; 1 was interrupted")
            : QStringLiteral("; %1 were interrupted").arg(QString::number(interrupted));
    return QStringLiteral("%1 has done %2 of %3 clips%4. Go on with the %5 left?")
        .arg(participant, QString::number(done), QString::number(all), interruptedText,
             QString::number(all - done));
}

QString doneAlreadyQuestion(const QString &participant, const QString &date)
{
    return QStringLiteral("%1 has done this study already (%2). Start again as a new session?")
        .arg(participant, date);
}
