// A game controller and a plain joystick through SDL, simulated by SDL's virtual joysticks: on
// the rating screen in both modes, a button held once, unplugged and plugged in again.

#include "sdlcontroller.h"
#include "support.h"
#include "virtualjoystick.h"

class TestController : public QObject
{
    Q_OBJECT
private slots:
    // D-pad up (a plain joystick's first button) held: one press in a steps run; the left stick
    // (a plain joystick's second axis) all the way up: +5.0 in a position run. Unplugged, the
    // level stays and the screen says so; plugged in again, it works at once.
    void onTheRatingScreen_data()
    {
        QTest::addColumn<bool>("gameController");
        QTest::addColumn<InputMode>("input");
        for (const bool pad : {true, false}) {
            for (const InputMode input : {InputMode::Steps, InputMode::Position})
                QTest::addRow("%s, %s", pad ? "game controller" : "plain joystick",
                              qPrintable(Input::name(input)))
                    << pad << input;
        }
    }
    void onTheRatingScreen()
    {
        QFETCH(bool, gameController);
        QFETCH(InputMode, input);
        SdlController controller;
        QTRY_VERIFY(controller.isAvailable());
        Session s;
        s.order.setInput(input);
        s.order.setController(&controller);
        MainForm *rating = s.toRating(false);
        const bool steps = input == InputMode::Steps;
        const int button = gameController ? SDL_CONTROLLER_BUTTON_DPAD_UP : 0;
        const int axis = gameController ? SDL_CONTROLLER_AXIS_LEFTY : 1;
        for (int plugged = 1; plugged <= 2; ++plugged) {
            VirtualJoystick stick(gameController);
            QVERIFY2(stick.device, SDL_GetError());
            QTRY_VERIFY(controller.isConnected());
            // The second time round from the level the first left.
            const int from = rating->state().Level1;
            if (steps) {
                stick.setButton(button, true);
                QTRY_COMPARE(int(rating->state().IncreaseClicks1), plugged);
            } else {
                // Half-way down first the right stick (a plain joystick's first axis), no variable
                // of a one-variable run: SDL reads it no later than the left, so it is handled by
                // the unplug, and a move it made would be in the log.
                stick.setAxis(gameController ? SDL_CONTROLLER_AXIS_RIGHTY : 0, 16384);
                stick.setAxis(axis, plugged == 1 ? -32768 : 32767);
                QTRY_VERIFY(rating->state().Level1 != from);
            }
            const int held = rating->state().Level1;
            QCOMPARE(held, steps ? plugged : (plugged == 1 ? 50 : -50));
            QVERIFY(stick.unplug());
            QTRY_VERIFY(child(rating, "controllerGone")->isVisible());
            QCOMPARE(int(rating->state().Level1), held);
        }
        QStringList devices;
        for (const RunEvent &event : rating->events()) {
            if (event.kind == RunEvent::Kind::Device)
                devices << EventLog::sourceName(event.source);
            else
                QCOMPARE(event.source, RunEvent::Source::Controller);
            // To the left stick's ends, or to its rest where SDL reports it on plugging in.
            if (event.kind == RunEvent::Kind::Move)
                QVERIFY2(event.level1 == 0 || std::abs(event.level1) == 50,
                         qPrintable(QString::number(event.level1)));
        }
        QCOMPARE(devices.join(' '), "connected disconnected connected disconnected");
    }
};

DIALTRACE_TEST_CASE(TestController, "controller")
#include "tst_controller.moc"
