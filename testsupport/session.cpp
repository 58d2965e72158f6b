#include "session.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

Session::Session(const Session *sameFolder) : Session(sameFolder ? sameFolder->home : QString()) {}

Session::Session(const QString &applicationDirectory, MediaPlayer *realPlayer)
    : m_folder(applicationDirectory.isEmpty() ? std::make_unique<QTemporaryDir>() : nullptr),
      home(m_folder ? m_folder->path() : applicationDirectory),
      order(dialogs, realPlayer ? *realPlayer : player, home), m_onFake(!realPlayer)
{
    if (m_onFake)
        order.setClock([this] { return now; });
}

Session::~Session()
{
    order.closeAll();
}

VariableForm &Session::toSetupForm()
{
    order.start();
    order.splash()->handOver();
    if (!order.variableForm())
        qFatal("the setup form did not come");
    return *order.variableForm();
}

void Session::toInstructions(bool two, const QString &v2, const QString &clip)
{
    VariableForm &form = toSetupForm();
    child<QLineEdit>(&form, "Text1")->setText(subject);
    child<QLineEdit>(&form, "Text2")->setText(variable);
    child<QLineEdit>(&form, "Text3")->setText(QStringLiteral("6.12.2026"));
    if (two) {
        child<QCheckBox>(&form, "Check1")->click();
        child<QLineEdit>(&form, "Text4")->setText(v2);
    }
    dialogs.openAnswers = {clip};
    child<QPushButton>(&form, "Command1")->click();
}

MainForm *Session::toRating(bool two, const QString &clip)
{
    toInstructions(two, QStringLiteral("Stress"), clip);
    if (!order.instructionsForm())
        return nullptr;
    child<QPushButton>(order.instructionsForm(), "Command1")->click();
    return order.mainForm();
}

MainForm &Session::record(bool two, double seconds, int ticks,
                          const std::function<void(MainForm &, int)> &beforeTick)
{
    if (!m_onFake)
        qFatal("a recording by hand needs the fake player and the run's clock");
    MainForm *rating = toRating(two);
    if (!rating)
        qFatal("the rating screen did not come");
    player.arrive(seconds);
    rating->checkLength();
    const qint64 started = now;
    for (int tick = 1; tick <= ticks; ++tick) {
        if (beforeTick)
            beforeTick(*rating, tick);
        now = started + tick * 1000;
        rating->recordSample();
    }
    return *rating;
}

OutputForm &Session::finish()
{
    child<QPushButton>(order.mainForm(), "Command3")->click();
    return *order.outputForm();
}
