#include "collatedialogs.h"
#include "collatewindow.h"
#include "commandline.h"
#include "gstmediaplayer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The mode is known before any application object exists, which it must be: a script run
    // on a machine without a display may not need one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Options options = CommandLine::parse(arguments);

    if (!CommandLine::wantsWindow(options)) {
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QtCollateDialogs dialogs;
    GstMediaPlayer player;
    CollateWindow window(dialogs, player);
    window.show();
    window.addFiles(options.files);
    return app.exec();
}
