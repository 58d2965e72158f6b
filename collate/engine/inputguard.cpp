#include "inputguard.h"

#include "eventlog.h"
#include "files.h"
#include "resultsfile.h"

namespace InputGuard {

QStringList readFiles(const QStringList &results, const QStringList &others)
{
    QStringList read;
    for (const QString &path : results)
        read << path << EventLog::pathBeside(path);
    for (const QString &path : others) {
        if (!path.isEmpty())
            read.append(path);
    }
    return read;
}

Refusal refusal(const QString &output, const QStringList &inputs, bool replaceOther)
{
    for (const QString &input : inputs) {
        if (Files::isSameFile(output, input))
            return {Refusal::Reason::Input, input};
    }
    switch (ResultsFile::examine(output)) {
    case ResultsFile::Found::Nothing:
        break;
    case ResultsFile::Found::ResultsFile:
        return {Refusal::Reason::ResultsFile, QString()};
    case ResultsFile::Found::Unreadable:
        return {Refusal::Reason::Unreadable, QString()};
    case ResultsFile::Found::OtherFile:
        if (!replaceOther)
            return {Refusal::Reason::OtherFile, QString()};
        break;
    }
    return {};
}

QList<Repeat> removeRepeats(QStringList *paths, const QStringList &earlier)
{
    QList<Repeat> repeats;
    QStringList kept;
    for (const QString &path : std::as_const(*paths)) {
        const auto same = [&](const QString &other) { return Files::isSameFile(path, other); };
        const auto before = std::find_if(earlier.begin(), earlier.end(), same);
        const auto here = std::find_if(kept.cbegin(), kept.cend(), same);
        if (before != earlier.end())
            repeats.append({path, *before});
        else if (here != kept.cend())
            repeats.append({path, *here});
        else
            kept.append(path);
    }
    *paths = kept;
    return repeats;
}

} // namespace InputGuard
