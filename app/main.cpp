#include "cliplengths.h"
#include "dialogs.h"
#include "files.h"
#include "gstmediaplayer.h"
#include "screenorder.h"
#include "sdlcontroller.h"
#include "startup.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before any window system is asked for, so that they work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (const auto text = Startup::answer(arguments)) {
        std::fputs(text->toLocal8Bit().constData(), stdout);
        return 0;
    }
    Startup::prepareEnvironment();
    QApplication app(argc, argv);
    Startup::prepareApplication();

    QtDialogs dialogs;
    QString refusal;
    const InputMode input =
        Startup::input(arguments, Files::applicationDirectory(), &refusal);
    GstClipLengths lengths;
    const auto study =
        refusal.isEmpty() ? Startup::study(arguments, lengths, &refusal) : std::nullopt;
    // A study that cannot be run is refused before anything starts, and nothing is written.
    if (!refusal.isEmpty()) {
        dialogs.message(nullptr, refusal);
        return 2;
    }
    GstMediaPlayer player;
    // Game controllers and joysticks are read from here on, plugged in now or later.
    SdlController controller;
    ScreenOrder screens(dialogs, player, Files::applicationDirectory());
    screens.setInput(input);
    screens.setController(&controller);
    if (study)
        screens.setStudy(*study);
    QObject::connect(&screens, &ScreenOrder::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    screens.start();
    return app.exec();
}
