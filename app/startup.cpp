#include "startup.h"

#include "appicon.h"
#include "cliplengths.h"
#include "dialogs.h"
#include "recordtable.h"
#include "sessionbus.h"
#include "settingsfile.h"

#include <QApplication>
#include <QFont>

namespace {

// One problem for each clip of the study that cannot be played or is too long to rate, the
// practice clip last, as the study file's own problems are named.
QStringList clipProblems(const Study &study, ClipLengths &lengths)
{
    QStringList problems;
    const auto check = [&](const QString &field, const QString &written) {
        const ClipLengths::Length length = lengths.length(study.clipPath(written));
        if (!length.problem.isEmpty())
            problems.append(QStringLiteral("\"%1\": \"%2\" cannot be played. %3")
                                .arg(field, written, length.problem));
        else if (Recording::isTooLong(length.seconds))
            problems.append(
                QStringLiteral("\"%1\": \"%2\" lasts %3 seconds; a clip may last %4 at most")
                    .arg(field, written, QString::number(length.seconds),
                         QString::number(Recording::LongestClip)));
    };
    for (const QString &clip : study.clips)
        check(QStringLiteral("clips"), clip);
    if (!study.practice.isEmpty())
        check(QStringLiteral("practice"), study.practice);
    return problems;
}

} // namespace

namespace Startup {

std::optional<QString> answer(const QStringList &arguments)
{
    if (arguments.size() != 1)
        return std::nullopt;
    if (arguments[0] == QLatin1String("--version"))
        return QStringLiteral("dialtrace " DIALTRACE_VERSION "\n");
    if (arguments[0] != QLatin1String("--help") && arguments[0] != QLatin1String("-h"))
        return std::nullopt;
    return QStringLiteral(
        "usage: dialtrace [--study FILE]\n"
        "       dialtrace [--input steps|position]\n"
        "       dialtrace --help | --version\n"
        "Records continuous responses to a clip: the subject moves one or two levels from -5 to\n"
        "+5 while it plays, and the levels are stored once a second.\n"
        "  --input MODE  how the subject rates: steps (each press moves a level a step,\n"
        "                and levels fall back to 0) or position (the level is where the\n"
        "                subject holds it, in tenths); default: dialtrace.conf's input\n"
        "                beside the program, or steps\n"
        "  --study FILE  run a study: its clips for one participant after another, the results\n"
        "                in its results folder (docs/studies.md describes the study file)\n"
        "  --help        print this and end\n"
        "  --version     print the version and end\n"
        "Without options the setup form asks for the subject, the variables and the clip.\n"
        "Exit status: 0, or 2 for a study file or command line that cannot be used.\n");
}

InputMode input(QStringList &arguments, const QString &applicationDirectory, QString *message)
{
    std::optional<QString> given;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--input")) {
            given = arguments.value(i + 1);
            arguments.remove(i, qMin<qsizetype>(2, arguments.size() - i));
            break;
        }
        if (arguments[i].startsWith(QLatin1String("--input="))) {
            given = arguments.takeAt(i).mid(8);
            break;
        }
    }
    if (given) {
        const auto mode = Input::fromName(*given);
        if (!mode)
            *message = QStringLiteral("Dialtrace was started with \"--input %1\": the input is "
                                      "\"steps\" or \"position\".")
                           .arg(*given);
        else if (!arguments.isEmpty())
            *message = QStringLiteral("--input is for single runs: a study's file says how its "
                                      "clips are rated (\"input\").");
        return mode.value_or(InputMode::Steps);
    }
    // A study's file says its own; the settings are for single runs.
    if (!arguments.isEmpty())
        return InputMode::Steps;
    const SettingsFile::Settings settings = SettingsFile::read(applicationDirectory);
    if (!settings.problems.isEmpty())
        *message = QStringLiteral("The settings file \"%1\" cannot be used:\n\n")
                       .arg(SettingsFile::path(applicationDirectory)) +
                   settings.problems.join(QLatin1Char('\n'));
    return settings.input.value_or(InputMode::Steps);
}

std::optional<Study> study(const QStringList &arguments, ClipLengths &lengths, QString *message)
{
    QString path;
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--study"))
        path = arguments[1];
    else if (arguments.size() == 1 && arguments[0].startsWith(QLatin1String("--study=")))
        path = arguments[0].mid(8);
    if (path.isEmpty()) {
        *message = arguments.isEmpty()
                       ? QString()
                       : QStringLiteral("Dialtrace was started with \"%1\", which it does not "
                                        "understand. To run a study: dialtrace --study FILE")
                             .arg(arguments.join(QLatin1Char(' ')));
        return std::nullopt;
    }
    QStringList problems;
    auto found = StudyFile::read(path, &problems);
    // Clips only once the file is sound: each of them is there then.
    if (found)
        problems = clipProblems(*found, lengths);
    if (problems.isEmpty())
        return found;
    *message = QStringLiteral("The study file \"%1\" cannot be used:\n\n").arg(path) +
               problems.join(QLatin1Char('\n'));
    return std::nullopt;
}

void prepareEnvironment()
{
    neverStartASessionBus();
    // Nothing here draws through OpenGL or Vulkan: the player's pictures are finished by
    // GStreamer in software and painted like any widget. A GL or Vulkan stack (software
    // drivers bring LLVM along) would cost some 50 MB each for nothing, so none is let in, even
    // by a plug-in. Settings the user made win.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (!qEnvironmentVariableIsSet("VK_ICD_FILENAMES") &&
        !qEnvironmentVariableIsSet("VK_DRIVER_FILES"))
        qputenv("VK_ICD_FILENAMES", "/dev/null");
}

void prepareApplication()
{
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setWindowIcon(applicationIcon());
    // The screens are laid out in fixed positions for a small, narrow dialog font.
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    // Hidden screens keep the run's state; the program ends when the order of screens says so,
    // not when the last visible window goes.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace Startup
