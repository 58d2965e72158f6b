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
    connect(m_variableForm, &VariableForm::recordReady, this, &ScreenOrder::showInstructions);
    connect(m_variableForm, &VariableForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_variableForm->show();
    m_splash->close();
}

void ScreenOrder::showInstructions()
{
    if (m_ended || m_instructionsForm || m_mainForm)
        return;
    m_instructionsForm = new InstructionsForm(m_variableForm->record(), m_applicationDirectory);
    m_instructionsForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_instructionsForm, &InstructionsForm::proceedPressed, this,
            &ScreenOrder::showRatingScreen);
    connect(m_instructionsForm, &InstructionsForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_instructionsForm->show();
}

void ScreenOrder::showRatingScreen()
{
    if (m_ended || m_mainForm)
        return;
    m_instructionsForm->hide();
    const SetupRecord &record = m_variableForm->record();
    m_journal =
        std::make_unique<RunJournal>(m_applicationDirectory, record, record.Variable2Enabled);
    m_mainForm = new MainForm(record, m_player, m_dialogs, m_clock);
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
    m_instructionsForm->close();
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
    m_outputForm = new OutputForm(m_variableForm->record(), m_dialogs, m_applicationDirectory,
                                  [player = &m_player] { return player->duration(); });
    m_outputForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_outputForm, &OutputForm::closeAllRequested, this, &ScreenOrder::closeAll);
    m_outputForm->show();

    rating.finish();
    m_outputForm->setCounts(rating.state());
    m_outputForm->setTable(rating.table());
    const bool two = rating.state().TwoVariables;
    const QByteArray bytes =
        ResultsFile::bytes(Recording::results(m_variableForm->record(), two, rating.table()));
    const QByteArray events = EventLog::bytes(rating.events(), two);
    m_outputForm->setResultsBytes(bytes, events);
    connect(m_outputForm, &OutputForm::resultsExported, this, [this] { m_journal->discard(); });
    const auto written = [](const QString &path, const QByteArray &wanted, QString *error) {
        QByteArray readBack;
        if (!Files::replaceRegularFile(path, wanted, error))
            return false;
        if (Files::readRegularFile(path, &readBack) && readBack == wanted)
            return true;
        *error = QStringLiteral("What was written does not read back the same.");
        return false;
    };
    // temp.csv may hold a run nobody exported: it is kept beside it before it is replaced, and
    // where that cannot be done it is not replaced at all. Its event log goes with it, so that
    // neither file is ever left beside the other run's.
    QString error;
    QString kept;
    if (!UnsavedResults::keep(m_applicationDirectory, &kept, &error)) {
        error = QStringLiteral("It holds the results of an earlier run that were never exported, "
                               "and they could not be kept under another name: ") +
                error;
    } else if (Files::removeRegularFile(eventLogPath(), &error) &&
               written(resultsFilePath(), bytes, &error) &&
               written(eventLogPath(), events, &error)) {
        // The results file holds the run now; until then the journal stands in for it.
        m_journal->discard();
        return;
    }
    m_dialogs.message(m_outputForm,
                      QStringLiteral("The results could not be saved as \"%1\".\n\n%2\n\n"
                                     "They are kept until you close this window: use \"Export "
                                     "to Excel\" to save them elsewhere.")
                          .arg(QDir::toNativeSeparators(resultsFilePath()), error));
}

void ScreenOrder::recoverInterruptedRuns()
{
    const QString text = Recovery::recoverInterruptedRuns(m_applicationDirectory);
    if (!text.isEmpty())
        m_dialogs.message(nullptr, text);
}

void ScreenOrder::closeAll()
{
    if (m_ended)
        return;
    m_ended = true;
    // Every way here either has the results in a file already or was confirmed by the user.
    if (m_journal)
        m_journal->discard();
    if (m_mainForm) {
        m_mainForm->endForGood();
        // The clip stops with the run, not only when the process is gone.
        m_mainForm->stopRun();
    }
    if (m_outputForm)
        m_outputForm->endForGood();
    for (QWidget *screen : std::initializer_list<QWidget *>{
             m_outputForm, m_mainForm, m_instructionsForm, m_variableForm, m_splash}) {
        if (screen)
            screen->close();
    }
    emit ended();
}
