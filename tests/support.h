#pragma once

// What the tests share beyond the fakes and the session of testsupport/: records, events, files
// and the windows shown.

#include "failingdisk.h"
#include "ratingstate.h"
#include "session.h"
#include "testmain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <csignal>
#include <sys/resource.h>

inline SetupRecord makeRecord(bool two, const QString &v1 = "Mood", const QString &v2 = "Stress")
{
    return {"Ann", v1, two ? v2 : QString(), "6.12.2026", two, "/clips/clip.avi"};
}

// A stored sample as the rating screen hands it to the journal, a second a row.
inline RunEvent sample(int row, int level1, int level2)
{
    return {(row - 1) * 1000, RunEvent::NoMedia, RunEvent::Kind::Sample, 0, level1, level2, row};
}

// A journal as a run that ended leaves it, written through the real journal and let go: rows 2
// on hold level row % 6.
inline const QDateTime Started({2026, 12, 6}, {10, 54});
inline QString leaveJournal(const QString &dir, const SetupRecord &record, int samples,
                            const QString &computer = Journal::thisComputer(),
                            const Journal::StudyPlace &study = {})
{
    RunJournal journal(dir, record, false, Started, computer, study);
    for (int row = 2; row < samples + 2; ++row)
        journal.append(61, sample(row, qint16(row % 6), 0));
    journal.flush();
    return journal.path();
}

// Writes past bytes fail as on a full disk, instead of SIGXFSZ ending the process, for as long as
// this lives; the limit and the signal's handling there were come back when it goes, also where a
// check returns early.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(bytes), m_before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before{};
    void (*m_handler)(int) = SIG_DFL;
};

// The files in dir that pattern matches, hidden ones too, by name.
inline QStringList files(const QString &dir, const QString &pattern = QStringLiteral("*"))
{
    return QDir(dir).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
}

inline QStringList journals(const QString &dir)
{
    return files(dir, QStringLiteral("*") + RunJournal::Suffix);
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

// What a key or the wheel does to the rating screen, as the window system delivers it to the
// control under the focus or the pointer.
inline void sendKey(QWidget *to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(to, &release);
}

inline void sendWheel(QWidget *to, QPoint angle)
{
    const QPointF at(to->width() / 2.0, to->height() / 2.0);
    QWheelEvent wheel(at, to->mapToGlobal(at), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &wheel);
}

// "L1 L2 / I1 D1 I2 D2": the levels, then the presses counted up and down of each variable.
inline QString levelsAndCounts(const RatingState &s)
{
    return QStringLiteral("%1 %2 / %3 %4 %5 %6")
        .arg(s.Level1)
        .arg(s.Level2)
        .arg(s.IncreaseClicks1)
        .arg(s.DecreaseClicks1)
        .arg(s.IncreaseClicks2)
        .arg(s.DecreaseClicks2);
}

inline QString text(QWidget *parent, const char *label)
{
    return child<QLabel>(parent, label)->text();
}
