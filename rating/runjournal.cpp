#include "runjournal.h"

#include "disk.h"
#include "files.h"
#include "scale.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <atomic>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Magic = "DIALTRACE-JOURNAL 1\n";
const QByteArray MagicStart = "DIALTRACE-JOURNAL ";

// A live run touches its journal at least this often, so that another computer can tell a run
// that goes on from one that ended, where it cannot see the lock.
constexpr auto Heartbeat = std::chrono::seconds(60);
// How soon a journal that could not be saved is tried again, also when no sample comes.
constexpr auto Retry = std::chrono::seconds(1);

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
        ::unlink(QFile::encodeName(part).constData());
        ::close(*fd);
        *fd = -1;
        return error;
    }
    // The journal is whole and synced; a folder that cannot be synced only makes its name less
    // sure to outlive a power cut, which is no reason to give it up.
    Files::syncDirectory(QFileInfo(path).absolutePath());
    return 0;
}

// Letters, digits, dots and dashes: a computer's name as part of a file name.
QString fileNamePart(const QString &text)
{
    QString part = text;
    for (QChar &c : part) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') &&
            c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return part.isEmpty() ? QStringLiteral("computer") : part;
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
                       const QDateTime &started, const QString &computer)
    : m_directory(directory)
{
    m_stem = QStringLiteral("run-%1-%2")
                 .arg(started.toString(QStringLiteral("yyyyMMdd-HHmmsszzz")),
                      QString::number(QCoreApplication::applicationPid()));
    m_computer = fileNamePart(computer);
    const QJsonObject run{
        {"subject", record.SubjectName}, {"variable", record.Variable},
        {"variable2", record.Variable2}, {"date", record.DateText},
        {"two", twoVariables},           {"file", record.FileFullPath},
        {"computer", computer},          {"started", started.toString(Qt::ISODateWithMs)}};
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
    // The table's size travels with every sample: it can grow by a row at the end.
    pushLine(QByteArray::number(row) + ',' + QByteArray::number(level1) + ',' +
             QByteArray::number(level2) + ',' + QByteArray::number(lastRow) + '\n');
    m_longestAppend = std::max(m_longestAppend, clock.nsecsElapsed());
}

void RunJournal::pushLine(const QByteArray &line)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_discarded)
            return;
        m_queue.push_back(line);
    }
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
    if (file.fd >= 0) {
        ::unlink(QFile::encodeName(file.path).constData());
        ::close(file.fd);
    }
    file = {fd, path, content.size(), false};
    return QString();
}

void RunJournal::write()
{
    File file;
    QByteArray content = m_header;
    QString problem;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool woken = m_wake.wait_for(lock, problem.isEmpty() ? Heartbeat : Retry, [this] {
            return m_stop || m_remove || !m_queue.empty();
        });
        if (m_remove) {
            m_path.clear();
            m_remove = false;
            m_busy = true;
            lock.unlock();
            if (file.fd >= 0) {
                ::unlink(QFile::encodeName(file.path).constData());
                ::close(file.fd);
            }
            file = {};
            problem.clear();
            lock.lock();
            m_busy = false;
        } else if (!m_queue.empty() || !problem.isEmpty()) {
            const bool fresh = !m_queue.empty();
            for (; !m_queue.empty(); m_queue.pop_front())
                content += m_queue.front();
            m_busy = true;
            const auto handler = m_problemHandler;
            lock.unlock();
            const QString before = problem;
            if (fresh || file.fd < 0 || file.failing)
                problem = save(file, content);
            if (problem != before && handler && (problem.isEmpty() || before.isEmpty()))
                handler(problem);
            lock.lock();
            m_busy = false;
            // A discard meanwhile takes the file away on the next turn.
            m_path = file.fd >= 0 ? file.path : QString();
        } else if (!woken && file.fd >= 0) {
            // Still going on, for whoever can see this file but not its lock.
            ::futimens(file.fd, nullptr);
        }
        m_idle.notify_all();
        if (m_stop && m_queue.empty() && !m_remove)
            break;
    }
    if (file.fd >= 0)
        ::close(file.fd);
}

namespace Journal {

QString thisComputer()
{
    return QSysInfo::machineHostName();
}

QString computerOf(const QString &fileName)
{
    const qsizetype at = fileName.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return fileNamePart(thisComputer());
    const QString name = fileName.mid(at + 1);
    return name.left(name.indexOf(QLatin1String(RunJournal::Suffix)));
}

bool writtenHere(const QString &fileName)
{
    return computerOf(fileName) == fileNamePart(thisComputer());
}

std::optional<Run> parse(const QByteArray &bytes, QString *problem)
{
    const auto fail = [problem](const QString &reason) {
        if (problem)
            *problem = reason;
        return std::nullopt;
    };
    if (!bytes.startsWith(Magic)) {
        return fail(bytes.startsWith(MagicStart)
                        ? QStringLiteral("it was written by another version of Dialtrace")
                        : QStringLiteral("it does not begin as a journal does"));
    }
    QList<QByteArray> lines = bytes.mid(Magic.size()).split('\n');
    // The last piece has no line end: empty, or a line torn by the crash.
    lines.removeLast();
    const QJsonObject json =
        lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.takeFirst()).object();
    if (json.isEmpty())
        return fail(QStringLiteral("the line describing its run is damaged"));
    Run run;
    run.record.SubjectName = json.value("subject").toString();
    run.record.Variable = json.value("variable").toString();
    run.record.Variable2 = json.value("variable2").toString();
    run.record.DateText = json.value("date").toString();
    run.record.FileFullPath = json.value("file").toString();
    run.twoVariables = json.value("two").toBool();
    run.record.Variable2Enabled = run.twoVariables;
    run.computer = json.value("computer").toString(thisComputer());
    run.started = QDateTime::fromString(json.value("started").toString(), Qt::ISODateWithMs);

    QList<std::pair<int, std::pair<qint16, qint16>>> samples;
    int lastRow = 0;
    for (const QByteArray &line : std::as_const(lines)) {
        if (line + '\n' == RecoveredMark) {
            run.recovered = true;
            continue;
        }
        const QList<QByteArray> cells = line.split(',');
        bool ok[4] = {};
        const int row = cells.value(0).toInt(&ok[0]);
        const int l1 = cells.value(1).toInt(&ok[1]);
        const int l2 = cells.value(2).toInt(&ok[2]);
        const int rows = cells.value(3).toInt(&ok[3]);
        const int previous = samples.isEmpty() ? 1 : samples.last().first;
        // A damaged line (a disk that lost what it was given, a torn write) is passed over;
        // the rows after it still follow one another.
        if (cells.size() != 4 || !ok[0] || !ok[1] || !ok[2] || !ok[3] || row <= previous ||
            !Scale::contains(l1) || !Scale::contains(l2) || rows < row || rows > 10000) {
            ++run.damaged;
            continue;
        }
        samples.append({row, {qint16(l1), qint16(l2)}});
        lastRow = rows;
    }
    run.table = RecordTable(lastRow);
    for (const auto &[row, levels] : std::as_const(samples)) {
        run.table.setCell(row, 1, levels.first);
        run.table.setCell(row, 2, levels.second);
    }
    run.samples = static_cast<int>(samples.size());
    return run;
}

QString recoveredName(const Run &run)
{
    const QString name = QStringLiteral("Recovered %1 %2 %3")
                             .arg(run.record.SubjectName, run.record.Variable,
                                  run.started.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
    return Files::safeFileName(name.simplified(), shortRecoveredName(run));
}

QString shortRecoveredName(const Run &run)
{
    return QStringLiteral("Recovered run ") +
           run.started.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
}

} // namespace Journal
