#pragma once

#include "levelmeter.h"
#include "positioninput.h"
#include "ratingstate.h"
#include "recordingclock.h"
#include "recordtable.h"
#include "runevents.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class Dialogs;
class ClipPlayer;
class GameController;
struct SetupRecord;

// How a run may end, beside "Finished!" and the window's frame.
struct RunEnding
{
    // The player's own controls (play/pause, the slider) are shown.
    bool playerControls = true;
    // At the clip's end, once its last second is stored, the run finishes as "Finished!" does;
    // "Finished!" before then asks first.
    bool atClipEnd = false;
};

// The rating screen: the clip plays while the subject moves one or two levels with the rating
// buttons; the levels fall back towards 0 every second, the meters show them, and once the
// clip's length is known both levels are recorded once a second. In a position run the levels
// are where the subject holds them, in tenths, and never fall back: a drag on a meter sets one,
// keys, the wheel and the buttons move it a tenth, and with two variables a pad takes the
// buttons' place and sets both.
class MainForm : public QWidget
{
    Q_OBJECT
public:
    MainForm(const SetupRecord &record, ClipPlayer &player, Dialogs &dialogs,
             RunEvents::Clock clock = {}, QWidget *parent = nullptr, RunEnding ending = {});

    const RatingState &state() const { return m_state; }
    // Null until the clip's length is known.
    const RecordTable *table() const { return m_table ? &*m_table : nullptr; }
    qint16 recordRow() const { return RecordRow; }
    bool isRecording() const { return TimeItself.isActive(); }
    bool isWaitingForLength() const { return m_waitingForLength; }
    // The run reached the clip's end: the player said so, or every second of it is stored.
    bool isComplete() const { return m_clipEnded || m_recordingDone; }
    // The samples stored so far.
    int storedSeconds() const { return RecordRow - 1; }

    // Every event of the run so far, on its own clock.
    QList<RunEvent> events() const { return m_events.events(); }
    // The longest time a press spent on the event log (stamping it, the playing position, the
    // journal's queue), in nanoseconds.
    qint64 longestPressLogNanoseconds() const { return m_longestPressLog; }
    // A game controller's buttons and sticks rate here from now on, as ControllerMap says.
    void useController(GameController &controller);

    // Handlers: the four rating buttons (or their keys and the wheel), Timer1, Timer2, Timer4's
    // first tick, TimeItself (which takes every second that is due by now on the run's clock).
    void press(Rating::Button button, RunEvent::Source source = RunEvent::Source::Button);
    // Position runs: a level (tenths) set where a control holds it.
    void moveLevel(int variable, int level, RunEvent::Source source);
    void fallBack();
    void refreshMeters();
    void checkLength();
    void recordSample();
    // "Finished!" pressed: where the run ends at the clip's end and has not reached it, only
    // once the participant confirms.
    void finishRequested();
    // The player reached the clip's end.
    void clipEnded();
    // The clip stood still at seconds and starting it again did not help (the player shows
    // this over the picture): logged, never taken for its end.
    void clipStalled(double seconds)
    {
        recordSample();
        emit eventLogged(m_events.add(RunEvent::Kind::Stall, m_state, mediaMilliseconds(seconds)));
    }

    // "Finished!": the run's last event, then stopRun().
    void finish();
    // Stops the recording and closes the player; the screen stays loaded.
    void stopRun();

    // Closing from now on ends the program without asking.
    void endForGood() { m_endingForGood = true; }

    // A warning that the run is not reaching the disk, with its reason; hidden again by an
    // empty one. The rating goes on either way.
    void showSavingProblem(const QString &problem);

signals:
    void finishPressed();
    // The recording started at origin, on the clock the events are stamped on.
    void recordingStarted(qint64 origin);
    // A sample was stored in its row of a table of lastRow rows.
    void sampleStored(int lastRow, const RunEvent &sample);
    // Any other event, stamped on the same clock.
    void eventLogged(const RunEvent &event);
    void closeAllRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void lengthKnown(double seconds);
    // One second's sample and its fall-back, both at the second's moment.
    void takeSample();
    // Stamps an event now, with the levels as they stand or as given, and hands it on.
    RunEvent log(RunEvent::Kind kind, int variable = 0, int row = 0,
                 RunEvent::Source source = RunEvent::Source::None,
                 const std::optional<RatingState> &levels = std::nullopt);
    qint64 mediaMilliseconds(double seconds) const;
    void endRecording();
    // Where the run ends at the clip's end: once both the clip and the recording have ended.
    void finishAtEnd();
    void reportUnplayable(const QString &reason);

    const SetupRecord &m_record;
    ClipPlayer &m_player;
    Dialogs &m_dialogs;
    RatingState m_state;
    InputMode m_input;
    QPointer<PositionInput> m_positionInput;
    RunEvents m_events;
    qint64 m_longestPressLog = 0;
    RecordingClock m_recordingClock;
    // While a sample is taken, its moment on the run's clock.
    std::optional<qint64> m_sampleMoment;
    std::optional<RecordTable> m_table;
    qint16 RecordRow = 1;
    bool m_waitingForLength = false;
    bool m_errorReported = false;
    bool m_endingForGood = false;
    RunEnding m_ending;
    bool m_clipEnded = false;
    bool m_recordingDone = false;
    bool m_finishing = false;

    QPushButton Command1;
    QPushButton Command2;
    QPushButton Command4;
    QPushButton Command5;
    QPushButton Command3;
    QLabel Label1;
    QLabel Label2;
    QLabel Label3;
    QLabel Label4;
    QLabel Label7;
    QLabel Label5;
    QLabel Label8;
    QLabel Label6;
    QFrame Picture1;
    QFrame Picture12;
    // Meter 1 and meter 2, each from the top row (RedPos) to the bottom row (RedNeg).
    std::array<QFrame, LevelMeter::SegmentCount> m_meter1;
    std::array<QFrame, LevelMeter::SegmentCount> m_meter2;
    QLabel m_savingProblem;
    QTimer Timer1;
    QTimer Timer2;
    QTimer Timer4;
    QTimer TimeItself;
};

inline const QString TooLongMessage = QStringLiteral(
    "This movie file is too big to fit in the memory and allow the computer to properly "
    "function.  In order to properly process this video, please limit the size to under 15 "
    "minutes.  Please restart the application, and select a smaller file.");
inline const QString NoClipChosen =
    QStringLiteral("No clip was chosen, so there is nothing to play or record. The rating buttons "
                   "still work; to rate a clip, start Dialtrace again and choose one.");
inline const QString SavingProblem =
    QStringLiteral("This run is not being saved to disk. The rating goes on; Dialtrace keeps "
                   "trying.");
inline const QString EndRunQuestion = QStringLiteral("End this run without saving the results?");
inline const QString EndClipQuestion =
    QStringLiteral("End this clip now? The rest of it will not be rated.");
