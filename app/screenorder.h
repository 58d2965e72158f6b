#pragma once

#include "form1.h"
#include "gamecontroller.h"
#include "instructionsform.h"
#include "mainform.h"
#include "outputform.h"
#include "runplan.h"
#include "studyform.h"
#include "studysession.h"
#include "variableform.h"

#include <QObject>
#include <QPointer>
#include <QRandomGenerator>

#include <memory>
#include <optional>
#include <vector>

class Dialogs;
class ClipPlayer;
class RunJournal;

// The order of screens: splash, setup form, file choice, instructions, rating screen, results
// screen, one way only. Each screen says what it wants; this decides what is shown next and
// closes every screen where a run ends. In a study the clips come from the study: after the
// instructions, each clip's own small screen, its rating screen and, where the study wants it, its
// results screen, then "Thank you!".
class ScreenOrder : public QObject
{
    Q_OBJECT
public:
    ScreenOrder(Dialogs &dialogs, ClipPlayer &player, const QString &applicationDirectory,
                QObject *parent = nullptr);
    ~ScreenOrder() override;

    // Saves the runs that a crash interrupted, then shows the splash.
    void start();

    // The monotonic clock the run's events are stamped on (tests give their own).
    void setClock(RunEvents::Clock clock) { m_clock = std::move(clock); }
    // How single runs rate (a study's file says its own): before start().
    void setInput(InputMode input) { m_input = input; }
    // A game controller the rating screens listen to; none where null.
    void setController(GameController *controller) { m_controller = controller; }
    // Runs a study (before start()); its shuffles draw from random (tests give a seeded one).
    void setStudy(const Study &study, QRandomGenerator *random = QRandomGenerator::global());

    Form1 *splash() const { return m_splash; }
    VariableForm *variableForm() const { return m_variableForm; }
    InstructionsForm *instructionsForm() const { return m_instructionsForm; }
    MainForm *mainForm() const { return m_mainForm; }
    OutputForm *outputForm() const { return m_outputForm; }
    StudyForm *studyForm() const { return m_studyForm; }
    // A study's session; null for single runs.
    const StudySession *session() const { return m_plan->session(); }

    // The path of the results file written at "Finished!", and of the event log beside it.
    QString resultsFilePath() const;
    QString eventLogPath() const;
    bool isEnded() const { return m_ended; }
    // The run's journal on disk: null before the rating screen.
    RunJournal *journal() const { return m_journal.get(); }

    void handOverFromSplash();
    void showInstructions();
    void showRatingScreen();
    void finishRun();
    void closeAll();
    // In a study: the next clip's own screen, or "Thank you!" after the last.
    void showStudyStep();

signals:
    // Every screen is closed: the program ends.
    void ended();

private:
    void recoverInterruptedRuns();
    // The setup form's record is ready: the instructions follow, where the run may begin.
    void beginRun();
    void startClip(int index);
    // The screens of a finished clip go before the next clip's come.
    void dropRun();
    // Every saved run is where it belongs: the journals kept for it go.
    void keepOrDropJournals();

    Dialogs &m_dialogs;
    ClipPlayer &m_player;
    QString m_applicationDirectory;
    bool m_ended = false;
    std::unique_ptr<RunJournal> m_journal;
    // Journals of runs whose results are saved but not yet named in their session record.
    std::vector<std::unique_ptr<RunJournal>> m_unrecorded;
    RunEvents::Clock m_clock;
    InputMode m_input = InputMode::Steps;
    QPointer<GameController> m_controller;
    // The record each run reads: the setup form's, with the clip of a study's run.
    SetupRecord m_runRecord;
    std::unique_ptr<RunPlan> m_plan;

    // Screens delete themselves when closed, except the setup form and the rating screen,
    // which stay loaded, hidden, until the program ends: the record and the run live there.
    QPointer<Form1> m_splash;
    QPointer<VariableForm> m_variableForm;
    QPointer<InstructionsForm> m_instructionsForm;
    QPointer<MainForm> m_mainForm;
    QPointer<OutputForm> m_outputForm;
    QPointer<StudyForm> m_studyForm;
};
