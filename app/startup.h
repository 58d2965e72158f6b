#pragma once

#include "studyfile.h"

#include <QStringList>

#include <optional>

class ClipLengths;

// How the process is set up around its QApplication; the benchmark measures the same set-up.
namespace Startup {

// What the command line asks that needs no window: the usage for --help, the version for
// --version; nothing otherwise.
std::optional<QString> answer(const QStringList &arguments);

// The study the command line names (--study FILE), read and checked whole, each clip's length
// read through lengths; nothing with what to tell the user where it cannot be used (a clip
// too long to rate or that cannot be played among the rest) or the command line is wrong.
// Without arguments: no study, no message.
std::optional<Study> study(const QStringList &arguments, ClipLengths &lengths, QString *message);

// How single runs rate: "--input steps|position" (taken out of arguments, also as
// --input=...), or else dialtrace.conf in the application directory, or else steps. With what
// to tell the user where neither can be used, or where --input comes with a study, whose file
// says its own.
InputMode input(QStringList &arguments, const QString &applicationDirectory, QString *message);

// Before the QApplication exists.
void prepareEnvironment();

// Once the QApplication exists.
void prepareApplication();

} // namespace Startup
