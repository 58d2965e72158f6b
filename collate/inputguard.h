#pragma once

#include <QString>
#include <QStringList>

// Nothing the program writes may land on a file it read.
namespace InputGuard {

// True when path names one of inputs: the same path, another path to it, a symbolic link to it
// or a hard link (the same file on disk under another name).
bool isInput(const QString &path, const QStringList &inputs);

} // namespace InputGuard
