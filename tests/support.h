#pragma once

// What the tests share: records, fakes of the platform adapters, temporary folders and files,
// and a session that drives the real order of screens with those fakes.

#include "dialogs.h"
#include "disk.h"
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
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <functional>

#include <fcntl.h>

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

// A stored sample as the rating screen hands it to the journal, a second a row.
inline RunEvent sample(int row, int level1, int level2)
{
    RunEvent event;
    event.kind = RunEvent::Kind::Sample;
    event.row = row;
    event.level1 = level1;
    event.level2 = level2;
    event.time = (row - 1) * 1000;
    return event;
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
    // A picture with a position slider, as the real player's.
    QWidget *view() override
    {
        if (!m_view) {
            m_view = new QWidget;
            auto *seek = new QSlider(Qt::Horizontal, m_view);
            seek->setObjectName("seek");
            seek->setRange(0, 1000);
            seek->setValue(500);
        }
        return m_view;
    }
    void setUrl(const QString &path) override { url = path; }
    double duration() const override { return m_duration; }
    void close() override { ++closeCalls; }
    double position() const override { return playing; }
    void setPlaying(bool play) override { running = play; }
    bool isPlaying() const override { return running; }
    void seekTo(double seconds) override { playing = seconds; }

    // As the real player does: the length arrives some time after setUrl.
    void arrive(double seconds)
    {
        m_duration = seconds;
        emit durationChanged(seconds);
    }
    void fail(const QString &reason) { emit errorOccurred(reason); }
    // The subject uses the player's controls; a seek moves the position.
    void use(Control control, double seconds)
    {
        if (control == Control::Seek)
            playing = seconds;
        emit controlUsed(control, seconds);
    }

    QString url;
    int closeCalls = 0;
    double playing = -1.0; // the position it reports; negative: none
    bool running = false;

private:
    // The screen that shows the view owns it from then on and may delete it first.
    QPointer<QWidget> m_view;
    double m_duration = 0.0;
};

// The disk as the program sees it, failing where a test says; in use while it exists. The
// journal's writer calls it from its own thread.
class FailingDisk : public Disk
{
public:
    FailingDisk() { Disk::use(this); }
    ~FailingDisk() override { Disk::use(nullptr); }

    int lockExclusive(int fd) override
    {
        // As on NFS, where a lock is a write lock: a descriptor open for reading only cannot
        // take it.
        if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY)
            return EBADF;
        return lockError ? lockError.load() : Disk::lockExclusive(fd);
    }
    int syncData(int fd) override
    {
        // A positive count fails that many syncs; a negative one fails every sync.
        if (syncFailures != 0) {
            if (syncFailures > 0)
                --syncFailures;
            return EIO;
        }
        return Disk::syncData(fd);
    }
    int createExclusive(const QString &path, int *fd) override
    {
        const QString name = path.section('/', -1);
        if (name.toUtf8().size() > longestName)
            return ENAMETOOLONG;
        if (!refusedNames.isEmpty() && name.startsWith(refusedNames))
            return EACCES;
        return Disk::createExclusive(path, fd);
    }
    bool isShared(const QString &) override { return shared; }

    std::atomic<int> lockError{0};
    std::atomic<int> syncFailures{0};
    std::atomic<int> longestName{255};
    QString refusedNames; // set before anything runs: files whose names begin so are refused
    bool shared = false;
};

// The real order of screens in a temporary application directory, driven as an operator would.
struct Session
{
    // A copy of the program of its own, or a second one in the folder of another.
    explicit Session(const Session *sameFolder = nullptr)
        : home(sameFolder ? sameFolder->home : dir.path()), order(dialogs, player, home)
    {
        order.setClock([this] { return now; });
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
    // The clip's length arrives at Timer4's first tick; then as many recording ticks, a second
    // apart on the run's clock.
    MainForm &record(bool two, double seconds, int ticks,
                     const std::function<void(MainForm &, int)> &beforeTick = {})
    {
        MainForm &rating = toRating(two);
        player.arrive(seconds);
        rating.checkLength();
        const qint64 started = now;
        for (int tick = 1; tick <= ticks; ++tick) {
            if (beforeTick)
                beforeTick(rating, tick);
            now = started + tick * 1000;
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
    qint64 now = 0; // the run's monotonic clock, in milliseconds
    FakeDialogs dialogs;
    FakeMediaPlayer player;
    ScreenOrder order;
};
