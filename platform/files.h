#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>

// Text files are in Windows-1252: one byte per character both ways.
namespace Files {

QString fromWindows1252(const QByteArray &bytes);
// A character that Windows-1252 lacks is written as '?'.
QByteArray toWindows1252(const QString &text);
// The characters of text that Windows-1252 lacks, each once, in the order they come.
QStringList unstorable(const QString &text);

// The directory that holds the running executable, without a trailing separator.
QString applicationDirectory();

// True when a plain file, not hidden, exists at path.
bool isVisiblePlainFile(const QString &path);

// Writes bytes to path, replacing a file there (a link: the file it leads to), and returns only
// once they are on the disk: written, synced and closed, the folder synced, each step checked.
// Where the folder takes a new file the old file stays whole when the write fails; where it does
// not, an existing file is written in place. On failure returns false and, if error is given,
// fills it with the reason.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Reads a whole file; false when it cannot be read.
bool readFile(const QString &path, QByteArray *bytes);

// The same for a file that must be a plain file of its own: false for a link, a folder, a fifo
// or a device, which are never followed or opened for what they may lead to.
bool readPlainFile(const QString &path, QByteArray *bytes);

// Writes bytes as a plain file at path as writeFile does, replacing only a plain file there: a
// link, a folder or any other kind of file in its place is an error, and nothing outside the
// path's folder is touched. The old file stays whole when the write fails.
bool replacePlainFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Removes the plain file at path, where there is one; a link or anything else there is left, and
// a name with nothing behind it is no failure. The folder is synced after.
bool removePlainFile(const QString &path, QString *error = nullptr);

// Creates a new file at path and writes bytes to the disk; never replaces or follows anything
// already there, a link included.
bool createNewFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Creates files of their own in directory, one per suffix, all named base + suffix, or
// "base (2)" + suffix, "base (3)" ... for the first stem whose names are all still free at the
// moment they are created, even where another program or computer takes a name meanwhile; where
// the file system refuses the names as too long, the same with fallbackBase. paths gets the
// files made, in the order of the suffixes. All or none are made.
using NamedBytes = QList<std::pair<QString, QByteArray>>; // suffix and bytes
bool createUniqueFiles(const QString &directory, const QString &base, const QString &fallbackBase,
                       const NamedBytes &files, QStringList *paths, QString *error = nullptr);

// The first limit bytes of the plain file at path (a link is followed; a fifo or device is
// never opened for what it may lead to); false when it cannot be read.
bool readFileStart(const QString &path, qint64 limit, QByteArray *bytes);

// A name made safe as a file name on any system: quotes, slashes, backslashes, control
// characters and <>:"/\|?* become '_', and it is cut to MaxNameBytes of UTF-8; a name left
// empty, blank or only dots becomes fallback.
constexpr int MaxNameBytes = 200;
QString safeFileName(const QString &name, const QString &fallback);
// The same for a name of two parts, where the first gives way: it is shortened before anything
// of rest is, so that rest (a date, a clip's name) keeps its meaning within the limit.
QString safeFileName(const QString &first, const QString &rest, const QString &fallback);

// True when both paths name the same file (after resolving links and relative parts).
bool isSameFile(const QString &a, const QString &b);

} // namespace Files

namespace Files {

// What a path leads to, a link followed.
enum class FileKind
{
    Missing,
    Plain,
    Folder,
    Fifo,
    Socket,
    Device,
    Other,
    Unknown, // it could not be examined: error() of the reader says why
};

// A plain file read in steps, for a reader that looks at the beginning of a file before it takes
// more. Only a plain file is opened (a link to one is followed), and never in a way that could
// block: a fifo, socket, device or folder is refused before anything is opened or read.
class PlainFileReader
{
public:
    PlainFileReader() = default;
    ~PlainFileReader();
    PlainFileReader(const PlainFileReader &) = delete;
    PlainFileReader &operator=(const PlainFileReader &) = delete;

    enum class Links
    {
        Follow,
        Refuse // a link is not a plain file
    };
    // False unless path leads to a plain file that is now open; kind() then tells what is there,
    // and error() why a plain file could not be opened.
    bool open(const QString &path, Links links = Links::Follow);
    FileKind kind() const { return m_kind; }
    // In bytes, as the file was when it was opened.
    qint64 size() const { return m_size; }
    // Appends up to count more bytes, fewer only at the end of the file; false on a read error.
    bool read(qint64 count, QByteArray *bytes);
    const QString &error() const { return m_error; }

private:
    int m_fd = -1;
    FileKind m_kind = FileKind::Missing;
    qint64 m_size = 0;
    QString m_error;
};

} // namespace Files
