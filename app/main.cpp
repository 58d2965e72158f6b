#include "dialogs.h"
#include "files.h"
#include "gstmediaplayer.h"
#include "screenorder.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::prepareEnvironment();
    QApplication app(argc, argv);
    Startup::prepareApplication();

    QtDialogs dialogs;
    GstMediaPlayer player;
    ScreenOrder screens(dialogs, player, Files::applicationDirectory());
    QObject::connect(&screens, &ScreenOrder::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    screens.start();
    return app.exec();
}
