#include "videofigure.h"

#include "benchsupport.h"
#include "resultsfile.h"
#include "scale.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

constexpr int ClipSeconds = 20;
constexpr double MemoryTarget = 300.0; // MB

struct Size
{
    int width;
    int height;
    double speedTarget; // times real time
};

// A run as a subject makes it: the level wanders in steps of one.
QByteArray run(int index, QRandomGenerator &random)
{
    ResultsRun run;
    run.subject = QStringLiteral("Subject %1").arg(index);
    run.date = QStringLiteral("1.1.2026");
    run.variables = {QStringLiteral("Trust")};
    run.levels = {QList<qint8>(2, ResultsRun::Gap)};
    qint8 level = 0;
    for (int row = 2; row <= ClipSeconds; ++row) {
        level = qint8(std::clamp(level + random.bounded(-1, 2), Scale::Bottom, Scale::Top));
        run.levels[0].append(level);
    }
    return ResultsFile::bytes(run);
}

} // namespace

QList<Figure> videoFigures(const QString &workDirectory)
{
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/dialtrace-collate");
    QRandomGenerator random(20260102);
    QStringList runs;
    for (int i = 1; i <= 3; ++i) {
        const QString path = workDirectory + QStringLiteral("/video-run%1.csv").arg(i);
        QFile file(path);
        const QByteArray bytes = run(i, random);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            runs.append(path);
    }
    QList<Figure> figures;
    for (const Size &size : {Size{1280, 720, 2.0}, Size{1920, 1080, 1.0}}) {
        const QString label = QStringLiteral("%1x%2").arg(size.width).arg(size.height);
        Figure speed{
            QStringLiteral("video with the trace, %1 30 fps, %2 s").arg(label).arg(ClipSeconds),
            {},
            QStringLiteral(">= %1x real time").arg(size.speedTarget),
            false,
            false};
        Figure memory{QStringLiteral("memory, writing the %1 video (peak resident)").arg(label),
                      {},
                      QStringLiteral("< %1 MB").arg(MemoryTarget),
                      false,
                      false};
        const QString clip = workDirectory + QStringLiteral("/video-%1.mp4").arg(label);
        const QString out = workDirectory + QStringLiteral("/video-%1-trace.mp4").arg(label);
        progress(QStringLiteral("the trace over a 20 s %1 clip").arg(label));
        double seconds = 0;
        qint64 kilobytes = 0;
        int status = -1;
        QString why;
        if (runs.size() != 3 || !QFileInfo(program).isExecutable())
            why = QStringLiteral("no runs or no ") + program;
        // A picture that moves everywhere, as an encoder finds in a real clip, and a tone.
        else if (const QString error =
                     makeClip(clip, ClipSeconds, {QSize(size.width, size.height), 30, 0, true});
                 !error.isEmpty())
            why = error;
        else if (!runProgram(QStringList{program, "--force", "--video", clip, "--worm", out} + runs,
                             &seconds, &kilobytes, &status) ||
                 status != 0 || !QFileInfo(out).isFile())
            why = QStringLiteral("dialtrace-collate failed (status %1)").arg(status);
        if (!why.isEmpty()) {
            speed.measured = memory.measured = QStringLiteral("not measured: ") + why;
            figures << speed << memory;
            continue;
        }
        const double times = ClipSeconds / seconds;
        const double megabytes = static_cast<double>(kilobytes) / 1024.0;
        speed.measured = QStringLiteral("%1x real time (%2 s, start-up included)")
                             .arg(QString::number(times, 'f', 2), QString::number(seconds, 'f', 1));
        speed.pass = times >= size.speedTarget;
        memory.measured = QString::number(megabytes, 'f', 1) + QStringLiteral(" MB");
        memory.pass = megabytes < MemoryTarget;
        speed.measuredAtAll = memory.measuredAtAll = true;
        figures << speed << memory;
    }
    return figures;
}
