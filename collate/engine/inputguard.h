#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Nothing the program writes may land on a file it read or on a results file, and no file counts
// twice.
namespace InputGuard {

// Why an output may not be written; the command line and the window each put it in their words.
struct Refusal
{
    enum class Reason
    {
        None,
        Input,       // it names an input: the same path, another path to it, a symbolic link to
                     // it or a hard link (the same file on disk under another name)
        ResultsFile, // never replaced
        Unreadable,  // cannot be read to tell whether it is a results file
        OtherFile,   // another file, which may not be replaced
    };
    Reason reason = Reason::None;
    QString input; // with Input: the first of the inputs that output names
};

// Every file a collation of these results files reads or would read: each results file and the
// event log beside it (whether it is there or not: a file written at its name would be read
// next time, as the run's), then others (the clip, the study file and its session records).
// Each output is checked against all of them, --rate or not.
QStringList readFiles(const QStringList &results, const QStringList &others = {});

// The first reason, in the order above, why output may not be written over what is there, where
// replaceOther says whether a file of another kind may be replaced.
Refusal refusal(const QString &output, const QStringList &inputs, bool replaceOther);

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
