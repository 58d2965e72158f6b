#pragma once

#include "form1.h"
#include "instructionsform.h"
#include "mainform.h"
#include "outputform.h"
#include "variableform.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Dialogs;
class MediaPlayer;
class RunJournal;

// The order of screens: splash, setup form, file choice, instructions, rating screen, results
// screen, one way only. Each screen says what it wants; this decides what is shown next and
// closes every screen where a run ends.
class ScreenOrder : public QObject
{
    Q_OBJECT
public:
    ScreenOrder(Dialogs &dialogs, MediaPlayer &player, const QString &applicationDirectory,
                QObject *parent = nullptr);
    ~ScreenOrder() override;

    // Saves the runs that a crash interrupted, then shows the splash.
    void start();

    // The monotonic clock the run's events are stamped on (tests give their own).
    void setClock(RunEvents::Clock clock) { m_clock = std::move(clock); }

    Form1 *splash() const { return m_splash; }
    VariableForm *variableForm() const { return m_variableForm; }
    InstructionsForm *instructionsForm() const { return m_instructionsForm; }
    MainForm *mainForm() const { return m_mainForm; }
    OutputForm *outputForm() const { return m_outputForm; }

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

signals:
    // Every screen is closed: the program ends.
    void ended();

private:
    void recoverInterruptedRuns();

    Dialogs &m_dialogs;
    MediaPlayer &m_player;
    QString m_applicationDirectory;
    bool m_ended = false;
    std::unique_ptr<RunJournal> m_journal;
    RunEvents::Clock m_clock;

    // Screens delete themselves when closed, except the setup form and the rating screen,
    // which stay loaded, hidden, until the program ends: the record and the run live there.
    QPointer<Form1> m_splash;
    QPointer<VariableForm> m_variableForm;
    QPointer<InstructionsForm> m_instructionsForm;
    QPointer<MainForm> m_mainForm;
    QPointer<OutputForm> m_outputForm;
};
