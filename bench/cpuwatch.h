#pragma once

#include <QMap>
#include <QString>

#include <sys/types.h>

#include <utility>
#include <vector>

// Where the process's CPU time goes, thread by thread, from /proc/self/task: GStreamer names its
// streaming threads after the element whose task they run ("multiqueue0:src" decodes,
// "vqueue:src" converts and hands the picture over), the interface thread is the program's.
class ThreadTimes
{
public:
    ThreadTimes();
    // Each name's share of one core since construction (threads of one name summed), largest
    // first, at most `most` of them: "dialtrace-bench 6.1, multiqueue0:src 18.2".
    QString sharesSince(double wallSeconds, int most = 5) const;

private:
    // Thread id to name and CPU ticks.
    QMap<int, std::pair<QString, qint64>> m_start;
};

// Other work on the computer while a clip plays, started by the benchmark and stopped when it
// goes: busy loops of ordinary priority or at nice 19, each its own process.
class BackgroundLoad
{
public:
    enum class Kind
    {
        None,
        OneCoreBusy, // one busy loop at nice 0
        Background19 // two busy loops at nice 19
    };
    explicit BackgroundLoad(Kind kind);
    ~BackgroundLoad();
    BackgroundLoad(const BackgroundLoad &) = delete;
    BackgroundLoad &operator=(const BackgroundLoad &) = delete;

    // What a figure's name gets added: ", one core busy", ", background at nice 19".
    static QString suffix(Kind kind);

private:
    std::vector<pid_t> m_loops;
};
