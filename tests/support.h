#pragma once

// What the tests share: records, fakes of the platform adapters, temporary folders and files,
// and a session that drives the real order of screens with those fakes.

#include "dialogs.h"
#include "mediaplayer.h"
#include "runjournal.h"
#include "screenorder.h"
#include "setuprecord.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

inline SetupRecord makeRecord(bool two, const QString &v1 = "Mood", const QString &v2 = "Stress")
{
    SetupRecord r;
    r.SubjectName = "Ann";
    r.Variable = v1;
    r.Variable2Enabled = two;
    r.Variable2 = two ? v2 : QString();
    r.DateText = "6.12.2026";
    r.FileFullPath = "/clips/clip.avi";
    return r;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QStringList visibleWindows()
{
    QStringList names;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << w->objectName();
    names.sort();
    return names;
}

template <typename T = QWidget> T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

inline QString text(QWidget *parent, const char *label)
{
    return child<QLabel>(parent, label)->text();
}

// Dialogs that answer from queues and remember what they were asked.
class FakeDialogs : public Dialogs
{
public:
    QString openFile(QWidget *, const OpenFileRequest &request) override
    {
        openRequests.append(request);
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &fileName, const QString &filter) override
    {
        saveNames.append(fileName);
        saveFilters.append(filter);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void message(QWidget *, const QString &text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &text) override
    {
        questions.append(text);
        return confirmAnswer;
    }

    QStringList openAnswers, saveAnswers;
    bool confirmAnswer = false;
    std::function<void(const QString &)> onMessage;
    QList<OpenFileRequest> openRequests;
    QStringList saveNames, saveFilters, messages, questions;
};

// A player that plays nothing: tests set the length and raise errors themselves.
class FakeMediaPlayer : public MediaPlayer
{
public:
    ~FakeMediaPlayer() override { delete m_view.data(); }
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setUrl(const QString &path) override { url = path; }
    double duration() const override { return m_duration; }
    double position() const override { return -1.0; }
    void close() override { ++closeCalls; }

    // As the real player does: the length arrives some time after setUrl.
    void arrive(double seconds)
    {
        m_duration = seconds;
        emit durationChanged(seconds);
    }
    void fail(const QString &reason) { emit errorOccurred(reason); }

    QString url;
    int closeCalls = 0;

private:
    // The screen that shows the view owns it from then on and may delete it first.
    QPointer<QWidget> m_view;
    double m_duration = 0.0;
};

// The real order of screens in a temporary application directory, driven as an operator would.
struct Session
{
    // A copy of the program of its own, or a second one in the folder of another.
    explicit Session(const Session *sameFolder = nullptr)
        : home(sameFolder ? sameFolder->home : dir.path()), order(dialogs, player, home)
    {
    }
    ~Session() { order.closeAll(); }

    VariableForm &toSetupForm()
    {
        order.start();
        order.splash()->handOver();
        return *order.variableForm();
    }
    // Fills the setup form and presses "Ok"; the clip is the open dialog's answer.
    void toInstructions(bool two, const QString &v2 = "Stress", const QString &clip = "/c/a.avi")
    {
        VariableForm &form = toSetupForm();
        child<QLineEdit>(&form, "Text1")->setText("Ann");
        child<QLineEdit>(&form, "Text2")->setText("Mood");
        child<QLineEdit>(&form, "Text3")->setText("6.12.2026");
        if (two) {
            child<QCheckBox>(&form, "Check1")->click();
            child<QLineEdit>(&form, "Text4")->setText(v2);
        }
        dialogs.openAnswers = {clip};
        child<QPushButton>(&form, "Command1")->click();
    }
    MainForm &toRating(bool two)
    {
        toInstructions(two);
        child<QPushButton>(order.instructionsForm(), "Command1")->click();
        return *order.mainForm();
    }
    // The clip's length arrives at Timer4's first tick; then as many recording ticks.
    MainForm &record(bool two, double seconds, int ticks,
                     const std::function<void(MainForm &, int)> &beforeTick = {})
    {
        MainForm &rating = toRating(two);
        player.arrive(seconds);
        rating.checkLength();
        for (int tick = 1; tick <= ticks; ++tick) {
            if (beforeTick)
                beforeTick(rating, tick);
            rating.recordSample();
        }
        return rating;
    }
    OutputForm &finish()
    {
        child<QPushButton>(order.mainForm(), "Command3")->click();
        return *order.outputForm();
    }
    QString path(const QString &name) const { return home + '/' + name; }

    QTemporaryDir dir;
    QString home;
    FakeDialogs dialogs;
    FakeMediaPlayer player;
    ScreenOrder order;
};
