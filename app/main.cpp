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
    QString refusal;
    const auto study = Startup::study(QCoreApplication::arguments().mid(1), &refusal);
    // A study that cannot be run is refused before anything starts, and nothing is written.
    if (!refusal.isEmpty()) {
        dialogs.message(nullptr, refusal);
        return 2;
    }
    GstMediaPlayer player;
    ScreenOrder screens(dialogs, player, Files::applicationDirectory());
    if (study)
        screens.setStudy(*study);
    QObject::connect(&screens, &ScreenOrder::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    screens.start();
    return app.exec();
}
