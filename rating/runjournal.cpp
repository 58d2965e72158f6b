#include "runjournal.h"

#include "files.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Magic = "DIALTRACE-JOURNAL 1\n";

// Written under a name no reader looks at, locked, synced, and only then given its own name:
// a journal that exists is whole from its first sample on, and always locked by a live run.
int create(const QString &directory, const QString &name, const QByteArray &bytes)
{
    const QByteArray part = QFile::encodeName(directory + QLatin1Char('/') + name + ".part");
    const int fd =
        ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    const QByteArray final = QFile::encodeName(directory + QLatin1Char('/') + name);
    if (::flock(fd, LOCK_EX) != 0 || Files::writeSome(fd, bytes) != bytes.size() ||
        ::fdatasync(fd) != 0 || ::rename(part.constData(), final.constData()) != 0) {
        ::unlink(part.constData());
        ::close(fd);
        return -1;
    }
    Files::syncDirectory(directory);
    return fd;
}

} // namespace

RunJournal::RunJournal(const QString &directory, const SetupRecord &record, bool twoVariables,
                       const QDateTime &started)
    : m_directory(directory)
{
    static int serial = 0;
    m_name = QStringLiteral("run-%1-%2-%3%4")
                 .arg(started.toString(QStringLiteral("yyyyMMdd-HHmmsszzz")))
                 .arg(QCoreApplication::applicationPid())
                 .arg(++serial)
                 .arg(QLatin1String(Suffix));
    const QJsonObject run{{"subject", record.SubjectName},
                          {"variable", record.Variable},
                          {"variable2", record.Variable2},
                          {"date", record.DateText},
                          {"two", twoVariables},
                          {"file", record.FileFullPath},
                          {"started", started.toString(Qt::ISODateWithMs)}};
    m_header = Magic + QJsonDocument(run).toJson(QJsonDocument::Compact) + '\n';
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

void RunJournal::append(int lastRow, int row, qint16 level1, qint16 level2)
{
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(m_mutex);
        if (m_discarded)
            return;
        // The table's size travels with every sample: it can grow by a row at the end.
        m_queue.push_back(QByteArray::number(row) + ',' + QByteArray::number(level1) + ',' +
                          QByteArray::number(level2) + ',' + QByteArray::number(lastRow) + '\n');
    }
    m_wake.notify_one();
    m_longestAppend = std::max(m_longestAppend, clock.nsecsElapsed());
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

QString RunJournal::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

void RunJournal::flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy && !m_remove; });
}

void RunJournal::write()
{
    int fd = -1;
    // Lines that have not reached the file yet: the journal's rows must follow one another.
    QByteArray unwritten;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_remove || !m_queue.empty(); });
        if (m_remove) {
            const QByteArray path = QFile::encodeName(m_path);
            m_path.clear();
            m_remove = false;
            unwritten.clear();
            m_busy = true;
            lock.unlock();
            if (fd >= 0) {
                ::unlink(path.constData());
                ::close(fd);
                fd = -1;
            }
            lock.lock();
            m_busy = false;
        } else if (!m_queue.empty()) {
            for (; !m_queue.empty(); m_queue.pop_front())
                unwritten += m_queue.front();
            m_busy = true;
            lock.unlock();
            QString created;
            if (fd < 0) {
                fd = create(m_directory, m_name, m_header + unwritten);
                if (fd >= 0) {
                    created = m_directory + QLatin1Char('/') + m_name;
                    unwritten.clear();
                }
            } else {
                unwritten.remove(0, Files::writeSome(fd, unwritten));
                // Synced every time: a power cut then loses at most the last second.
                ::fdatasync(fd);
            }
            lock.lock();
            m_busy = false;
            if (!created.isEmpty())
                m_path = created; // a discard meanwhile takes it away on the next turn
        }
        m_idle.notify_all();
        if (m_stop && m_queue.empty() && !m_remove)
            break;
    }
    if (fd >= 0)
        ::close(fd);
}

namespace Journal {

std::optional<Run> parse(const QByteArray &bytes)
{
    if (!bytes.startsWith(Magic))
        return std::nullopt;
    QList<QByteArray> lines = bytes.mid(Magic.size()).split('\n');
    // The last piece has no line end: empty, or a line torn by the crash.
    lines.removeLast();
    if (lines.isEmpty())
        return std::nullopt;
    const QJsonObject json = QJsonDocument::fromJson(lines.takeFirst()).object();
    if (json.isEmpty())
        return std::nullopt;
    Run run;
    run.record.SubjectName = json.value("subject").toString();
    run.record.Variable = json.value("variable").toString();
    run.record.Variable2 = json.value("variable2").toString();
    run.record.DateText = json.value("date").toString();
    run.record.FileFullPath = json.value("file").toString();
    run.twoVariables = json.value("two").toBool();
    run.record.Variable2Enabled = run.twoVariables;
    run.started = QDateTime::fromString(json.value("started").toString(), Qt::ISODateWithMs);

    QList<std::pair<int, std::pair<qint16, qint16>>> samples;
    int lastRow = 0;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> cells = line.split(',');
        bool ok[4] = {};
        const int row = cells.value(0).toInt(&ok[0]);
        const int l1 = cells.value(1).toInt(&ok[1]);
        const int l2 = cells.value(2).toInt(&ok[2]);
        const int rows = cells.value(3).toInt(&ok[3]);
        const bool valid = cells.size() == 4 && ok[0] && ok[1] && ok[2] && ok[3] &&
                           row == samples.size() + 2 && qAbs(l1) <= 5 && qAbs(l2) <= 5 &&
                           rows >= row && rows <= 10000;
        if (!valid)
            break; // what follows a damaged line is not trusted
        samples.append({row, {qint16(l1), qint16(l2)}});
        lastRow = rows;
    }
    if (samples.isEmpty())
        return std::nullopt;
    run.table = RecordTable(lastRow);
    for (const auto &[row, levels] : samples) {
        run.table.setCell(row, 1, levels.first);
        run.table.setCell(row, 2, levels.second);
    }
    run.samples = static_cast<int>(samples.size());
    return run;
}

QList<Orphan> orphans(const QString &directory)
{
    QList<Orphan> found;
    // A journal whose run ended while it was being created still has its first name.
    const QString suffix = QLatin1String(RunJournal::Suffix);
    const QStringList names = QDir(directory).entryList(
        {QStringLiteral("*") + suffix, QStringLiteral("*") + suffix + QStringLiteral(".part")},
        QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QString path = directory + QLatin1Char('/') + name;
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A run that goes on holds its lock; the kernel lets go of it when the process ends.
        // A run that took its journal away just now leaves a lockable file with no name.
        struct stat opened
        {
        }, named{};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) ||
            ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::stat(encoded.constData(), &named) != 0 ||
            named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
            ::close(fd);
            continue;
        }
        found.append({path, fd});
    }
    return found;
}

QByteArray read(const Orphan &orphan)
{
    QFile file;
    QByteArray bytes;
    const int fd = ::dup(orphan.lockFd);
    if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        bytes = file.readAll();
    else if (fd >= 0)
        ::close(fd);
    return bytes;
}

void release(Orphan &orphan, bool remove)
{
    // Only the file that was locked goes, whatever took its name since.
    struct stat opened
    {
    }, named{};
    const QByteArray encoded = QFile::encodeName(orphan.path);
    if (remove && ::fstat(orphan.lockFd, &opened) == 0 &&
        ::stat(encoded.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino)
        ::unlink(encoded.constData());
    if (orphan.lockFd >= 0)
        ::close(orphan.lockFd);
    orphan.lockFd = -1;
}

QString recoveredName(const Run &run)
{
    const QString name = QStringLiteral("Recovered %1 %2 %3")
                             .arg(run.record.SubjectName, run.record.Variable,
                                  run.started.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
    return Files::safeFileName(name.simplified(), QStringLiteral("Recovered run")) +
           QStringLiteral(".csv");
}

} // namespace Journal
