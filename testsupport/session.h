#pragma once

// The real order of screens in an application directory, driven as an operator would: the
// splash, the setup form, the instructions, the rating screen and the results screen.

#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "screenorder.h"

#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>

// A control by its objectName; a missing one is a mistake in the caller, so it stops the
// program with its name rather than handing back a null to crash on later.
template <typename T = QWidget> T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

class Session
{
    // The temporary application directory of a session given none; before home, which lies in
    // it.
    std::unique_ptr<QTemporaryDir> m_folder;

public:
    // A copy of the program of its own in a temporary folder, or a second one in the folder of
    // another, playing through the fake player.
    explicit Session(const Session *sameFolder = nullptr);
    // The program in the caller's folder (none: a temporary one), playing through the fake
    // player or through the caller's (the real one).
    explicit Session(const QString &applicationDirectory, MediaPlayer *realPlayer = nullptr);
    ~Session();

    VariableForm &toSetupForm();
    // Fills the setup form with subject and variable and presses "Ok"; the clip is the open
    // dialog's answer.
    void toInstructions(bool two, const QString &v2 = QStringLiteral("Stress"),
                        const QString &clip = QStringLiteral("/c/a.avi"));
    // On through the instructions; null where the rating screen did not come.
    MainForm *toRating(bool two, const QString &clip = QStringLiteral("/c/a.avi"));
    // On the fake player: the clip's length arrives at Timer4's first tick; then as many
    // recording ticks, a second apart on the run's clock.
    MainForm &record(bool two, double seconds, int ticks,
                     const std::function<void(MainForm &, int)> &beforeTick = {});
    // Presses "Finished!".
    OutputForm &finish();
    QString path(const QString &name) const { return home + QLatin1Char('/') + name; }

    QString home;
    QString subject = QStringLiteral("Ann"), variable = QStringLiteral("Mood");
    // The run's monotonic clock in milliseconds, moved by the caller alone, where the session
    // plays through the fake player: nothing plays there in real time. With a real player the
    // run keeps the program's own clock.
    qint64 now = 0;
    FakeDialogs dialogs;
    // What the run plays through unless the session was given a real player.
    FakeMediaPlayer player;
    ScreenOrder order;

private:
    bool m_onFake = true;
};
