#pragma once

#include "inputmode.h"

#include <QString>

struct SetupRecord;

namespace Instructions {

// applicationDirectory has no trailing separator; the separator is '/' on every platform.
QString filePath(const QString &applicationDirectory);
// The instructions of a run in that mode: for a position run Instructions.position.txt where
// there is one, since text written for presses would tell the subject the wrong way to rate;
// Instructions.txt otherwise.
QString filePath(const QString &applicationDirectory, InputMode input);

// How much of the file is read: far more than the screen can show at its fixed font.
constexpr qint64 ReadLimit = 64 * 1024;

// The text of the file up to ReadLimit bytes, or empty when it is missing, not an ordinary
// file, or cannot be read: never a part that a failed read left. In UTF-8 where it is UTF-8,
// otherwise in Windows-1252 (Files::fromUtf8OrWindows1252).
QString ReadFileContents(const QString &path);

QString greeting(const SetupRecord &record);
// How to rate in the run's input mode, shown above the instructions; empty for steps, which the
// instructions themselves describe.
QString howToRate(const SetupRecord &record);
QString variablesLine(const SetupRecord &record);

} // namespace Instructions
