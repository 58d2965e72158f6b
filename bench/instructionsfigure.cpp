#include "benchsupport.h"
#include "figures.h"

#include "instructionsform.h"

int childInstructions(const QString &directory)
{
    SetupRecord record;
    record.SubjectName = QStringLiteral("Bench");
    record.Variable = QStringLiteral("Trust");
    QElapsedTimer clock;
    clock.start();
    InstructionsForm form(record, directory);
    form.show();
    if (!waitFor([&] { return isOnScreen(&form); }, 60000, 5)) {
        answer("error", QStringLiteral("the instructions screen never showed"));
        return 1;
    }
    syncWithDisplay();
    // Answering: an event posted now is handled at once.
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    spinUntil([&] { return handled; }, 60000);
    answer("answering_ms", QString::number(double(clock.nsecsElapsed()) / 1e6, 'f', 1));
    answer("vmhwm_kb", QString::number(peakResidentKilobytes()));
    return 0;
}

Figure hugeInstructions(bool verbose, const QString &workDirectory)
{
    Figure figure{QStringLiteral("Instructions.txt of 50 MB"),
                  {},
                  QStringLiteral("screen answers <= 1000 ms; peak RSS <= 150 MB"),
                  false,
                  false};
    const QString directory = workDirectory + QStringLiteral("/instructions");
    QDir().mkpath(directory);
    QFile file(directory + QStringLiteral("/Instructions.txt"));
    const QByteArray line = "Press the buttons whenever you feel the level change. \x80 \xE9\r\n";
    if (!file.open(QIODevice::WriteOnly)) {
        figure.measured = QStringLiteral("not measured: ") + file.errorString();
        return figure;
    }
    for (qint64 size = 0; size < 50 * 1024 * 1024; size += line.size() * 1000)
        file.write(line.repeated(1000));
    file.close();
    progress(QStringLiteral("instructions screen with a 50 MB Instructions.txt"));
    const auto values =
        runChild({QStringLiteral("--child-instructions"), directory}, 120000, verbose);
    QFile::remove(file.fileName());
    if (values.contains(QStringLiteral("error"))) {
        figure.measured = QStringLiteral("not measured: ") + values.value(QStringLiteral("error"));
        return figure;
    }
    const double milliseconds = values.value(QStringLiteral("answering_ms")).toDouble();
    const double megabytes = values.value(QStringLiteral("vmhwm_kb")).toDouble() / 1024.0;
    figure.measuredAtAll = true;
    figure.measured = QStringLiteral("answering after %1, VmHWM %2 MB")
                          .arg(ms(milliseconds), QString::number(megabytes, 'f', 1));
    figure.pass = milliseconds <= 1000.0 && megabytes > 0 && megabytes <= 150.0;
    return figure;
}
