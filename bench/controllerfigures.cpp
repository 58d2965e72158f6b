// Rating by position with a game controller, simulated through SDL's virtual joystick: from the
// event SDL hands over to the move line queued for the journal, a drag on a meter to the meter
// drawn, and what a controller held still costs.

#include "benchsupport.h"
#include "figures.h"
#include "sdlcontroller.h"
#include "virtualjoystick.h"

#include <QMouseEvent>

#include <chrono>

namespace {

qint64 steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sendDrag(QWidget *grip, int y)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(10, y), grip->mapToGlobal(QPointF(10, y)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &move);
}

} // namespace

int childStick(const QString &withController)
{
    QTemporaryDir directory;
    Session session(directory.path());
    session.order.setInput(InputMode::Position);
    std::unique_ptr<SdlController> controller;
    std::unique_ptr<VirtualJoystick> pad;
    if (withController == QLatin1String("1")) {
        controller = std::make_unique<SdlController>();
        session.order.setController(controller.get());
        waitFor([&] { return controller->isAvailable(); }, 5000);
        pad = std::make_unique<VirtualJoystick>(true);
        pad->setAxis(SDL_CONTROLLER_AXIS_LEFTY, -16000);
    }
    if (!session.toRating(false)) {
        answer("error", QStringLiteral("the rating screen did not open"));
        return 1;
    }
    idle(1500);
    const double before = cpuSecondsSoFar();
    QElapsedTimer wall;
    wall.start();
    idle(10000);
    answer("cpu_percent",
           QString::number(100.0 * (cpuSecondsSoFar() - before) * 1000.0 / double(wall.elapsed()),
                           'f', 3));
    session.order.closeAll();
    return 0;
}

QList<Figure> controllerFigures(const QString &clipFolder, bool verbose)
{
    Figure latency{QStringLiteral("controller: SDL event to move line (1,000 changes, 1080p30)"),
                   QStringLiteral("not measured"),
                   QStringLiteral("median <= 1 ms; 99th percentile <= 5 ms"), false, false};
    Figure drag{QStringLiteral("drag on a meter to the meter drawn (1080p30)"),
                QStringLiteral("not measured"), QStringLiteral("<= 4 ms every move"), false, false};
    Figure still{QStringLiteral("controller held still: CPU above the screen without one"),
                 QStringLiteral("not measured"), QStringLiteral("<= 1 % of one core"), false,
                 false};

    progress(QStringLiteral("a controller held still, and the same screen without one"));
    const auto cpu = [&](const char *with) {
        return runChild({QStringLiteral("--child-stick"), QLatin1String(with)}, 60000, verbose);
    };
    const QMap<QString, QString> without = cpu("0"), with = cpu("1");
    if (!without.contains(QStringLiteral("error")) && !with.contains(QStringLiteral("error"))) {
        const double extra = with.value(QStringLiteral("cpu_percent")).toDouble() -
                             without.value(QStringLiteral("cpu_percent")).toDouble();
        still.measuredAtAll = true;
        still.measured = QStringLiteral("%1 % of one core (%2 % against %3 %)")
                             .arg(QString::number(extra, 'f', 2), with.value("cpu_percent"),
                                  without.value("cpu_percent"));
        still.pass = extra <= 1.0;
    }

    const QString clip = clipFolder + QStringLiteral("/1080p30.avi");
    if (!makeClipOnce(clip, QStringLiteral("1080p 30 fps"), {1920, 1080}, 30))
        return {latency, drag, still};
    progress(QStringLiteral("1,000 stick movements over 20 s of a 1080p 30 fps clip"));
    QTemporaryDir directory;
    GstMediaPlayer player;
    SdlController controller;
    Session session(directory.path(), &player);
    session.order.setInput(InputMode::Position);
    session.order.setController(&controller);
    waitFor([&] { return controller.isAvailable(); }, 5000);
    VirtualJoystick pad(true);
    MainForm *rating = session.toRating(false, clip);
    if (!rating || !pad.device ||
        !waitFor([&] { return isOnScreen(rating) && rating->isRecording(); }, 20000))
        return {latency, drag, still};
    // Connected after the order of screens, so that the journal has its line when this runs.
    std::vector<double> delays;
    QObject::connect(rating, &MainForm::eventLogged, rating, [&](const RunEvent &event) {
        if (event.source == RunEvent::Source::Controller)
            delays.push_back(milliseconds(steadyNanoseconds() - controller.lastEventNanoseconds()));
    });
    // Four places, each a different tenth from the one before, every 20 ms.
    const int places[] = {-20000, 5000, 20000, -5000};
    int moved = 0;
    QTimer mover;
    mover.setTimerType(Qt::PreciseTimer);
    mover.callOnTimeout([&] { pad.setAxis(SDL_CONTROLLER_AXIS_LEFTY, places[moved++ % 4]); });
    mover.start(20);
    waitFor([&] { return moved >= 1000; }, 40000, 50);
    mover.stop();
    idle(200);
    latency.measuredAtAll = !delays.empty();
    const double median = Stats::median(delays), worst = Stats::percentile(delays, 0.99);
    latency.measured = QStringLiteral("%1 moves: median %2, 99th percentile %3")
                           .arg(delays.size())
                           .arg(ms(median), ms(worst));
    latency.pass = delays.size() >= 990 && median <= 1.0 && worst <= 5.0;

    // Between the middle (meter dark) and a step up (its first segment lit), 100 times.
    auto *grip = rating->findChild<QWidget *>(QStringLiteral("meterGrip1"));
    auto *segment = rating->findChild<QFrame *>(QStringLiteral("BluePos"));
    if (!grip || !segment)
        return {latency, drag, still};
    PaintWatch watch(segment);
    std::vector<double> drawn;
    QElapsedTimer clock;
    const int middle = grip->height() / 2, stepUp = middle - grip->height() / 10;
    for (int i = 0; i < 200; ++i) {
        watch.painted = false;
        clock.start();
        sendDrag(grip, i % 2 ? middle : stepUp);
        if (i % 2)
            continue;
        spinUntil([&] { return watch.painted; }, 1000);
        syncWithDisplay();
        drawn.push_back(milliseconds(clock.nsecsElapsed()));
        idle(30);
    }
    drag.measuredAtAll = true;
    drag.measured = QStringLiteral("100 moves: max %1, median %2")
                        .arg(ms(Stats::maximum(drawn)), ms(Stats::median(drawn)));
    drag.pass = Stats::maximum(drawn) <= 4.0;
    session.order.closeAll();
    return {latency, drag, still};
}
