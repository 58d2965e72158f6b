#include "appicon.h"
#include "dialogs.h"
#include "files.h"
#include "qtmediaplayer.h"
#include "screenorder.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setWindowIcon(applicationIcon());
    // The screens are laid out in fixed positions for a small, narrow dialog font.
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    // Hidden screens keep the run's state; the program ends when the order of screens says so,
    // not when the last visible window goes.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    QtMediaPlayer player;
    ScreenOrder screens(dialogs, player, Files::applicationDirectory());
    QObject::connect(&screens, &ScreenOrder::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    screens.start();
    return app.exec();
}
