#include "screenorder.h"

#include "dialogs.h"
#include "eventlog.h"
#include "files.h"
#include "form1.h"
#include "instructionsform.h"
#include "mainform.h"
#include "mediaplayer.h"
#include "outputform.h"
#include "recovery.h"
#include "resultsfile.h"
#include "runjournal.h"
#include "variableform.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

ScreenOrder::ScreenOrder(Dialogs &dialogs, MediaPlayer &player, const QString &applicationDirectory,
                         QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_player(player),
      m_applicationDirectory(applicationDirectory)
{
}

ScreenOrder::~ScreenOrder()
{
    // The rating screen holds the player's picture; it goes before the player does.
    delete m_studyForm;
    delete m_outputForm;
    delete m_mainForm;
    delete m_instructionsForm;
    delete m_variableForm;
    delete m_splash;
}

void ScreenOrder::start()
{
    recoverInterruptedRuns();
    m_splash = new Form1;
    m_splash->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_splash, &Form1::handOverRequested, this, &ScreenOrder::handOverFromSplash);
    connect(m_splash, &Form1::closeAllRequested, this, &ScreenOrder::closeAll);
    m_splash->show();
}

void ScreenOrder::handOverFromSplash()
{
    if (m_ended || m_variableForm)
        return;
    // From here on the splash only goes away; closing it no longer ends anything.
    disconnect(m_splash, &Form1::closeAllRequested, this, &ScreenOrder::closeAll);
    m_splash->hide();
    m_variableForm = new VariableForm(m_dialogs);
    if (m_study)
        m_variableForm->setStudy(m_study->variables,
                                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    connect(m_variableForm, &VariableForm::recordReady, this, &ScreenOrder::recordReady);
    connect(m_variableForm, &VariableForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_variableForm->show();
    m_splash->close();
    if (m_study) {
        if (const QString others = StudySession::otherStudies(*m_study); !others.isEmpty())
            m_dialogs.message(m_variableForm, others + QLatin1Char('.'));
    }
}

void ScreenOrder::setStudy(const Study &study, QRandomGenerator *random)
{
    m_study = study;
    m_random = random;
}

void ScreenOrder::recordReady()
{
    m_runRecord = m_variableForm->record();
    switch (m_study ? beginSession() : Begun) {
    case Begun:
        showInstructions();
        break;
    case Declined:
        // A participant who has done the study already: back to the setup form, for another.
        m_variableForm->show();
        break;
    case Failed:
        closeAll();
        break;
    }
}

ScreenOrder::Beginning ScreenOrder::beginSession()
{
    const QString participant = m_runRecord.SubjectName;
    auto unfinished = StudySession::unfinished(*m_study, participant);
    if (unfinished && m_dialogs.confirm(nullptr, goOnQuestion(participant, unfinished->doneCount(),
                                                              unfinished->interruptedCount(),
                                                              unfinished->clipCount()))) {
        m_session = std::move(unfinished);
        return Begun;
    }
    if (!unfinished) {
        if (const auto date = StudySession::completed(*m_study, participant);
            date && !m_dialogs.confirm(nullptr, doneAlreadyQuestion(participant, *date)))
            return Declined;
    }
    QString error;
    m_session = StudySession::begin(*m_study, participant, m_runRecord.DateText, *m_random, &error);
    if (!m_session)
        m_dialogs.message(
            nullptr,
            QStringLiteral("The study cannot begin for \"%1\".\n\n%2").arg(participant, error));
    return m_session ? Begun : Failed;
}

void ScreenOrder::showStudyStep()
{
    if (m_ended)
        return;
    dropRun();
    // A closed results screen deletes itself; the next clip's comes anew.
    m_outputForm = nullptr;
    // Clips done meanwhile on another computer are not offered again.
    m_session->refresh();
    const int next = m_session->next();
    const bool last = next < 0;
    m_studyForm = new StudyForm(last ? ThankYouText : m_session->stepText(next),
                                last ? CloseText : StartText);
    m_studyForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_studyForm, &StudyForm::closeAllRequested, this, &ScreenOrder::closeAll);
    if (last)
        connect(m_studyForm, &StudyForm::pressed, this, &ScreenOrder::closeAll);
    else
        connect(m_studyForm, &StudyForm::pressed, this, [this, next] { startClip(next); });
    m_studyForm->show();
    if (m_instructionsForm)
        m_instructionsForm->close();
}

void ScreenOrder::startClip(int index)
{
    // Its screen may have waited while another computer rated the clip.
    m_session->refresh();
    if (!m_session->isLeftToDo(index)) {
        QPointer<StudyForm> stale = m_studyForm;
        showStudyStep();
        if (stale)
            stale->close();
        return;
    }
    m_clip = index;
    m_runRecord.FileFullPath = m_study->clipPath(m_session->record().clips[index].clip);
    QString error;
    // The record only tells when the clip started: the clip goes on without it.
    if (m_session->start(index, &error))
        recordWritten();
    else
        m_dialogs.message(nullptr, recordProblem(error));
    showRatingScreen();
}

QString ScreenOrder::recordProblem(const QString &error) const
{
    return QStringLiteral("The session record \"%1\" could not be updated.\n\n%2\n\nThe results of "
                          "every clip rated are saved in \"%3\". The study goes on, and Dialtrace "
                          "tries again after each clip.")
        .arg(QDir::toNativeSeparators(m_session->recordPath()), error,
             QDir::toNativeSeparators(m_study->resultsFolder));
}

void ScreenOrder::recordWritten()
{
    // Their clips are in the record now.
    for (const auto &journal : m_unrecorded)
        journal->discard();
    m_unrecorded.clear();
}

void ScreenOrder::dropRun()
{
    if (m_journal && m_session && !m_session->isRecordWritten()) {
        // The record does not name this clip's results yet: its journal stays, naming them.
        m_unrecorded.push_back(std::move(m_journal));
    } else if (m_journal) {
        m_journal->discard();
    }
    m_journal.reset();
    if (m_mainForm) {
        m_mainForm->endForGood();
        m_mainForm->stopRun();
        // The player's picture outlives the screen: the next clip's screen takes it.
        m_player.view()->hide();
        m_player.view()->setParent(nullptr);
        // Once back in the event loop: the run may end from inside the screen's own handlers
        // (its last sample, "Finished!").
        m_mainForm->hide();
        m_mainForm->deleteLater();
        m_mainForm = nullptr;
    }
}

void ScreenOrder::showInstructions()
{
    if (m_ended || m_instructionsForm || m_mainForm)
        return;
    m_instructionsForm = new InstructionsForm(m_variableForm->record(), m_applicationDirectory,
                                              m_study ? m_study->instructions : QString());
    m_instructionsForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_instructionsForm, &InstructionsForm::proceedPressed, this,
            m_study ? &ScreenOrder::showStudyStep : &ScreenOrder::showRatingScreen);
    connect(m_instructionsForm, &InstructionsForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_instructionsForm->show();
}

void ScreenOrder::showRatingScreen()
{
    if (m_ended || m_mainForm)
        return;
    QWidget *before = m_study ? static_cast<QWidget *>(m_studyForm) : m_instructionsForm;
    before->hide();
    const SetupRecord &record = m_runRecord;
    Journal::StudyPlace place;
    if (m_study)
        place = {m_study->resultsFolder, m_session->resultsName(m_clip), m_session->recordPath(),
                 m_clip};
    m_journal =
        std::make_unique<RunJournal>(m_applicationDirectory, record, record.Variable2Enabled,
                                     QDateTime::currentDateTime(), Journal::thisComputer(), place);
    RunEnding ending;
    if (m_study)
        ending = {m_study->pause, true};
    m_mainForm = new MainForm(record, m_player, m_dialogs, m_clock, nullptr, ending);
    m_journal->setProblemHandler([this](const QString &problem) {
        // From the journal's thread: the screen hears of it on its own.
        QMetaObject::invokeMethod(
            this,
            [this, problem] {
                if (m_mainForm)
                    m_mainForm->showSavingProblem(problem);
            },
            Qt::QueuedConnection);
    });
    RunJournal *journal = m_journal.get();
    connect(m_mainForm, &MainForm::sampleStored, this,
            [journal](int lastRow, const RunEvent &sample) { journal->append(lastRow, sample); });
    connect(m_mainForm, &MainForm::eventLogged, this,
            [journal](const RunEvent &event) { journal->append(event); });
    connect(m_mainForm, &MainForm::recordingStarted, this,
            [journal](qint64 origin) { journal->startRecording(origin); });
    connect(m_mainForm, &MainForm::finishPressed, this, &ScreenOrder::finishRun);
    connect(m_mainForm, &MainForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_mainForm->show();
    before->close();
}

QString ScreenOrder::resultsFilePath() const
{
    return ResultsFile::path(m_applicationDirectory);
}

QString ScreenOrder::eventLogPath() const
{
    return EventLog::pathBeside(resultsFilePath());
}

void ScreenOrder::finishRun()
{
    if (m_ended || m_outputForm || !m_mainForm)
        return;
    MainForm &rating = *m_mainForm;
    rating.hide();
    const auto showResults = [this] {
        m_outputForm = new OutputForm(m_runRecord, m_dialogs, m_applicationDirectory,
                                      [player = &m_player] { return player->duration(); });
        m_outputForm->setAttribute(Qt::WA_DeleteOnClose);
        // In a study its Close goes on to the next clip.
        connect(m_outputForm, &OutputForm::closeAllRequested, this,
                m_study ? &ScreenOrder::showStudyStep : &ScreenOrder::closeAll);
        connect(m_outputForm, &OutputForm::resultsExported, this,
                [this, journal = m_journal.get()] {
                    if (!m_study || m_session->isRecordWritten())
                        journal->discard();
                });
        m_outputForm->show();
    };
    if (!m_study || m_study->showResults)
        showResults();

    rating.finish();
    const bool two = rating.state().TwoVariables;
    const QByteArray bytes =
        ResultsFile::bytes(Recording::results(m_runRecord, two, rating.table()));
    const QByteArray events = EventLog::bytes(rating.events(), two);
    QString where;
    QString error;
    const bool saved = saveResults(bytes, events, &where, &error);
    bool recorded = true;
    if (saved && m_study) {
        QString recordError;
        const bool written = m_session->isRecordWritten();
        recorded =
            m_session->markDone(m_clip, rating.isComplete(), rating.storedSeconds(), &recordError);
        if (recorded) {
            recordWritten();
        } else {
            m_journal->noteSaved(m_session->record().clips[m_clip].files, rating.isComplete(),
                                 rating.storedSeconds());
            // Told once while it keeps failing.
            if (written)
                m_dialogs.message(m_outputForm, recordProblem(recordError));
        }
    }
    // Results that are in no file stay on the screen, for an export.
    if (!saved && !m_outputForm)
        showResults();
    if (m_outputForm) {
        m_outputForm->setCounts(rating.state());
        m_outputForm->setTable(rating.table());
        m_outputForm->setResultsBytes(bytes, events);
        if (saved && m_study)
            m_outputForm->setResultsSaved();
    }
    if (saved && recorded) {
        // The results are in their files now; until then the journal stands in for them.
        m_journal->discard();
    } else if (!saved) {
        m_dialogs.message(m_outputForm,
                          QStringLiteral("The results could not be saved in \"%1\".\n\n%2\n\n"
                                         "They are kept until you close this window: use \"Export "
                                         "to Excel\" to save them elsewhere.")
                              .arg(QDir::toNativeSeparators(where), error));
    }
    if (!m_outputForm)
        showStudyStep();
}

bool ScreenOrder::saveResults(const QByteArray &results, const QByteArray &events, QString *where,
                              QString *error)
{
    if (m_study) {
        *where = m_study->resultsFolder;
        return m_session->saveResults(m_clip, results, events, error);
    }
    *where = resultsFilePath();
    return UnsavedResults::writeLastRun(m_applicationDirectory, results, events, error);
}

void ScreenOrder::recoverInterruptedRuns()
{
    QString text = Recovery::recoverInterruptedRuns(m_applicationDirectory);
    if (m_study) {
        if (const QStringList completed = StudySession::completeStaleRecords(*m_study);
            !completed.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                    QStringLiteral("These session records did not name the results saved for a "
                                   "clip; they do now:\n\n") +
                    completed.join(QLatin1Char('\n'));
    }
    if (!text.isEmpty())
        m_dialogs.message(nullptr, text);
}

void ScreenOrder::closeAll()
{
    if (m_ended)
        return;
    m_ended = true;
    // Every way here either has the results in a file already or was confirmed by the user; a
    // study's journals whose clips the record does not name yet stay for the next start.
    if (m_journal && (!m_session || m_session->isRecordWritten()))
        m_journal->discard();
    if (m_mainForm) {
        m_mainForm->endForGood();
        // The clip stops with the run, not only when the process is gone.
        m_mainForm->stopRun();
    }
    if (m_outputForm)
        m_outputForm->endForGood();
    for (QWidget *screen : std::initializer_list<QWidget *>{
             m_studyForm, m_outputForm, m_mainForm, m_instructionsForm, m_variableForm, m_splash}) {
        if (screen)
            screen->close();
    }
    emit ended();
}

#include "moc_screenorder.cpp"
