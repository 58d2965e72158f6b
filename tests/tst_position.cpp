// Rating by position: the level is where the subject holds it, in tenths, set by a drag on a
// meter, the wheel, keys, the pad or a game controller, and never falls back; how a run chooses
// it, and the files such a run writes.

#include "collatefiles.h"
#include "controllermap.h"
#include "eventcheck.h"
#include "inputmode.h"
#include "instructions.h"
#include "longtable.h"
#include "ratingstate.h"
#include "recordtable.h"
#include "sessionrecord.h"
#include "settingsfile.h"
#include "startup.h"
#include "support.h"

#include <QMouseEvent>

namespace {

void mouse(QWidget *to, QEvent::Type type, QPoint at)
{
    QMouseEvent event(type, at, to->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

// The clock at a moment, and the seconds due by then stored.
void at(Session &s, qint64 moment)
{
    s.now = moment;
    s.order.mainForm()->recordSample();
}

} // namespace

class TestPosition : public QObject
{
    Q_OBJECT
private slots:
    // A stick's axis as a level: a tenth of its reach around the centre is 0, the rest spreads
    // over 0.1 to 5.0; devices report up as negative.
    void axisLevel_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("upwards");
        QTest::addColumn<int>("level");
        QTest::newRow("centre") << 0 << true << 0;
        QTest::newRow("at the dead zone's edge") << 3276 << true << 0;
        QTest::newRow("a hair past it") << -3300 << true << 0;
        QTest::newRow("half a tenth past it, up") << -3572 << true << 1;
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

    // What a controller does: buttons press in steps runs only, once each time one goes down
    // however long it is held; the sticks set levels in position runs only, one variable on the
    // left stick's vertical, two on the left stick across and up (as the pad) and the second on
    // the right stick's vertical too. Events: U, D, T, B (D-pad up and down, top and bottom face
    // buttons) going down (+) or up (-), a stick's axis all the way up (^) or right (>).
    void controllerMap_data()
    {
        QTest::addColumn<InputMode>("input");
        QTest::addColumn<bool>("two");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("done"); // presses (I1 D1 I2 D2), moves (variable:level)
        const auto row = [](const char *name, InputMode input, bool two, const char *events,
                            const char *done) {
            QTest::newRow(name) << input << two << QString(events) << QString(done);
        };
        row("held D-pad up counts once, again after letting go", InputMode::Steps, false,
            "U+ U+ U- U+ D+", "I1 I1 D1");
        row("face buttons, the second variable's", InputMode::Steps, true, "T+ B+", "I2 D2");
        row("face buttons without a second variable", InputMode::Steps, false, "T+", "");
        row("no sticks in a steps run", InputMode::Steps, true, "LY^ LX>", "");
        row("one variable: the left stick up", InputMode::Position, false, "U+ LY^ LX> RY^",
            "1:50");
        row("two: left across, left up, right up", InputMode::Position, true, "LX> LY^ RY^",
            "1:50 2:50 2:50");
    }
    void controllerMap()
    {
        QFETCH(InputMode, input);
        QFETCH(bool, two);
        QFETCH(QString, events);
        using B = GameController::Button;
        using A = GameController::Axis;
        const QMap<QChar, B> buttons{
            {'U', B::DpadUp}, {'D', B::DpadDown}, {'T', B::FaceTop}, {'B', B::FaceBottom}};
        const QMap<QString, A> axes{{"LX", A::LeftX}, {"LY", A::LeftY}, {"RY", A::RightY}};
        const char *const pressNames[] = {"I1", "D1", "I2", "D2"};
        ControllerMap map(input, two);
        QStringList done;
        for (const QString &event : events.split(' ')) {
            if (event.size() == 2) {
                if (const auto press = map.button(buttons[event[0]], event[1] == '+'))
                    done << pressNames[int(*press)];
            } else if (const auto move =
                           map.axis(axes[event.left(2)], event[2] == '^' ? -32768 : 32767)) {
                done << QStringLiteral("%1:%2").arg(move->variable).arg(move->level);
            }
        }
        QTEST(done.join(' '), "done");
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
        QTest::newRow("the middle") << 132 << 264 << 0 << 0;
        QTest::newRow("a tenth up") << 51 << 100 << 1 << 0;
        QTest::newRow("+0.5 lights the first segment") << 55 << 100 << 5 << 1;
        QTest::newRow("+4.4 lights four") << 94 << 100 << 44 << 4;
        QTest::newRow("+4.5 lights five") << 95 << 100 << 45 << 5;
        QTest::newRow("beyond the bottom") << -30 << 100 << -50 << -5;
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
        row("--input position", {"--input", "position"}, {}, InputMode::Position);
        row("the lab's settings", {}, "# our lab\r\n\r\ninput = position\r\n", InputMode::Position);
        row("the command line wins", {"--input", "steps"}, "input=position", InputMode::Steps);
        row("a study's file says its own", {"--study", "s.json"}, "input=position",
            InputMode::Steps);
        row("--input with a study", {"--input", "position", "--study", "s.json"}, {},
            InputMode::Position, "for single runs");
        row("an unknown input", {"--input", "joystick"}, {}, InputMode::Steps, "\"steps\" or");
        row("an unknown setting", {}, "input = position\ncolour = red", InputMode::Position,
            "line 2: \"colour\" is no setting");
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
        at(s, 2000);
        QCOMPARE(rating->state().Level1, 50);
        QVERIFY(child(rating, "RedPos")->isVisible());
        sendWheel(child(rating, "Command3"), QPoint(0, -360));
        for (int i = 0; i < 3; ++i) // held down: the first press, then the system's repeats
            sendKey(child(rating, "Command3"), Qt::Key_Down, Qt::NoModifier, i > 0);
        at(s, 3000);
        // A drag down to the middle, then three seconds held there.
        mouse(grip, QEvent::MouseMove, QPoint(5, grip->height() / 2));
        at(s, 6000);
        QVERIFY(!child(rating, "BluePos")->isVisible());
        s.finish();
        const QByteArray results = readAll(s.order.resultsFilePath());
        QVERIFY2(results.contains("\r\n2,0.0\r\n3,5.0\r\n4,4.4\r\n5,0.0\r\n6,0.0\r\n7,0.0\r\n"),
                 results);
        QCOMPARE(s.order.outputForm()->chart().series(1)[3], std::optional<double>(4.4)); // row 4
        const QByteArray log = readAll(s.order.eventLogPath());
        QVERIFY2(log.contains(",move,1,5.0,,,mouse\r\n") && log.contains(",move,1,4.7,,,wheel") &&
                     log.contains(",move,1,4.4,,,key") && !log.contains("fall-back"),
                 log);
        QCOMPARE(EventCheck::fileProblems(s.order.resultsFilePath(), nullptr, true), QStringList());
    }

    // Two variables: the pad in the buttons' place sets both at once; keys, the tilted wheel and
    // the second meter move one; the instructions say how.
    void twoVariables()
    {
        Session s;
        s.order.setInput(InputMode::Position);
        QVERIFY(writeAll(Instructions::filePath(s.home), "Press when"));
        QVERIFY(writeAll(s.path("Instructions.position.txt"), "Hold it"));
        s.toInstructions(true);
        QVERIFY(text(s.order.instructionsForm(), "Label1").startsWith("How to rate"));
        QVERIFY(text(s.order.instructionsForm(), "Label1").endsWith("\n\nHold it"));
        QVERIFY(text(s.order.instructionsForm(), "Label1").contains("Mood across, Stress up"));
        child<QPushButton>(s.order.instructionsForm(), "Command1")->click();
        MainForm *rating = s.order.mainForm();
        QWidget *pad = child(rating, "LevelPad");
        QVERIFY(pad->isVisible() && !child(rating, "Command1")->isVisible() &&
                !child(rating, "Command5")->isVisible());
        s.player.arrive(3.0);
        rating->checkLength();
        mouse(pad, QEvent::MouseButtonPress, QPoint(pad->width() - 1, 0)); // top right
        at(s, 1000);
        mouse(pad, QEvent::MouseMove, QPoint(0, pad->height() / 2)); // left, middle
        sendKey(rating, Qt::Key_W);
        sendWheel(rating, QPoint(-120, 0)); // tilted right
        at(s, 2000);
        mouse(child(rating, "meterGrip2"), QEvent::MouseButtonPress, QPoint(0, 10000));
        at(s, 3000);
        QCOMPARE(EventLog::controls(rating->events(), InputMode::Position),
                 QStringList({"mouse", "key", "wheel"}));
        s.finish();
        const QByteArray results = readAll(s.order.resultsFilePath());
        QVERIFY2(results.contains("\r\n1,0,0\r\n2,5.0,5.0\r\n3,-5.0,0.2\r\n4,-5.0,-5.0\r\n"),
                 results);
        QCOMPARE(EventCheck::fileProblems(s.order.resultsFilePath(), nullptr, true), QStringList());
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

    // A position study's session record says so, and which controls each clip was rated with; a
    // steps study's is as it always was.
    void sessionRecord()
    {
        SessionRecord record{"T", "P 7", "today", {SessionRecord::Clip()}};
        record.clips[0].clip = "a.avi";
        QVERIFY(!SessionFile::bytes(record).contains("input"));
        QVERIFY(!SessionFile::bytes(record).contains("controls"));
        record.input = "position";
        record.clips[0].controls = QStringList{"mouse", "controller"};
        const auto back = SessionFile::parse(SessionFile::bytes(record));
        QVERIFY(back && back->input == "position");
        QCOMPARE(back->clips[0].controls, record.clips[0].controls);
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
        // On the scale's steps: 2.0 and 2.3 agree within a tenth of a level.
        const QStringList lines = CollateFiles::statisticLines(collation, {"a", "b"});
        QVERIFY2(lines.contains("rWG\t0.9955"), qPrintable(lines.join('\n')));
        QVERIFY(
            LongTable::bytes({{{}, "S", {}, 0, "done", run("b.csv", InputMode::Position, 23)}}, 0)
                .endsWith(",done,Mood,2,2.3\r\n"));
    }
};

DIALTRACE_TEST_CASE(TestPosition, "position")
#include "tst_position.moc"
