#include "screenorder.h"

#include "clipplayer.h"
#include "dialogs.h"
#include "eventlog.h"
#include "form1.h"
#include "gamecontroller.h"
#include "instructionsform.h"
#include "mainform.h"
#include "outputform.h"
#include "recovery.h"
#include "resultsfile.h"
#include "runjournal.h"
#include "variableform.h"

#include <QDate>
#include <QDir>

ScreenOrder::ScreenOrder(Dialogs &dialogs, ClipPlayer &player, const QString &applicationDirectory,
                         QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_player(player),
      m_applicationDirectory(applicationDirectory), m_plan(singleRunPlan(applicationDirectory))
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
    if (const QStringList fixed = m_plan->fixedVariables(); !fixed.isEmpty())
        m_variableForm->setStudy(fixed,
                                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    connect(m_variableForm, &VariableForm::recordReady, this, &ScreenOrder::beginRun);
    connect(m_variableForm, &VariableForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_variableForm->show();
    m_splash->close();
    if (const QString notice = m_plan->setupNotice(); !notice.isEmpty())
        m_dialogs.message(m_variableForm, notice);
}

void ScreenOrder::setStudy(const Study &study, QRandomGenerator *random)
{
    m_plan = studyPlan(study, m_dialogs, *random);
    m_input = study.input;
}

void ScreenOrder::beginRun()
{
    m_runRecord = m_variableForm->record();
    m_runRecord.Input = m_input;
    switch (m_plan->begin(m_runRecord)) {
    case RunPlan::Beginning::Begun:
        showInstructions();
        break;
    case RunPlan::Beginning::Declined:
        m_variableForm->show();
        break;
    case RunPlan::Beginning::Failed:
        closeAll();
        break;
    }
}

void ScreenOrder::showStudyStep()
{
    if (m_ended)
        return;
    dropRun();
    // A closed results screen deletes itself; the next clip's comes anew.
    m_outputForm = nullptr;
    const RunPlan::Step step = m_plan->nextStep();
    const bool last = step.index < 0;
    m_studyForm = new StudyForm(last ? ThankYouText : step.text, last ? CloseText : StartText);
    m_studyForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_studyForm, &StudyForm::closeAllRequested, this, &ScreenOrder::closeAll);
    if (last)
        connect(m_studyForm, &StudyForm::pressed, this, &ScreenOrder::closeAll);
    else
        connect(m_studyForm, &StudyForm::pressed, this,
                [this, index = step.index] { startClip(index); });
    m_studyForm->show();
    if (m_instructionsForm)
        m_instructionsForm->close();
}

void ScreenOrder::startClip(int index)
{
    if (!m_plan->startClip(index, m_runRecord)) {
        QPointer<StudyForm> stale = m_studyForm;
        showStudyStep();
        if (stale)
            stale->close();
        return;
    }
    keepOrDropJournals();
    showRatingScreen();
}

void ScreenOrder::keepOrDropJournals()
{
    if (!m_plan->isRecordWritten())
        return;
    for (const auto &journal : m_unrecorded)
        journal->discard();
    m_unrecorded.clear();
}

void ScreenOrder::dropRun()
{
    if (m_journal && !m_plan->isRecordWritten()) {
        // The record does not name this run's results yet: its journal stays, naming them.
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
    m_instructionsForm =
        new InstructionsForm(m_runRecord, m_applicationDirectory, m_plan->instructions());
    m_instructionsForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_instructionsForm, &InstructionsForm::proceedPressed, this,
            m_plan->hasSteps() ? &ScreenOrder::showStudyStep : &ScreenOrder::showRatingScreen);
    connect(m_instructionsForm, &InstructionsForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_instructionsForm->show();
}

void ScreenOrder::showRatingScreen()
{
    if (m_ended || m_mainForm)
        return;
    QWidget *before = m_plan->hasSteps() ? static_cast<QWidget *>(m_studyForm) : m_instructionsForm;
    before->hide();
    const SetupRecord &record = m_runRecord;
    m_journal = std::make_unique<RunJournal>(m_applicationDirectory, record,
                                             record.Variable2Enabled, QDateTime::currentDateTime(),
                                             Journal::thisComputer(), m_plan->journalPlace());
    m_mainForm = new MainForm(record, m_player, m_dialogs, m_clock, nullptr, m_plan->ending());
    if (m_controller)
        m_mainForm->useController(*m_controller);
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
                m_plan->hasSteps() ? &ScreenOrder::showStudyStep : &ScreenOrder::closeAll);
        connect(m_outputForm, &OutputForm::resultsExported, this,
                [this, journal = m_journal.get()] {
                    if (m_plan->isRecordWritten())
                        journal->discard();
                });
        m_outputForm->show();
    };
    if (m_plan->showsResults())
        showResults();

    rating.finish();
    const bool two = rating.state().TwoVariables;
    const QByteArray bytes =
        ResultsFile::bytes(Recording::results(m_runRecord, two, rating.table()));
    const QByteArray events = EventLog::bytes(rating.events(), two, m_runRecord.Input);
    const RunPlan::Saved saved =
        m_plan->save(bytes, events, rating.isComplete(), rating.storedSeconds(), m_outputForm);
    // Results that are in no file stay on the screen, for an export.
    if (!saved.saved && !m_outputForm)
        showResults();
    if (m_outputForm) {
        m_outputForm->setCounts(rating.state());
        m_outputForm->setTable(rating.table(), m_runRecord.Input);
        m_outputForm->setResultsBytes(bytes, events);
        // A study's results are in its folder already: the results screen need not keep them.
        if (saved.saved && m_plan->hasSteps())
            m_outputForm->setResultsSaved();
    }
    if (!saved.saved) {
        m_dialogs.message(m_outputForm,
                          QStringLiteral("The results could not be saved in \"%1\".\n\n%2\n\n"
                                         "They are kept until you close this window: use \"Export "
                                         "to Excel\" to save them elsewhere.")
                              .arg(QDir::toNativeSeparators(saved.where), saved.error));
    } else if (m_plan->isRecordWritten()) {
        // The results are in their files now; until then the journal stands in for them.
        m_journal->discard();
        keepOrDropJournals();
    } else {
        m_journal->noteSaved(saved.files, rating.isComplete(), rating.storedSeconds());
    }
    if (!m_outputForm)
        showStudyStep();
}

void ScreenOrder::recoverInterruptedRuns()
{
    QString text =
        Recovery::recoverInterruptedRuns(m_applicationDirectory, &StudySession::recordSavedRun);
    if (const QString repaired = m_plan->repairRecords(); !repaired.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + repaired;
    if (!text.isEmpty())
        m_dialogs.message(nullptr, text);
}

void ScreenOrder::closeAll()
{
    if (m_ended)
        return;
    m_ended = true;
    // Every way here either has the results in a file already or was confirmed by the user; a
    // study's journals whose runs the record does not name yet stay for the next start.
    if (m_journal && m_plan->isRecordWritten())
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
