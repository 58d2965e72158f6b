#include "benchsupport.h"
#include "collatefigures.h"
#include "figures.h"
#include "videofigure.h"

#include <QApplication>

namespace {

void usage()
{
    std::fprintf(
        stderr,
        "usage: dialtrace-bench [--quick] [--clips] [--no-load] [--clip-folder DIR] [--verbose]\n"
        "                       [--keep] [--dialtrace PATH] [--demo PATH]\n"
        "  --quick          a 15 s clip for the tick schedule instead of 60 s\n"
        "  --clips          only the whole runs on the demo clip and the three H.264 clips\n"
        "  --controller     only the game controller's and the drag's figures\n"
        "  --no-load        without the runs beside busy loops (one core busy, nice 19)\n"
        "  --clip-folder DIR make the H.264 clips in DIR once and use them from there after\n"
        "  --verbose        pass on the programs' diagnostics and the memory at each step\n"
        "  --keep           keep the working directory (clips, temp.csv, exported pictures)\n"
        "  --dialtrace PATH the program to time at start-up (default: beside this one)\n"
        "  --demo PATH      the clip of the whole run (default: samples/demo.avi)\n");
}

// Without a display there are no windows to map or expose: borrow a private X server.
void ensureDisplay(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("DISPLAY") ||
        qEnvironmentVariableIsSet("DIALTRACE_BENCH_NO_XVFB"))
        return;
    qputenv("DIALTRACE_BENCH_NO_XVFB", "1");
    std::vector<char *> arguments = {const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                     const_cast<char *>("-s"),
                                     const_cast<char *>("-screen 0 1280x1024x24")};
    for (int i = 0; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execvp("xvfb-run", arguments.data());
    std::fprintf(stderr, "dialtrace-bench: no DISPLAY and no xvfb-run; run it under an X server\n");
}

bool allPass(const QList<Figure> &figures)
{
    return std::all_of(figures.begin(), figures.end(),
                       [](const Figure &f) { return f.measuredAtAll && f.pass; });
}

} // namespace

int main(int argc, char *argv[])
{
    ensureDisplay(argc, argv);
    // The figures are about windows on an X display, also where the caller prefers offscreen.
    qputenv("QT_QPA_PLATFORM", "xcb");
    Startup::prepareEnvironment();
    QApplication app(argc, argv);
    Startup::prepareApplication();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    bool quick = false;
    bool clipsOnly = false;
    bool controllerOnly = false;
    bool load = true;
    QString clipFolder;
    bool verbose = false;
    bool keep = false;
    QString dialtrace = QCoreApplication::applicationDirPath() + QStringLiteral("/dialtrace");
    QString demo = QStringLiteral(DIALTRACE_SOURCE_DIR "/samples/demo.avi");
    while (!arguments.isEmpty()) {
        const QString option = arguments.takeFirst();
        const auto value = [&]() -> QString {
            if (arguments.isEmpty()) {
                usage();
                std::exit(2);
            }
            return arguments.takeFirst();
        };
        if (option == QLatin1String("--quick"))
            quick = true;
        else if (option == QLatin1String("--clips"))
            clipsOnly = true;
        else if (option == QLatin1String("--controller"))
            controllerOnly = true;
        else if (option == QLatin1String("--no-load"))
            load = false;
        else if (option == QLatin1String("--clip-folder"))
            clipFolder = value();
        else if (option == QLatin1String("--verbose"))
            verbose = true;
        else if (option == QLatin1String("--keep"))
            keep = true;
        else if (option == QLatin1String("--dialtrace"))
            dialtrace = value();
        else if (option == QLatin1String("--demo"))
            demo = value();
        else if (option == QLatin1String("--child-idle"))
            return childIdle(value());
        else if (option == QLatin1String("--child-instructions"))
            return childInstructions(value());
        else if (option == QLatin1String("--child-stick"))
            return childStick(value());
        else if (option == QLatin1String("--child-demo"))
            return childDemo(value(), 200);
        else {
            usage();
            return 2;
        }
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        progress(QStringLiteral("no temporary directory"));
        return 2;
    }
    if (keep) {
        work.setAutoRemove(false);
        progress(QStringLiteral("clips, results files and pictures are kept in ") + work.path());
    }
    const double tickSeconds = quick ? 15.0 : 60.0;
    const QString tickClip = work.path() + QStringLiteral("/ticks.wav");
    if (const QString error = makeClip(tickClip, tickSeconds); !error.isEmpty()) {
        progress(error);
        return 2;
    }

    if (clipFolder.isEmpty())
        clipFolder = work.path();
    QList<Figure> figures;
    if (clipsOnly || controllerOnly) {
        figures.append(clipsOnly ? clipFigures(demo, clipFolder, verbose, load)
                                 : controllerFigures(clipFolder, verbose));
        std::printf("\nDialtrace benchmark, %s only, on %ld cores\n\n",
                    clipsOnly ? "the clips" : "the controller",
                    sysconf(_SC_NPROCESSORS_ONLN));
        printTable(figures);
        return allPass(figures) ? 0 : 1;
    }
    progress(QStringLiteral("start-up of %1, 5 starts").arg(dialtrace));
    const Figure start = startUp(dialtrace, verbose);
    progress(QStringLiteral("finishing and image export on a 900 s table, 5 runs"));
    const QList<Figure> finishing = finishingAndExport(work.path());
    progress(QStringLiteral("recording tick schedule over a %1 s clip").arg(tickSeconds));
    figures.append(tickSchedule(tickClip, tickSeconds, work.path()));
    figures.append(clipFigures(demo, clipFolder, verbose, load));
    figures.append(waitingCostsNothing(verbose, work.path()));
    figures.append(controllerFigures(clipFolder, verbose));
    figures.append(hugeInstructions(verbose, work.path()));
    figures.append(start);
    figures.append(finishing);
    figures.append(collateFigures(work.path()));
    figures.append(videoFigures(work.path()));

    std::printf("\nDialtrace benchmark%s on %ld cores\n\n", quick ? " (quick)" : "",
                sysconf(_SC_NPROCESSORS_ONLN));
    printTable(figures);
    return allPass(figures) ? 0 : 1;
}
