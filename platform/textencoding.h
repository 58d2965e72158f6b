#pragma once

#include <QByteArray>
#include <QString>

// Text whose encoding the file does not say. Beside Files::fromWindows1252 (files.h), which it
// falls back to.
namespace Files {

// UTF-8 where the bytes start with a UTF-8 byte-order mark (dropped), or are valid UTF-8 and
// hold a byte above 127; otherwise Windows-1252, so that a plain ASCII or Windows-1252 file
// reads as it always has. cut: the bytes are only the beginning of the file, so a character
// broken off at their end is left out rather than taken as a sign of Windows-1252.
QString fromUtf8OrWindows1252(const QByteArray &bytes, bool cut = false);

// The text at the start of the visible plain file at path, its first limit bytes at most, read
// as above; empty where there is no such file or it cannot be read. For texts a screen shows or
// settings read, where a file of any size must cost no more than its start.
QString readTextStart(const QString &path, qint64 limit);

} // namespace Files
