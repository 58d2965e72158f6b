#include "runjournal.h"

#include "runevents.h"

#include "disk.h"
#include "files.h"
#include "lockedfile.h"
#include "scale.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <atomic>

namespace {

// A live run touches its journal at least this often, so that another computer can tell a run
// that goes on from one that ended, where it cannot see the lock.
constexpr auto Heartbeat = std::chrono::seconds(60);
// How soon a journal that could not be saved is tried again, also when no sample comes.
constexpr auto Retry = std::chrono::seconds(1);
// How long an event may wait for the writer: a press does not wake it, since waking a thread
// can cost the interface thread its processor for a while, and a press must never wait.
constexpr auto Gather = std::chrono::milliseconds(200);

std::atomic<int> Serial{0};

// Written under a name no reader looks at, locked, synced, and only then given its own name,
// which it never takes from another file: a journal that exists is whole from its first sample
// on, and always locked by a live run.
int create(const QString &path, const QByteArray &bytes, int *fd)
{
    Disk &disk = Disk::current();
    const QString part = path + QStringLiteral(".part");
    int error = disk.createExclusive(part, fd);
    if (error)
        return error;
    qsizetype written = 0;
    error = disk.lockExclusive(*fd);
    if (!error)
        error = disk.write(*fd, bytes.constData(), bytes.size(), &written);
    if (!error)
        error = disk.syncData(*fd);
    if (!error)
        error = Files::renameNoReplace(part, path);
    if (error) {
        Files::removeAndClose(*fd, part);
        *fd = -1;
        return error;
    }
    // The journal is whole and synced; a folder that cannot be synced only makes its name less
    // sure to outlive a power cut, which is no reason to give it up.
    Files::syncDirectory(QFileInfo(path).absolutePath());
    return 0;
}

} // namespace

struct RunJournal::File
{
    int fd = -1;
    QString path;
    qsizetype written = 0; // bytes of the content known to be on the disk
    bool failing = false;
};

RunJournal::RunJournal(const QString &directory, const SetupRecord &record, bool twoVariables,
                       const QDateTime &started, const QString &computer,
                       const Journal::StudyPlace &study)
    : m_directory(directory)
{
    m_stem = QStringLiteral("run-%1-%2")
                 .arg(started.toString(QStringLiteral("yyyyMMdd-HHmmsszzz")),
                      QString::number(QCoreApplication::applicationPid()));
    m_computer = Journal::fileNamePart(computer);
    m_header = Journal::header(record, twoVariables, started, computer, study);
    m_input = record.Input;
    m_writer = std::thread(&RunJournal::write, this);
}

RunJournal::~RunJournal()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

void RunJournal::append(int lastRow, const RunEvent &sample)
{
    QElapsedTimer clock;
    clock.start();
    pushLine(Journal::sampleLine(sample, lastRow, m_input));
    m_longestAppend = std::max(m_longestAppend, clock.nsecsElapsed());
}

void RunJournal::append(const RunEvent &event)
{
    QElapsedTimer clock;
    clock.start();
    pushLine(Journal::eventLine(event, m_input), false);
    m_longestAppend = std::max(m_longestAppend, clock.nsecsElapsed());
}

void RunJournal::startRecording(qint64 origin)
{
    pushLine(Journal::originLine(origin));
}

void RunJournal::noteSaved(const QStringList &files, bool complete, int seconds)
{
    pushLine(Journal::savedLine(files, complete, seconds));
}

void RunJournal::pushLine(const QByteArray &line, bool wake)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_discarded)
            return;
        m_queue.push_back(line);
    }
    if (wake)
        m_wake.notify_one();
}

void RunJournal::discard()
{
    {
        std::lock_guard lock(m_mutex);
        m_discarded = true;
        m_remove = true;
        m_queue.clear();
    }
    // The writer takes the file away; nothing here waits for the disk.
    m_wake.notify_one();
}

void RunJournal::setProblemHandler(std::function<void(const QString &)> handler)
{
    std::lock_guard lock(m_mutex);
    m_problemHandler = std::move(handler);
}

QString RunJournal::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

void RunJournal::flush()
{
    std::unique_lock lock(m_mutex);
    m_wake.notify_one();
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy && !m_remove; });
}

QString RunJournal::save(File &file, const QByteArray &content)
{
    Disk &disk = Disk::current();
    if (file.fd >= 0 && !file.failing) {
        qsizetype written = 0;
        int error = disk.write(file.fd, content.constData() + file.written,
                               content.size() - file.written, &written);
        file.written += written;
        // Synced every time: a power cut then loses at most the last second.
        if (!error)
            error = disk.syncData(file.fd);
        if (!error)
            return QString();
    }
    // Whole again, as a new file: what the old one holds is no longer known.
    // '@' never appears in a computer's name: what follows it is the name.
    const QString path = m_directory + QLatin1Char('/') + m_stem + QLatin1Char('-') +
                         QString::number(++Serial) + QLatin1Char('@') + m_computer +
                         QLatin1String(Suffix);
    int fd = -1;
    if (const int error = create(path, content, &fd)) {
        file.failing = true;
        return QStringLiteral("\"%1\": %2").arg(path, Files::reason(error));
    }
    if (file.fd >= 0)
        Files::removeAndClose(file.fd, file.path);
    file = {fd, path, content.size(), false};
    return QString();
}

void RunJournal::write()
{
    using Clock = std::chrono::steady_clock;
    File file;
    QByteArray content = m_header;
    QString problem;
    auto touched = Clock::now();
    std::deque<QByteArray> lines;
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Events that came without waking this thread are taken within Gather.
        m_wake.wait_for(lock, problem.isEmpty() ? Gather : Retry,
                        [this] { return m_stop || m_remove || !m_queue.empty(); });
        if (m_remove) {
            m_path.clear();
            m_remove = false;
            m_busy = true;
            lock.unlock();
            if (file.fd >= 0)
                Files::removeAndClose(file.fd, file.path);
            file = {};
            problem.clear();
            lock.lock();
            m_busy = false;
        } else if (!m_queue.empty() || !problem.isEmpty()) {
            // Only the hand-over under the lock: the content grows without it.
            lines.swap(m_queue);
            m_busy = true;
            const auto handler = m_problemHandler;
            lock.unlock();
            const bool fresh = !lines.empty();
            for (; !lines.empty(); lines.pop_front())
                content += lines.front();
            const QString before = problem;
            if (fresh || file.fd < 0 || file.failing)
                problem = save(file, content);
            if (problem.isEmpty())
                touched = Clock::now();
            if (problem != before && handler && (problem.isEmpty() || before.isEmpty()))
                handler(problem);
            lock.lock();
            m_busy = false;
            // A discard meanwhile takes the file away on the next turn.
            m_path = file.fd >= 0 ? file.path : QString();
        } else if (file.fd >= 0 && Clock::now() - touched >= Heartbeat) {
            // Still going on, for whoever can see this file but not its lock.
            Files::touch(file.fd);
            touched = Clock::now();
        }
        m_idle.notify_all();
        if (m_stop && m_queue.empty() && !m_remove)
            break;
    }
    if (file.fd >= 0)
        Files::closeChecked(file.fd);
}
