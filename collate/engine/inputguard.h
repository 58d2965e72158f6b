#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Nothing the program writes may land on a file it read or on a results file, and no file counts
// twice.
namespace InputGuard {

// True when path names one of inputs: the same path, another path to it, a symbolic link to it
// or a hard link (the same file on disk under another name).
bool isInput(const QString &path, const QStringList &inputs);

// A path that names a file named before it.
struct Repeat
{
    QString path;
    QString sameAs; // the earlier path to the same file
};

// Leaves in paths only the first path to each file, comparing each with the ones before it and
// with earlier, and returns those it took out, in order.
QList<Repeat> removeRepeats(QStringList *paths, const QStringList &earlier = {});

} // namespace InputGuard
