#include "benchsupport.h"
#include "figures.h"

Figure tickSchedule(const QString &clip, double clipSeconds, const QString &workDirectory)
{
    Figure figure{QStringLiteral("recording tick schedule"),
                  {},
                  QStringLiteral("max error <= 5 ms; last-10 mean <= first-10 mean + 1 ms"),
                  false,
                  false};
    const int window = clipSeconds >= 60 ? 10 : 5;
    figure.target.replace(QStringLiteral("10"), QString::number(window));
    GstMediaPlayer player;
    const QString directory = workDirectory + QStringLiteral("/ticks");
    QDir().mkpath(directory);
    Session session(directory, &player);
    if (!session.toRating(true, clip)) {
        figure.measured = QStringLiteral("not measured: the rating screen did not open");
        return figure;
    }
    MainForm &rating = *session.order.mainForm();
    auto *timeItself = rating.findChild<QTimer *>(QStringLiteral("TimeItself"));
    if (!timeItself) {
        figure.measured = QStringLiteral("not measured: no TimeItself timer");
        return figure;
    }

    TickWatch watch;
    timeItself->installEventFilter(&watch);

    if (!waitFor([&] { return rating.isRecording(); }, 20000, 100)) {
        figure.measured = QStringLiteral("not measured: recording did not start (%1)")
                              .arg(session.dialogs.messages.join(QLatin1Char(' ')).simplified());
        return figure;
    }
    const int timeout = static_cast<int>(clipSeconds * 1000) + 20000;
    waitFor([&] { return !rating.isRecording(); }, timeout, 250);
    timeItself->removeEventFilter(&watch);
    if (rating.isRecording()) {
        figure.measured = QStringLiteral("not measured: recording never ended");
        return figure;
    }
    session.order.finishRun();
    session.order.closeAll();
    const double journalMicroseconds =
        double(session.order.journal()->longestAppendNanoseconds()) / 1000.0;

    const Stats::Schedule s = Stats::schedule(watch.ticks, 1000.0, window);
    figure.measuredAtAll = true;
    figure.measured = QStringLiteral("%1 ticks: max %2; mean first %3 %4, last %3 %5")
                          .arg(s.ticks)
                          .arg(ms(s.largestError))
                          .arg(s.window)
                          .arg(ms(s.meanErrorFirst), ms(s.meanErrorLast)) +
                      QStringLiteral("; journal at most %1 us of a tick")
                          .arg(QString::number(journalMicroseconds, 'f', 1));
    const int expected = static_cast<int>(clipSeconds);
    figure.pass =
        s.ticks == expected && s.largestError <= 5.0 && s.meanErrorLast <= s.meanErrorFirst + 1.0;
    if (s.ticks != expected)
        figure.measured += QStringLiteral(" - expected %1 ticks").arg(expected);
    return figure;
}
