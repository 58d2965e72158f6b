#include "files.h"

#include "disk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves unassigned map to the C1
// control characters of the same value, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encode(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

bool succeeded(int reason, QString *error)
{
    if (reason && error)
        *error = Files::reason(reason);
    return !reason;
}

// Writes bytes to a new file beside path and renames it over path, every step checked, so that
// what is reported written has reached the disk and a failed write leaves the old file whole.
// Where the folder takes no new file, inPlace allows writing an existing file in place.
bool replaceThrough(const QString &path, const QByteArray &bytes, bool inPlace, QString *error)
{
    const QString directory = QFileInfo(path).absolutePath();
    const QByteArray name = QFile::encodeName(path);
    struct stat old
    {
    };
    const bool existed = ::stat(name.constData(), &old) == 0;
    QString temporary;
    int fd = -1;
    int reason = Files::createBeside(path, QStringLiteral(".part"), &temporary, &fd);
    if ((reason == EACCES || reason == EPERM) && inPlace && existed) {
        fd = ::open(name.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return succeeded(fd < 0 ? errno : Files::finishFile(fd, bytes), error);
    }
    if (reason)
        return succeeded(reason, error);
    if (existed)
        ::fchmod(fd, old.st_mode & 07777);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    reason = Files::finishFile(fd, bytes);
    if (!reason && ::rename(temporaryName.constData(), name.constData()) != 0)
        reason = errno;
    if (reason) {
        ::unlink(temporaryName.constData());
        return succeeded(reason, error);
    }
    return succeeded(Files::syncDirectory(directory), error);
}

} // namespace

namespace Files {

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = (b >= 0x80 && b < 0xA0) ? QChar(HighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

QByteArray toWindows1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character outside the Basic Multilingual Plane is one character to the reader,
        // so it becomes one '?', not two.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        bytes.append(encode(c.unicode()));
    }
    return bytes;
}

QStringList unstorable(const QString &text)
{
    QStringList found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        const QString character = text.mid(i, length);
        if (toWindows1252(character) == "?" && character != QLatin1String("?") &&
            !found.contains(character))
            found.append(character);
        i += length - 1;
    }
    return found;
}

QString applicationDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

bool isVisiblePlainFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    // A link chosen in a save dialog stands for the file it leads to.
    const QFileInfo info(path);
    const QString target =
        info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    return replaceThrough(target, bytes, true, error);
}

bool readFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *bytes = std::move(all);
    return true;
}

// The one bounded read of a plain file: a fifo or device is never read from, so it cannot hang
// the caller.
static bool readBounded(const QString &path, PlainFileReader::Links links, qint64 limit,
                        QByteArray *bytes)
{
    PlainFileReader file;
    QByteArray read;
    // Read to its end where there is no limit, in chunks: a file that grows meanwhile is read on.
    if (!file.open(path, links) ||
        !file.read(limit < 0 ? std::numeric_limits<qint64>::max() : limit, &read))
        return false;
    *bytes = std::move(read);
    return true;
}

bool readFileStart(const QString &path, qint64 limit, QByteArray *bytes)
{
    return readBounded(path, PlainFileReader::Links::Follow, limit, bytes);
}

bool readPlainFile(const QString &path, QByteArray *bytes)
{
    return readBounded(path, PlainFileReader::Links::Refuse, -1, bytes);
}

bool removePlainFile(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    if (::unlink(name.constData()) != 0)
        return succeeded(errno, error);
    return succeeded(syncDirectory(QFileInfo(path).absolutePath()), error);
}

bool createNewFile(const QString &path, const QByteArray &bytes, QString *error)
{
    int fd = -1;
    int reason = Disk::current().createExclusive(path, &fd);
    if (!reason) {
        reason = finishFile(fd, bytes);
        if (reason)
            ::unlink(QFile::encodeName(path).constData());
    }
    if (!reason)
        reason = syncDirectory(QFileInfo(path).absolutePath());
    return succeeded(reason, error);
}

bool createUniqueFiles(const QString &directory, const QString &base, const QString &fallbackBase,
                       const NamedBytes &files, QStringList *paths, QString *error)
{
    QString stem = base;
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? stem : stem + QStringLiteral(" (%1)").arg(n);
        paths->clear();
        int reason = 0;
        for (const auto &[suffix, bytes] : files) {
            const QString path = directory + QLatin1Char('/') + name + suffix;
            int fd = -1;
            reason = Disk::current().createExclusive(path, &fd);
            if (reason)
                break;
            paths->append(path);
            reason = finishFile(fd, bytes);
            if (reason)
                break;
        }
        if (!reason)
            return succeeded(syncDirectory(directory), error);
        // Only what this call made goes: a name taken meanwhile belongs to someone else.
        for (const QString &made : std::as_const(*paths))
            ::unlink(QFile::encodeName(made).constData());
        paths->clear();
        if (reason == ENAMETOOLONG && stem != fallbackBase) {
            // Some file systems take far fewer than 255 bytes a name (eCryptfs: 143).
            stem = fallbackBase;
            n = 0;
        } else if (reason != EEXIST) {
            return succeeded(reason, error);
        }
    }
    return succeeded(EEXIST, error);
}

namespace {

QString withSafeCharacters(QString name)
{
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || QStringLiteral("<>:\"'/\\|?*").contains(c))
            c = QLatin1Char('_');
    }
    return name;
}

// Chops whole characters off the end until at most bytes of UTF-8 remain.
void cutTo(QString &name, qsizetype bytes)
{
    while (!name.isEmpty() && name.toUtf8().size() > bytes)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
}

} // namespace

QString safeFileName(const QString &name, const QString &fallback)
{
    return safeFileName(name, QString(), fallback);
}

QString safeFileName(const QString &first, const QString &rest, const QString &fallback)
{
    // File systems take 255 bytes a name: leave room for an extension and a " (2)".
    QString safe = withSafeCharacters(first);
    const QString safeRest = withSafeCharacters(rest);
    cutTo(safe, MaxNameBytes - safeRest.toUtf8().size());
    safe += safeRest;
    cutTo(safe, MaxNameBytes);
    if (QString(safe).remove(QLatin1Char('.')).trimmed().isEmpty())
        return fallback;
    return safe;
}

bool replacePlainFile(const QString &path, const QByteArray &bytes, QString *error)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (error)
            *error = QStringLiteral("A link, a folder or another kind of file stands in its place; "
                                    "only a plain file is replaced.");
        return false;
    }
    // A rename replaces whatever took the name in the meantime rather than follow it.
    return replaceThrough(QFileInfo(path).absoluteFilePath(), bytes, false, error);
}

bool isSameFile(const QString &a, const QString &b)
{
    // Links, other spellings and hard links of one file are the same file.
    struct stat sa
    {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // One of them is not there (an output yet to be made): only the same name in the same folder,
    // however the folder is reached, is the same file.
    const auto name = [](const QString &path) {
        const QFileInfo file(path);
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        return folder.isEmpty() ? QDir::cleanPath(file.absoluteFilePath())
                                : folder + QLatin1Char('/') + file.fileName();
    };
    return name(a) == name(b);
}

} // namespace Files
