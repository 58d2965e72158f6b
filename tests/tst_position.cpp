// Rating by position: the level is where the subject holds it, in tenths, set by a drag on a
// meter, the wheel, keys, the pad or a game controller, and never falls back; how a run chooses
// it, and the files such a run writes.

#include "collation.h"
#include "controllermap.h"
#include "eventcheck.h"
#include "inputmode.h"
#include "ratingstate.h"
#include "recordtable.h"
#include "settingsfile.h"
#include "startup.h"
#include "support.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

class FakeController : public GameController
{
public:
    bool isConnected() const override { return true; }
};

void mouse(QWidget *to, QEvent::Type type, QPoint at)
{
    QMouseEvent event(type, at, to->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

void wheel(QWidget *to, QPoint angle)
{
    QWheelEvent event(QPointF(5, 5), to->mapToGlobal(QPointF(5, 5)), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &event);
}

// A key held down: its first press, then the system's repeats.
void holdKey(QWidget *to, int key, int repeats)
{
    for (int i = 0; i <= repeats; ++i) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(to, &press);
    }
}

using Changes = QList<std::pair<GameController::Button, bool>>;

} // namespace

class TestPosition : public QObject
{
    Q_OBJECT
private slots:
    // Every level of a position run is written with one decimal and read back as it was; a whole
    // number is read as whole steps.
    void levelText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("level"); // as held; -99 where refused
        QTest::addColumn<bool>("decimal");
        QTest::newRow("2.3") << QByteArray("2.3") << 23 << true;
        QTest::newRow("-0.5 keeps its sign") << QByteArray("-0.5") << -5 << true;
        QTest::newRow("0.0") << QByteArray("0.0") << 0 << true;
        QTest::newRow("-5.0") << QByteArray("-5.0") << -50 << true;
        QTest::newRow("a whole -3") << QByteArray("-3") << -3 << false;
        QTest::newRow("a plus sign") << QByteArray("+1.0") << -99 << false;
        QTest::newRow("two decimals") << QByteArray("1.25") << -99 << false;
        QTest::newRow("no whole part") << QByteArray(".5") << -99 << false;
        QTest::newRow("a point without its tenth") << QByteArray("5.") << -99 << false;
        QTest::newRow("a comma for the point") << QByteArray("2,3") << -99 << false;
    }
    void levelText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, level);
        QFETCH(bool, decimal);
        bool found = false;
        QCOMPARE(Input::parseLevel(text, &found).value_or(-99), level);
        if (level != -99) {
            QCOMPARE(found, decimal);
            QCOMPARE(Input::levelText(level, decimal ? InputMode::Position : InputMode::Steps),
                     text);
        }
    }

    // A stick's axis as a level: a tenth of its reach around the centre is 0, the rest spreads
    // over 0.1 to 5.0; devices report up as negative.
    void axisLevel_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("upwards");
        QTest::addColumn<int>("level");
        QTest::newRow("centre") << 0 << true << 0;
        QTest::newRow("resting a little off centre") << -3000 << true << 0;
        QTest::newRow("at the dead zone's edge") << 3276 << true << 0;
        QTest::newRow("a hair past it") << -3300 << true << 0;
        QTest::newRow("half a tenth past it, up") << -3572 << true << 1;
        QTest::newRow("half a tenth past it, down") << 3572 << true << -1;
        QTest::newRow("half the way past it") << -18022 << true << 25;
        QTest::newRow("all the way up") << -32768 << true << 50;
        QTest::newRow("all the way down") << 32767 << true << -50;
        QTest::newRow("across, right is +5") << 32767 << false << 50;
    }
    void axisLevel()
    {
        QFETCH(int, value);
        QFETCH(bool, upwards);
        QTEST(ControllerMap::levelOf(value, upwards), "level");
    }

    // Which axis moves which variable: one variable on the left stick's vertical; with two, the
    // left stick across and up (as the pad), and the right stick's vertical the second.
    void axes_data()
    {
        using Axis = GameController::Axis;
        QTest::addColumn<InputMode>("input");
        QTest::addColumn<bool>("two");
        QTest::addColumn<Axis>("axis");
        // "variable level" at full deflection (up or right); empty for none.
        QTest::addColumn<QString>("move");
        const auto row = [](const char *name, InputMode input, bool two, Axis axis,
                            const char *move) {
            QTest::newRow(name) << input << two << axis << QString(move);
        };
        row("one: left stick up", InputMode::Position, false, Axis::LeftY, "1 50");
        row("one: left stick across does nothing", InputMode::Position, false, Axis::LeftX, "");
        row("one: right stick does nothing", InputMode::Position, false, Axis::RightY, "");
        row("two: left stick across, the first", InputMode::Position, true, Axis::LeftX, "1 50");
        row("two: left stick up, the second", InputMode::Position, true, Axis::LeftY, "2 50");
        row("two: right stick up, the second", InputMode::Position, true, Axis::RightY, "2 50");
        row("steps: sticks do nothing", InputMode::Steps, true, Axis::LeftY, "");
    }
    void axes()
    {
        QFETCH(InputMode, input);
        QFETCH(bool, two);
        QFETCH(GameController::Axis, axis);
        const bool across = axis == GameController::Axis::LeftX;
        const auto move = ControllerMap(input, two).axis(axis, across ? 32767 : -32768);
        QTEST(move ? QStringLiteral("%1 %2").arg(move->variable).arg(move->level) : QString(),
              "move");
    }

    // Buttons press in steps runs only, once each time one goes down however long it is held.
    void buttons_data()
    {
        using B = GameController::Button;
        QTest::addColumn<InputMode>("input");
        QTest::addColumn<bool>("two");
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<QString>("presses");
        QTest::newRow("held D-pad up counts once, again after letting go")
            << InputMode::Steps << false
            << Changes{{B::DpadUp, true},
                       {B::DpadUp, true},
                       {B::DpadUp, false},
                       {B::DpadUp, true},
                       {B::DpadDown, true}}
            << "0 0 1";
        QTest::newRow("face buttons, the second variable's")
            << InputMode::Steps << true << Changes{{B::FaceTop, true}, {B::FaceBottom, true}}
            << "2 3";
        QTest::newRow("face buttons without a second variable")
            << InputMode::Steps << false << Changes{{B::FaceTop, true}} << "";
        QTest::newRow("no presses in a position run")
            << InputMode::Position << false << Changes{{B::DpadUp, true}} << "";
    }
    void buttons()
    {
        QFETCH(InputMode, input);
        QFETCH(bool, two);
        QFETCH(Changes, changes);
        ControllerMap map(input, two);
        QStringList presses;
        for (const auto &[button, down] : changes) {
            if (const auto pressed = map.button(button, down))
                presses << QString::number(int(*pressed));
        }
        QTEST(presses.join(' '), "presses");
    }

    // Where a drag is along a meter (or a side of the pad) as a level, and the whole level the
    // meter lights for it.
    void dragAndMeter_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("lit"); // the meter's whole level
        QTest::newRow("the -5 end") << 0 << 100 << -50 << -5;
        QTest::newRow("the +5 end") << 100 << 100 << 50 << 5;
        QTest::newRow("the middle") << 132 << 264 << 0 << 0;
        QTest::newRow("a tenth up") << 51 << 100 << 1 << 0;
        QTest::newRow("+0.5 lights the first segment") << 55 << 100 << 5 << 1;
        QTest::newRow("-0.5 lights the first below") << 45 << 100 << -5 << -1;
        QTest::newRow("+4.4 lights four") << 94 << 100 << 44 << 4;
        QTest::newRow("+4.5 lights five") << 95 << 100 << 45 << 5;
        QTest::newRow("beyond the bottom") << -30 << 100 << -50 << -5;
        QTest::newRow("beyond the top") << 130 << 100 << 50 << 5;
    }
    void dragAndMeter()
    {
        QFETCH(int, offset);
        QFETCH(int, length);
        QFETCH(int, level);
        QCOMPARE(Rating::levelAlong(offset, length), level);
        QTEST(Rating::meterLevel(level, InputMode::Position), "lit");
    }

    // The command line, then dialtrace.conf, then steps; a mistake in either refuses to start.
    void choosingTheInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("conf"); // empty: no file
        QTest::addColumn<InputMode>("input");
        QTest::addColumn<QString>("message"); // a part of it; empty: none
        const auto row = [](const char *name, QStringList arguments, QByteArray conf,
                            InputMode input, QString message = {}) {
            QTest::newRow(name) << arguments << conf << input << message;
        };
        row("nothing given", {}, {}, InputMode::Steps);
        row("--input position", {"--input", "position"}, {}, InputMode::Position);
        row("--input=position", {"--input=position"}, {}, InputMode::Position);
        row("the lab's settings", {}, "# our lab\r\n\r\ninput = position\r\n", InputMode::Position);
        row("the command line wins", {"--input", "steps"}, "input=position", InputMode::Steps);
        row("a study's file says its own", {"--study", "s.json"}, "input=position",
            InputMode::Steps);
        row("--input with a study", {"--input", "position", "--study", "s.json"}, {},
            InputMode::Position, "for single runs");
        row("an unknown input", {"--input", "joystick"}, {}, InputMode::Steps, "\"steps\" or");
        row("--input without its mode", {"--input"}, {}, InputMode::Steps, "\"steps\" or");
        row("an unknown setting", {}, "input = position\ncolour = red", InputMode::Position,
            "line 2: \"colour\" is no setting");
        row("a setting's unknown value", {}, "input = joystick", InputMode::Steps,
            "line 1: input is");
    }
    void choosingTheInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, conf);
        QFETCH(QString, message);
        QTemporaryDir dir;
        if (!conf.isEmpty())
            QVERIFY(writeAll(SettingsFile::path(dir.path()), conf));
        QString told;
        QTEST(Startup::input(arguments, dir.path(), &told), "input");
        QVERIFY2(message.isEmpty() ? told.isEmpty() : told.contains(message), qPrintable(told));
    }

    // One variable: a click on the meter, the wheel and a held key, each move a line of the log,
    // every second's sample holding the level at its moment, and no fall-back.
    void oneVariable()
    {
        Session s;
        s.order.setInput(InputMode::Position);
        MainForm *rating = s.toRating(false);
        QVERIFY(rating);
        QVERIFY(child(rating, "Command1")->toolTip().contains("a tenth higher"));
        s.player.arrive(6.0);
        rating->checkLength();
        QWidget *grip = child(rating, "meterGrip1");
        // The first second is due before the click is handled: it holds the level before it.
        s.now = 1200;
        mouse(grip, QEvent::MouseButtonPress, QPoint(5, 0));
        s.now = 2000;
        rating->recordSample();
        QCOMPARE(rating->state().Level1, 50);
        QVERIFY(child(rating, "RedPos")->isVisible());
        wheel(child(rating, "Command3"), QPoint(0, -360));
        holdKey(child(rating, "Command3"), Qt::Key_Down, 2);
        s.now = 3000;
        rating->recordSample();
        // A drag down to the middle, then three seconds held there.
        mouse(grip, QEvent::MouseMove, QPoint(5, grip->height() / 2));
        for (s.now = 4000; s.now <= 6000; s.now += 1000)
            rating->recordSample();
        QVERIFY(!child(rating, "BluePos")->isVisible());
        s.finish();
        const QByteArray results = readAll(s.order.resultsFilePath());
        QVERIFY2(results.contains("\r\n2,0.0\r\n3,5.0\r\n4,4.4\r\n5,0.0\r\n6,0.0\r\n7,0.0\r\n"),
                 results);
        const QByteArray log = readAll(s.order.eventLogPath());
        QVERIFY2(log.contains(",move,1,5.0,,,mouse\r\n") && log.contains(",move,1,4.7,,,wheel") &&
                     log.contains(",move,1,4.4,,,key") && !log.contains("fall-back"),
                 log);
        ResultsRun run;
        QList<RunEvent> events;
        QVERIFY(ResultsFile::read(s.order.resultsFilePath(), &run, nullptr));
        QVERIFY(EventLog::read(s.order.eventLogPath(), &events, nullptr));
        QCOMPARE(EventCheck::problems(events, run, nullptr, true), QStringList());
    }

    // Two variables: the pad in the buttons' place sets both at once; keys, the tilted wheel and
    // the second meter move one; the instructions say how.
    void twoVariables()
    {
        Session s;
        s.order.setInput(InputMode::Position);
        s.toInstructions(true);
        QVERIFY(text(s.order.instructionsForm(), "Label1").startsWith("How to rate"));
        QVERIFY(text(s.order.instructionsForm(), "Label1").contains("Mood across, Stress up"));
        child<QPushButton>(s.order.instructionsForm(), "Command1")->click();
        MainForm *rating = s.order.mainForm();
        QWidget *pad = child(rating, "LevelPad");
        QVERIFY(pad->isVisible() && !child(rating, "Command1")->isVisible() &&
                !child(rating, "Command5")->isVisible());
        s.player.arrive(3.0);
        rating->checkLength();
        mouse(pad, QEvent::MouseButtonPress, QPoint(pad->width() - 1, 0)); // top right
        s.now = 1000;
        rating->recordSample();
        mouse(pad, QEvent::MouseMove, QPoint(0, pad->height() / 2)); // left, middle
        holdKey(rating, Qt::Key_W, 0);
        wheel(rating, QPoint(-120, 0)); // tilted right
        s.now = 2000;
        rating->recordSample();
        mouse(child(rating, "meterGrip2"), QEvent::MouseButtonPress, QPoint(0, 10000));
        s.now = 3000;
        rating->recordSample();
        QCOMPARE(EventLog::controls(rating->events()), QStringList({"mouse", "key", "wheel"}));
        s.finish();
        const QByteArray results = readAll(s.order.resultsFilePath());
        QVERIFY2(results.contains("\r\n1,0,0\r\n2,5.0,5.0\r\n3,-5.0,0.2\r\n4,-5.0,-5.0\r\n"),
                 results);
        ResultsRun run;
        QList<RunEvent> events;
        QVERIFY(ResultsFile::read(s.order.resultsFilePath(), &run, nullptr));
        QVERIFY(EventLog::read(s.order.eventLogPath(), &events, nullptr));
        QCOMPARE(EventCheck::problems(events, run, nullptr, true), QStringList());
        // The pad's click is two lines, the first variable's first, each with both levels.
        QVERIFY(readAll(s.order.eventLogPath()).contains(",move,1,5.0,0.0,,mouse\r\n"));
    }

    // A position run's journal keeps its tenths: recovered, its results have the decimals.
    void journalOfAPositionRun()
    {
        SetupRecord record = makeRecord(false);
        record.Input = InputMode::Position;
        RunEvent move{900, 850, RunEvent::Kind::Move, 1, 23, 0, 0, RunEvent::Source::Controller};
        const QByteArray bytes =
            Journal::header(record, false, QDateTime::currentDateTime(), "pc", {}) +
            Journal::eventLine(move, record.Input) +
            Journal::sampleLine(sample(2, 23, 0), 61, record.Input) +
            Journal::sampleLine(sample(3, -5, 0), 61, record.Input);
        const auto run = Journal::parse(bytes);
        QVERIFY(run && run->damaged == 0);
        QCOMPARE(run->events.first(), move);
        QVERIFY(ResultsFile::bytes(Recording::results(*run)).contains("\r\n2,2.3\r\n3,-0.5\r\n"));
    }

    // The collator takes position runs' decimals as they stand, beside steps runs (named in a
    // warning) or alone.
    void collating_data()
    {
        QTest::addColumn<bool>("mixed");
        QTest::addColumn<QByteArray>("row2"); // the table's row 2
        QTest::newRow("a steps run and a position run") << true << QByteArray("2,2,2.3,2.1500,");
        QTest::newRow("two position runs") << false << QByteArray("2,2.0,2.3,2.1500,");
    }
    void collating()
    {
        QFETCH(bool, mixed);
        const auto run = [](const char *path, InputMode input, qint8 level) {
            return ResultsRun{path, "S", "d", {"Mood"}, {{ResultsRun::Gap, ResultsRun::Gap, level}},
                              input};
        };
        const Collation collation(
            {run("a.csv", mixed ? InputMode::Steps : InputMode::Position, mixed ? 2 : 20),
             run("b.csv", InputMode::Position, 23)},
            "Mood");
        QCOMPARE(collation.mean(2), 2.15);
        QFETCH(QByteArray, row2);
        QVERIFY2(collation.tableBytes().contains("\r\n" + row2), collation.tableBytes());
        QCOMPARE(collation.mixedInputs().contains("steps (a.csv) and by position (b.csv)"), mixed);
    }

    // A controller on the rating screen: a held D-pad button presses once; unplugged, the levels
    // stay where they were and the screen says so until it is back, each change logged.
    void controllerOnTheScreen_data()
    {
        QTest::addColumn<InputMode>("input");
        QTest::newRow("steps") << InputMode::Steps;
        QTest::newRow("position") << InputMode::Position;
    }
    void controllerOnTheScreen()
    {
        QFETCH(InputMode, input);
        Session s;
        FakeController controller;
        s.order.setInput(input);
        s.order.setController(&controller);
        MainForm *rating = s.toRating(false);
        emit controller.buttonChanged(GameController::Button::DpadUp, true);
        emit controller.buttonChanged(GameController::Button::DpadUp, true);
        emit controller.axisChanged(GameController::Axis::LeftY, -18022);
        const int level = rating->state().Level1;
        QCOMPARE(level, input == InputMode::Steps ? 1 : 25);
        QWidget *gone = child(rating, "controllerGone");
        QVERIFY(!gone->isVisible());
        emit controller.connectedChanged(false);
        QVERIFY(gone->isVisible());
        QCOMPARE(rating->state().Level1, level);
        emit controller.connectedChanged(true);
        QVERIFY(!gone->isVisible());
        const QList<RunEvent> events = rating->events();
        QCOMPARE(events.first().source, RunEvent::Source::Controller);
        QCOMPARE(events.size(), 3);
        QCOMPARE(events[1].kind, RunEvent::Kind::Device);
        QCOMPARE(events[2].source, RunEvent::Source::Connected);
    }
};

DIALTRACE_TEST_CASE(TestPosition, "position")
#include "tst_position.moc"
