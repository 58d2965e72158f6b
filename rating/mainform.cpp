#include "mainform.h"

#include "clipplayer.h"
#include "controllerinput.h"
#include "controls.h"
#include "dialogs.h"
#include "meterview.h"
#include "ratinginput.h"
#include "scale.h"
#include "setuprecord.h"
#include "twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>

using namespace std::chrono_literals;

using Controls::place;
using Controls::placeLabel;

MainForm::MainForm(const SetupRecord &record, ClipPlayer &player, Dialogs &dialogs,
                   RunEvents::Clock clock, QWidget *parent, RunEnding ending)
    : QWidget(parent), m_record(record), m_player(player), m_dialogs(dialogs),
      m_input(record.Input), m_events(std::move(clock)), m_ending(ending), Command1(this),
      Command2(this), Command4(this), Command5(this), Command3(this), Label1(this), Label2(this),
      Label3(this), Label4(this), Label7(this), Label5(this), Label8(this), Label6(this),
      Picture1(this), Picture12(this), Timer1(this), Timer2(this), Timer4(this), TimeItself(this)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvan Dialtrace"));
    setFixedSize(Twips::size(10950, 7230));

    QWidget *view = m_player.view();
    view->setParent(this);
    place(*view, "WindowsMediaPlayer1", 240, 120, 8055, 5295);
    view->setAccessibleName(QStringLiteral("Clip player"));
    // The view comes from the screen of the clip before, which hid it: a reparented widget stays
    // hidden until it is shown again.
    view->show();
    if (QWidget *controls = view->findChild<QWidget *>(QLatin1String(ClipPlayer::ControlsName)))
        controls->setVisible(m_ending.playerControls);

    place(Command1, "Command1", 3360, 5520, 2295, 735);
    place(Command2, "Command2", 3360, 6360, 2295, 735);
    place(Command4, "Command4", 6000, 5520, 2295, 735);
    place(Command5, "Command5", 6000, 6360, 2295, 735);
    place(Command3, "Command3", 9120, 6360, 1695, 735);
    Command3.setText(QStringLiteral("Finished!"));
    // No key reaches a button: Tab moves no focus, and Space, Return or Escape never end a run;
    // the rating keys are taken by RatingInput whatever has the focus.
    for (QPushButton *button : {&Command1, &Command2, &Command4, &Command5, &Command3}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
    }

    placeLabel(Label1, "Label1", QString(), 8880, 240, 1935, 735);
    Label1.setWordWrap(true);
    Label1.setTextFormat(Qt::PlainText);
    placeLabel(Label2, "Label2", QStringLiteral("+%1").arg(Scale::Top), 8520, 1080, 255, 255);
    placeLabel(Label3, "Label3", QStringLiteral("0"), 8640, 3000, 135, 375);
    placeLabel(Label4, "Label4", QString::number(Scale::Bottom), 8520, 4800, 135, 255);
    const QString loading = QStringLiteral("Loading...");
    placeLabel(Label7, "Label7", QStringLiteral("Seconds of Data to be stored"), 240, 5520, 2535,
               255);
    placeLabel(Label5, "Label5", loading, 240, 5760, 1095, 255);
    placeLabel(Label8, "Label8", QStringLiteral("Length of Clip (in seconds)"), 240, 6360, 2175,
               255);
    placeLabel(Label6, "Label6", loading, 240, 6600, 1695, 255);

    // Under the meters, where the operator sees it and the clip is not covered.
    m_savingProblem.setParent(this);
    placeLabel(m_savingProblem, "savingProblem", SavingProblem, 8640, 5100, 2235, 1200);
    m_savingProblem.setWordWrap(true);
    m_savingProblem.setTextFormat(Qt::PlainText);
    m_savingProblem.setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_savingProblem.hide();

    MeterView::build(m_meter1, Picture1, "Picture1", 9120, "", m_record.Variable);
    MeterView::build(m_meter2, Picture12, "Picture12", 10080, "2", m_record.Variable2);

    connect(&Command1, &QPushButton::clicked, this, [this] { press(Rating::Button::Increase1); });
    connect(&Command2, &QPushButton::clicked, this, [this] { press(Rating::Button::Decrease1); });
    connect(&Command4, &QPushButton::clicked, this, [this] { press(Rating::Button::Increase2); });
    connect(&Command5, &QPushButton::clicked, this, [this] { press(Rating::Button::Decrease2); });
    connect(&Command3, &QPushButton::clicked, this, &MainForm::finishRequested);
    const std::array<QPushButton *, 4> rating = {&Command1, &Command2, &Command4, &Command5};
    const std::array<QString, 4> tips = Rating::keyTips(m_input);
    for (std::size_t i = 0; i < rating.size(); ++i)
        rating[i]->setToolTip(tips[i]);
    connect(new RatingInput(*this, m_record.Variable2Enabled, m_input == InputMode::Position),
            &RatingInput::pressRequested, this, &MainForm::press);
    if (m_input == InputMode::Position) {
        m_positionInput = new PositionInput(*this, m_record, rating, {&Picture1, &Picture12});
        connect(m_positionInput, &PositionInput::levelRequested, this, &MainForm::moveLevel);
    }

    // The one-second timers are precise so that a fifteen-minute recording does not drift from
    // one sample a second.
    const struct
    {
        QTimer &timer;
        const char *name;
        std::chrono::milliseconds interval;
        void (MainForm::*handler)();
    } timers[] = {{Timer1, "Timer1", 1000ms, &MainForm::fallBack},
                  {Timer2, "Timer2", 50ms, &MainForm::refreshMeters},
                  {Timer4, "Timer4", 1000ms, &MainForm::checkLength},
                  {TimeItself, "TimeItself", 1000ms, &MainForm::recordSample}};
    for (const auto &entry : timers) {
        entry.timer.setObjectName(QString::fromLatin1(entry.name));
        entry.timer.setTimerType(Qt::PreciseTimer);
        entry.timer.setInterval(entry.interval);
        entry.timer.callOnTimeout(this, entry.handler);
    }
    connect(&m_player, &ClipPlayer::durationChanged, this, [this](double seconds) {
        if (m_waitingForLength && seconds != 0.0)
            lengthKnown(seconds);
    });
    connect(&m_player, &ClipPlayer::errorOccurred, this, &MainForm::reportUnplayable);
    connect(&m_player, &ClipPlayer::controlUsed, this,
            [this](ClipPlayer::Control control, double seconds) {
                const RunEvent::Kind kind =
                    control == ClipPlayer::Control::Play    ? RunEvent::Kind::Play
                    : control == ClipPlayer::Control::Pause ? RunEvent::Kind::Pause
                                                            : RunEvent::Kind::Seek;
                recordSample();
                emit eventLogged(m_events.add(kind, m_state, mediaMilliseconds(seconds)));
            });
    connect(&m_player, &ClipPlayer::endReached, this, &MainForm::clipEnded);
    connect(&m_player, &ClipPlayer::playbackStalled, this, &MainForm::clipStalled);

    // Load.
    RecordRow = 1;
    const Rating::Captions captions = Rating::captions(m_record);
    Command1.setText(Controls::literalCaption(captions.increase1));
    Command2.setText(Controls::literalCaption(captions.decrease1));
    if (m_record.Variable2Enabled) {
        Command4.setText(Controls::literalCaption(captions.increase2));
        Command5.setText(Controls::literalCaption(captions.decrease2));
        m_state.TwoVariables = true;
    } else {
        Command4.hide();
        Command5.hide();
        Picture12.hide();
        m_state.TwoVariables = false;
    }
    Label1.setText(captions.title);
    m_state.Level1 = 0;
    // Both meters dark from the first frame (meter 2 too), not from Timer2's first refresh.
    refreshMeters();

    Timer1.start();
    Timer2.start();
    Timer4.start();
    m_player.setUrl(m_record.FileFullPath);
}

void MainForm::useController(GameController &controller)
{
    auto *input = new ControllerInput(*this, controller, m_input, m_state.TwoVariables);
    connect(input, &ControllerInput::pressRequested, this, &MainForm::press);
    connect(input, &ControllerInput::levelRequested, this, &MainForm::moveLevel);
    connect(input, &ControllerInput::deviceChanged, this, [this](RunEvent::Source change) {
        recordSample();
        log(RunEvent::Kind::Device, 0, 0, change);
    });
}

void MainForm::moveLevel(int variable, int level, RunEvent::Source source)
{
    if (m_input != InputMode::Position || (variable == 2 && !m_state.TwoVariables))
        return;
    // The seconds due before this move are taken first, without it.
    recordSample();
    if (!Rating::moveTo(m_state, variable, level))
        return;
    refreshMeters();
    log(RunEvent::Kind::Move, variable, 0, source);
}

void MainForm::press(Rating::Button button, RunEvent::Source source)
{
    const int variable = Rating::variableOf(button);
    if (m_input == InputMode::Position) { // a tenth
        const int level = variable == 1 ? m_state.Level1 : m_state.Level2;
        moveLevel(variable, level + Rating::directionOf(button), source);
        return;
    }
    recordSample();
    Rating::press(m_state, button);
    // Show the new level at once rather than on the next refresh.
    refreshMeters();
    QElapsedTimer logging;
    logging.start();
    log(Rating::directionOf(button) > 0 ? RunEvent::Kind::Increase : RunEvent::Kind::Decrease,
        variable, 0, source);
    m_longestPressLog = std::max(m_longestPressLog, logging.nsecsElapsed());
}

void MainForm::fallBack()
{
    // Held where the subject leaves it.
    if (m_input == InputMode::Position)
        return;
    const RatingState before = m_state;
    Rating::fallBack(m_state);
    // One line per level that moved, each with the levels just after its own step.
    if (m_state.Level1 != before.Level1) {
        RatingState partway = m_state;
        partway.Level2 = before.Level2;
        log(RunEvent::Kind::FallBack, 1, 0, RunEvent::Source::None, partway);
    }
    if (m_state.Level2 != before.Level2)
        log(RunEvent::Kind::FallBack, 2);
}

RunEvent MainForm::log(RunEvent::Kind kind, int variable, int row, RunEvent::Source source,
                       const std::optional<RatingState> &levels)
{
    const RunEvent event =
        m_events.add(kind, levels.value_or(m_state), mediaMilliseconds(m_player.position()),
                     variable, row, source, m_sampleMoment);
    if (kind != RunEvent::Kind::Sample)
        emit eventLogged(event);
    return event;
}

qint64 MainForm::mediaMilliseconds(double seconds) const
{
    return seconds < 0.0 ? RunEvent::NoMedia : qRound64(seconds * 1000.0);
}

void MainForm::refreshMeters()
{
    for (int i = 0; i < LevelMeter::SegmentCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        m_meter1[index].setVisible(
            LevelMeter::isLit(Rating::meterLevel(m_state.Level1, m_input), i));
        m_meter2[index].setVisible(
            LevelMeter::isLit(Rating::meterLevel(m_state.Level2, m_input), i));
    }
    if (m_positionInput)
        m_positionInput->showLevels(m_state.Level1, m_state.Level2);
}

void MainForm::checkLength()
{
    // Only the first tick does anything; the length may still be unknown then, in which case
    // the player's durationChanged signal finishes the job without any polling.
    Timer4.stop();
    const double seconds = m_player.duration();
    if (seconds != 0.0)
        lengthKnown(seconds);
    else
        m_waitingForLength = true;
}

void MainForm::lengthKnown(double seconds)
{
    m_waitingForLength = false;
    m_table.emplace(Recording::lastRowForLength(seconds));
    if (Recording::isTooLong(seconds)) {
        m_player.close();
        m_dialogs.message(this, TooLongMessage);
        emit closeAllRequested();
        return;
    }
    // From here on the recording's tick does the fall-back too, after the sample.
    Timer1.stop();
    TimeItself.start();
    const qint64 origin = m_events.startRecording();
    m_recordingClock.start(origin);
    emit recordingStarted(origin);
}

void MainForm::recordSample()
{
    // Every second that is due, each as of its own moment on the run's clock, however late the
    // timer: since every press first takes the seconds due before it, nothing handled after a
    // second's moment is in that second's sample.
    while ((m_sampleMoment = m_recordingClock.takeDue(m_events.now()))) {
        takeSample();
        m_sampleMoment.reset();
    }
}

void MainForm::takeSample()
{
    Label5.setText(QString::number(m_table->lastRow()));
    const double seconds = m_player.duration();
    Label6.setText(Recording::lengthCaption(seconds));
    const bool last =
        Recording::recordSample(*m_table, RecordRow, seconds, m_state.Level1, m_state.Level2);
    emit sampleStored(m_table->lastRow(), log(RunEvent::Kind::Sample, 0, RecordRow));
    // Store, then fall back: within a second the sample always sees that second's presses, so
    // a single press is never undone before it reaches the data, whatever the timers' jitter.
    fallBack();
    if (last) {
        m_recordingDone = true;
        endRecording();
        finishAtEnd();
    }
}

void MainForm::endRecording()
{
    if (!TimeItself.isActive())
        return;
    TimeItself.stop();
    m_recordingClock.stop();
    // The fall-back goes on alone, as before the recording.
    Timer1.start();
}

void MainForm::clipEnded()
{
    recordSample();
    if (!m_clipEnded)
        log(RunEvent::Kind::End);
    m_clipEnded = true;
    finishAtEnd();
}

void MainForm::finishAtEnd()
{
    // The last second is stored a moment after the clip ends, its clock having started once
    // the clip's length was known.
    if (m_ending.atClipEnd && m_clipEnded && !TimeItself.isActive() && !m_finishing &&
        isVisible()) {
        m_finishing = true;
        emit finishPressed();
    }
}

void MainForm::finishRequested()
{
    if (m_finishing)
        return;
    recordSample();
    if (m_ending.atClipEnd && !isComplete() && !m_dialogs.confirm(this, EndClipQuestion))
        return;
    m_finishing = true;
    emit finishPressed();
}

void MainForm::finish()
{
    recordSample();
    log(RunEvent::Kind::Finished);
    stopRun();
}

void MainForm::stopRun()
{
    endRecording();
    // The run is over for good and the screen goes: nothing of it runs on behind the results.
    Timer1.stop();
    Timer2.stop();
    Timer4.stop();
    m_waitingForLength = false;
    m_player.close();
}

void MainForm::showSavingProblem(const QString &problem)
{
    m_savingProblem.setToolTip(problem);
    m_savingProblem.setVisible(!problem.isEmpty());
}

void MainForm::reportUnplayable(const QString &reason)
{
    if (m_errorReported)
        return;
    m_errorReported = true;
    if (m_record.FileFullPath.isEmpty()) {
        m_dialogs.message(this, NoClipChosen);
        return;
    }
    m_dialogs.message(this, QStringLiteral("The clip \"%1\" cannot be played.\n\n%2")
                                .arg(QDir::toNativeSeparators(m_record.FileFullPath), reason));
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (m_endingForGood || !isVisible()) {
        QWidget::closeEvent(event);
        return;
    }
    // Closed by its frame during a run: nothing has been saved yet.
    if (!m_dialogs.confirm(this, EndRunQuestion)) {
        event->ignore();
        return;
    }
    m_endingForGood = true;
    event->accept();
    emit closeAllRequested();
}

#include "moc_mainform.cpp"
