#include "benchsupport.h"
#include "figures.h"

Figure startUp(const QString &executable, bool verbose)
{
    Figure figure{QStringLiteral("start-up"), {}, QStringLiteral("median <= 300 ms"), false, false};
    if (!SplashWatch::available()) {
        figure.measured = QStringLiteral("not measured: built without xcb");
        return figure;
    }
    if (!QFileInfo(executable).isExecutable()) {
        figure.measured = QStringLiteral("not measured: no executable at ") + executable;
        return figure;
    }
    const QSize splash = Twips::size(7365, 4230);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const SplashWatch::Start start =
            SplashWatch::timeToWindow(executable, splash, 10000, verbose);
        if (!start.ok) {
            figure.measured = QStringLiteral("not measured: ") + start.error;
            return figure;
        }
        times.push_back(start.milliseconds);
        progress(QStringLiteral("start %1 to splash: %2").arg(i + 1).arg(ms(start.milliseconds)));
        idle(300);
    }
    const double median = Stats::median(times);
    figure.measuredAtAll = true;
    figure.measured = QStringLiteral("median %1 (each: ").arg(ms(median));
    QStringList each;
    for (double t : times)
        each.append(QString::number(t, 'f', 0));
    figure.measured += each.join(QStringLiteral(", ")) + QStringLiteral(" ms)");
    figure.pass = median <= 300.0;
    return figure;
}

// Finishing and the picture export, both on a 900 s clip: a full 901-row table in two series.
QList<Figure> finishingAndExport(const QString &workDirectory)
{
    Figure finishing{QStringLiteral("finishing (901 rows)"),
                     {},
                     QStringLiteral("<= 50 ms every run"),
                     false,
                     false};
    Figure exporting{QStringLiteral("image export (3667 px)"),
                     {},
                     QStringLiteral("<= 500 ms every run"),
                     false,
                     false};
    constexpr double ClipSeconds = 900.0;
    constexpr int Runs = 5;
    std::vector<double> finishTimes;
    std::vector<double> exportTimes;
    QString problem;
    QSize exportedSize;

    for (int run = 0; run < Runs && problem.isEmpty(); ++run) {
        const QString directory = workDirectory + QStringLiteral("/finish%1").arg(run);
        QDir().mkpath(directory);
        // On the fake player the clip's length is known at once, and the run's clock moves a
        // second each tick: the table fills in a moment.
        Session session(directory);
        session.player.arrive(ClipSeconds);
        if (!session.toRating(true, QStringLiteral("/bench/clip900.avi"))) {
            problem = QStringLiteral("the rating screen did not open");
            break;
        }
        MainForm &rating = *session.order.mainForm();
        waitFor([&] { return isOnScreen(&rating); }, 5000);
        rating.checkLength();
        if (!rating.isRecording()) {
            problem = QStringLiteral("recording did not start for a 900 s clip");
            break;
        }
        // A level that wanders over the whole scale, different in the two series.
        quint32 seed = 12345u + static_cast<quint32>(run);
        bool last = false;
        int samples = 0;
        while (rating.isRecording() && samples < 2000) {
            seed = seed * 1103515245u + 12345u;
            const auto pick = (seed >> 16) % 6u;
            if (pick < 4)
                rating.press(static_cast<Rating::Button>(pick));
            if (samples % 3 == 0)
                rating.fallBack();
            session.now += 1000;
            rating.recordSample();
            ++samples;
            last = !rating.isRecording();
        }
        if (!last || !rating.table() || rating.table()->lastRow() != 901) {
            problem = QStringLiteral("the table did not end at row 901");
            break;
        }

        const QString resultsPath = session.order.resultsFilePath();
        QFile::remove(resultsPath);
        QElapsedTimer clock;
        clock.start();
        session.order.finishRun();
        OutputForm *output = session.order.outputForm();
        const bool shown =
            spinUntil([&] { return isOnScreen(output) && QFileInfo::exists(resultsPath); }, 5000);
        syncWithDisplay();
        const qint64 finished = clock.nsecsElapsed();
        if (!shown) {
            problem =
                QStringLiteral("the results screen did not show, or temp.csv was not written");
            break;
        }
        finishTimes.push_back(milliseconds(finished));

        // Let the screen settle, as a person would look at it before pressing "Export Image".
        idle(200);
        const QString picturePath = directory + QStringLiteral("/export.jpg");
        session.dialogs.saveAnswers = {picturePath};
        clock.restart();
        output->exportImage();
        const qint64 exported = clock.nsecsElapsed();
        if (!QFileInfo::exists(picturePath)) {
            problem = QStringLiteral("the picture was not written");
            break;
        }
        exportedSize = QImageReader(picturePath).size();
        exportTimes.push_back(milliseconds(exported));
        progress(QStringLiteral("finishing run %1: %2, export %3 (%4x%5)")
                     .arg(run + 1)
                     .arg(ms(finishTimes.back()), ms(exportTimes.back()))
                     .arg(exportedSize.width())
                     .arg(exportedSize.height()));
        session.order.closeAll();
        idle(100);
    }
    if (!problem.isEmpty()) {
        finishing.measured = exporting.measured = QStringLiteral("not measured: ") + problem;
        return {finishing, exporting};
    }
    const double finishMax = Stats::maximum(finishTimes);
    finishing.measuredAtAll = true;
    finishing.measured = QStringLiteral("max %1, median %2 (%3 runs, first is cold)")
                             .arg(ms(finishMax), ms(Stats::median(finishTimes)))
                             .arg(Runs);
    finishing.pass = finishMax <= 50.0;
    const double exportMax = Stats::maximum(exportTimes);
    exporting.measuredAtAll = true;
    exporting.measured = QStringLiteral("max %1, median %2 (%3 runs, %4x%5 px)")
                             .arg(ms(exportMax), ms(Stats::median(exportTimes)))
                             .arg(Runs)
                             .arg(exportedSize.width())
                             .arg(exportedSize.height());
    exporting.pass = exportMax <= 500.0 && exportedSize.width() == 3667;
    if (exportedSize.width() != 3667)
        exporting.measured += QStringLiteral(" - wrong width");
    return {finishing, exporting};
}
