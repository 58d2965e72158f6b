#pragma once

#include "inputmode.h"

#include <QString>
#include <QStringList>

#include <optional>

// dialtrace.conf beside the executable: a lab's usual settings for single runs, so that a
// desktop menu entry starts them without options. Read as Instructions.txt is (UTF-8 or
// Windows-1252, the first 64 KiB); one "name = value" a line, blank lines and lines starting
// with "#" passed over. The one setting so far: "input = steps" or "input = position".
namespace SettingsFile {

inline constexpr char FileName[] = "dialtrace.conf";

QString path(const QString &applicationDirectory);

struct Settings
{
    std::optional<InputMode> input;
    // "line N: ..." for every line that cannot be used.
    QStringList problems;
};

Settings parse(const QString &text);
// No file gives no settings and no problem.
Settings read(const QString &applicationDirectory);

} // namespace SettingsFile
