#include "collatedialogs.h"
#include "collatewindow.h"
#include "commandline.h"
#include "gstmediaplayer.h"
#include "sessionbus.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QtMessageHandler qtHandler = nullptr;

// Qt notes on stderr that it made a runtime folder of its own when the session names none, as on
// any headless machine. The command line never uses that folder, and scripts take anything on
// stderr for a failure: that one note is dropped, every other message passes.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char *argv[])
{
    // The mode is known before any application object exists, which it must be: a script run
    // on a machine without a display may not need one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Options options = CommandLine::parse(arguments);
    if (const auto text = CommandLine::answer(options)) {
        std::fputs(text->toLocal8Bit().constData(), stdout);
        return CommandLine::Success;
    }
    if (!options.error.isEmpty()) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return CommandLine::run(options, out, err);
    }

    if (!CommandLine::wantsWindow(options)) {
        qtHandler = qInstallMessageHandler(quietHandler);
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Fonts for the chart's text come with the GUI application; widgets are not needed.
        QGuiApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return CommandLine::run(options, out, err);
    }

    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    neverStartASessionBus();
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QtCollateDialogs dialogs;
    GstMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.show();
    window.addFiles(options.files);
    return app.exec();
}
