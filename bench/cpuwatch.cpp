#include "cpuwatch.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QMap<int, std::pair<QString, qint64>> threadTicks()
{
    QMap<int, std::pair<QString, qint64>> ticks;
    for (const QString &task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        // After the name: state is field 3, utime 14 and stime 15.
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        ticks.insert(task.toInt(), {QString::fromUtf8(text.mid(open + 1, close - open - 1)),
                                    fields.value(11).toLongLong() + fields.value(12).toLongLong()});
    }
    return ticks;
}

} // namespace

ThreadTimes::ThreadTimes() : m_start(threadTicks()) {}

QString ThreadTimes::sharesSince(double wallSeconds, int most) const
{
    QMap<QString, qint64> byName;
    const auto now = threadTicks();
    for (auto it = now.begin(); it != now.end(); ++it)
        byName[it->first] += it->second - m_start.value(it.key(), {QString(), 0}).second;
    std::vector<std::pair<qint64, QString>> sorted;
    for (auto it = byName.begin(); it != byName.end(); ++it)
        sorted.emplace_back(it.value(), it.key());
    std::sort(sorted.rbegin(), sorted.rend());
    QStringList parts;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const auto &[ticks, name] : sorted) {
        if (int(parts.size()) >= most || ticks <= 0)
            break;
        parts.append(QStringLiteral("%1 %2").arg(name).arg(
            QString::number(100.0 * double(ticks) / tick / wallSeconds, 'f', 1)));
    }
    return parts.join(QStringLiteral(", "));
}

BackgroundLoad::BackgroundLoad(Kind kind)
{
    const int count = kind == Kind::OneCoreBusy ? 1 : kind == Kind::Background19 ? 2 : 0;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            // Ends with the benchmark, whatever becomes of it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (kind == Kind::Background19)
                setpriority(PRIO_PROCESS, 0, 19);
            for (volatile unsigned long n = 0;; n = n + 1) {
            }
        }
        if (pid > 0)
            m_loops.push_back(pid);
    }
}

BackgroundLoad::~BackgroundLoad()
{
    for (const pid_t pid : m_loops) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

QString BackgroundLoad::suffix(Kind kind)
{
    switch (kind) {
    case Kind::OneCoreBusy:
        return QStringLiteral(", one core busy");
    case Kind::Background19:
        return QStringLiteral(", background at nice 19");
    case Kind::None:
        break;
    }
    return QString();
}
