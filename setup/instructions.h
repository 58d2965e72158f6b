#pragma once

#include <QString>

struct SetupRecord;

namespace Instructions {

// applicationDirectory has no trailing separator; the separator is '/' on every platform.
QString filePath(const QString &applicationDirectory);

// The whole text of the file, or empty when it is missing, not an ordinary file, or cannot be
// read: never part of it.
QString ReadFileContents(const QString &path);

QString greeting(const SetupRecord &record);
QString variablesLine(const SetupRecord &record);

} // namespace Instructions
