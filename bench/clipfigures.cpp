#include "benchsupport.h"
#include "cpuwatch.h"
#include "figures.h"

namespace {

// A clip the whole run plays, and what it must achieve on this machine.
struct ClipCase
{
    QString label;
    QString fileName;
    // Made by ffmpeg at this size and rate; an invalid size names a clip given by the caller.
    QSize size;
    int rate = 0;
    double pressMaxMs = 0.0;
    double tickMaxMs = 0.0;
    double cpuPercent = 0.0;
    double memoryMegabytes = 0.0;
    // Pictures shown a second, in per cent of the clip's own rate.
    double framesPercent = 0.0;
    // Other work beside the clip; under load CPU and memory are reported without a target.
    BackgroundLoad::Kind load = BackgroundLoad::Kind::None;
    // The longest stretch without a new picture, where it has a target.
    double gapMaxMs = 0.0;
};

QList<Figure> clipRun(const ClipCase &base, const QString &clip, bool verbose)
{
    ClipCase c = base;
    c.label += BackgroundLoad::suffix(c.load);
    const bool loaded = c.load != BackgroundLoad::Kind::None;
    Figure press{QStringLiteral("press to meter (%1)").arg(c.label),
                 {},
                 QStringLiteral("<= %1 ms every press").arg(c.pressMaxMs),
                 false,
                 false};
    Figure ticks{QStringLiteral("recording ticks (%1)").arg(c.label),
                 {},
                 QStringLiteral("max error <= %1 ms").arg(c.tickMaxMs),
                 false,
                 false};
    Figure cpu{QStringLiteral("CPU while playing (%1)").arg(c.label),
               {},
               loaded ? QStringLiteral("(reported)")
                      : QStringLiteral("<= %1 % of one core").arg(c.cpuPercent),
               false,
               false};
    Figure gap{QStringLiteral("longest without a new frame (%1)").arg(c.label),
               {},
               QStringLiteral("<= %1 ms").arg(c.gapMaxMs),
               false,
               false};
    Figure memory{QStringLiteral("memory (%1)").arg(c.label),
                  {},
                  QStringLiteral("peak RSS <= %1 MB").arg(c.memoryMegabytes),
                  false,
                  false};
    Figure frames{QStringLiteral("frames shown (%1)").arg(c.label),
                  {},
                  c.framesPercent >= 99.0
                      ? QStringLiteral("all (>= 99 % of the clip's rate)")
                      : QStringLiteral(">= %1 % of the clip's rate").arg(c.framesPercent),
                  false,
                  false};
    Figure pressLog{QStringLiteral("a press on the event log (%1)").arg(c.label),
                    {},
                    QStringLiteral("< 0.2 ms every press"),
                    false,
                    false};
    const QList<Figure *> all = {&press, &pressLog, &ticks, &cpu, &memory, &frames, &gap};
    const auto collect = [&] {
        QList<Figure> figures{press, pressLog, ticks, cpu};
        if (!loaded)
            figures.append(memory);
        figures.append(frames);
        if (c.gapMaxMs > 0)
            figures.append(gap);
        return figures;
    };
    const auto none = [&](const QString &why) {
        for (Figure *f : all)
            f->measured = QStringLiteral("not measured: ") + why;
        return collect();
    };
    if (!QFileInfo::exists(clip))
        return none(QStringLiteral("no clip at ") + clip);
    const double rate = c.rate > 0 ? c.rate : frameRate(clip);
    progress(
        QStringLiteral("whole run on %1 with 200 presses").arg(QDir::toNativeSeparators(clip)));
    QMap<QString, QString> values;
    {
        const BackgroundLoad load(c.load);
        values = runChild({QStringLiteral("--child-demo"), clip}, 300000, verbose);
    }
    if (verbose) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it.key().startsWith(QLatin1String("memory_")))
                progress(it.key() + QStringLiteral(": ") + it.value());
        }
    }
    if (values.contains(QStringLiteral("error")))
        return none(values.value(QStringLiteral("error")));
    for (Figure *f : all)
        f->measuredAtAll = true;
    const auto value = [&](const char *key) { return values.value(QLatin1String(key)); };

    const double pressMax = value("press_max_ms").toDouble();
    const int counted = value("press_count").toInt();
    const int unpainted = value("press_unpainted").toInt();
    press.measured = QStringLiteral("max %1, median %2 (%3 presses in %4 s of playback)")
                         .arg(ms(pressMax), ms(value("press_median_ms").toDouble()))
                         .arg(counted)
                         .arg(value("press_seconds"));
    const bool playing = value("press_while_playing") == QLatin1String("1");
    if (!playing)
        press.measured += QStringLiteral(" - the clip had stopped before the last press");
    if (unpainted > 0)
        press.measured += QStringLiteral(", %1 never painted within 1 s").arg(unpainted);
    press.pass = playing && counted >= 200 && unpainted == 0 && pressMax <= c.pressMaxMs;
    pressLog.measured = QStringLiteral("max %1 us").arg(value("press_log_max_us"));
    pressLog.pass = value("press_log_max_us").toDouble() < 200.0;

    const double tickMax = value("tick_max_ms").toDouble();
    const int recorded = value("recorded_ticks").toInt();
    ticks.measured = QStringLiteral("max %1 over %2 ticks; journal at most %3 us of a tick")
                         .arg(ms(tickMax))
                         .arg(recorded)
                         .arg(value("journal_max_us"));
    ticks.pass = tickMax <= c.tickMaxMs && recorded >= value("clip_seconds").toInt() - 1;

    const double percent = value("cpu_percent").toDouble();
    cpu.measured = QStringLiteral("%1 % of one core (benchmark's waits %2; threads: %3)")
                       .arg(QString::number(percent, 'f', 1), value("bench_waiting_percent"),
                            value("threads"));
    cpu.pass = loaded || percent <= c.cpuPercent;

    const double megabytes = value("vmhwm_kb").toDouble() / 1024.0;
    memory.measured =
        QStringLiteral("VmHWM %1 MB (ended %2)")
            .arg(QString::number(megabytes, 'f', 1))
            .arg(value("ended") == QLatin1String("1") ? QStringLiteral("cleanly")
                                                      : QStringLiteral("NOT cleanly"));
    memory.pass = megabytes > 0 && megabytes <= c.memoryMegabytes;

    const double window = value("frames_window_s").toDouble();
    if (!values.contains(QStringLiteral("frames_shown")) || window <= 0.0 || rate <= 0.0) {
        frames.measuredAtAll = false;
        frames.measured = QStringLiteral("not measured: the player shows no count of its pictures"
                                         ", or the clip's rate is unknown");
    } else {
        const double shown = value("frames_shown").toDouble() / window;
        const double share = 100.0 * shown / rate;
        frames.measured =
            QStringLiteral("%1 of %2 a second (%3 %) over %4 s; longest without one %5 ms; %6 "
                           "skipped before decoding by %7")
                .arg(QString::number(shown, 'f', 1), QString::number(rate, 'f', 1),
                     QString::number(share, 'f', 1), value("frames_window_s"),
                     value("frames_gap_ms"), value("skipped"), value("decoder"));
        frames.pass = share >= c.framesPercent;
        const double longest = value("frames_gap_ms").toDouble();
        gap.measured = ms(longest);
        gap.pass = longest <= c.gapMaxMs;
    }
    return collect();
}

} // namespace

QList<Figure> clipFigures(const QString &demo, const QString &clipFolder, bool verbose, bool load)
{
    // Targets on this two-core machine: press to meter (ms), tick error (ms), CPU (% of a
    // core), peak memory (MB), pictures shown (% of the clip's rate).
    // Under load (one busy loop of ordinary priority, or two at nice 19, for the clip's whole
    // length) the same clips with the targets for a lab computer that is busy with something
    // else: CPU and memory are then reported only.
    using Load = BackgroundLoad::Kind;
    // clang-format off
    const ClipCase cases[] = {
        {QStringLiteral("demo clip"), demo, {}, 0, 4.0, 2.0, 10.0, 110.0, 99.0},
        {QStringLiteral("1080p 30 fps"), QStringLiteral("1080p30.avi"), {1920, 1080}, 30,
         8.0, 2.0, 30.0, 150.0, 95.0},
        {QStringLiteral("1080p 60 fps"), QStringLiteral("1080p60.avi"), {1920, 1080}, 60,
         8.0, 2.0, 50.0, 150.0, 90.0},
        {QStringLiteral("2160p 30 fps"), QStringLiteral("2160p30.avi"), {3840, 2160}, 30,
         12.0, 5.0, 100.0, 250.0, 80.0},
        {QStringLiteral("1080p 30 fps"), QStringLiteral("1080p30.avi"), {1920, 1080}, 30,
         8.0, 2.0, 0, 0, 95.0, Load::OneCoreBusy},
        {QStringLiteral("1080p 60 fps"), QStringLiteral("1080p60.avi"), {1920, 1080}, 60,
         8.0, 2.0, 0, 0, 90.0, Load::OneCoreBusy},
        {QStringLiteral("2160p 30 fps"), QStringLiteral("2160p30.avi"), {3840, 2160}, 30,
         12.0, 5.0, 0, 0, 50.0, Load::OneCoreBusy, 250.0},
        {QStringLiteral("1080p 30 fps"), QStringLiteral("1080p30.avi"), {1920, 1080}, 30,
         8.0, 2.0, 0, 0, 95.0, Load::Background19},
        {QStringLiteral("1080p 60 fps"), QStringLiteral("1080p60.avi"), {1920, 1080}, 60,
         8.0, 2.0, 0, 0, 90.0, Load::Background19},
        {QStringLiteral("2160p 30 fps"), QStringLiteral("2160p30.avi"), {3840, 2160}, 30,
         12.0, 5.0, 0, 0, 50.0, Load::Background19, 250.0},
    };
    // clang-format on
    QList<Figure> figures;
    for (const ClipCase &c : cases) {
        if (!load && c.load != Load::None)
            continue;
        QString clip = c.fileName;
        if (c.size.isValid()) {
            clip = clipFolder + QLatin1Char('/') + c.fileName;
            makeClipOnce(clip, c.label, c.size, c.rate); // or its figures read "not measured"
        }
        figures.append(clipRun(c, clip, verbose));
    }
    return figures;
}
