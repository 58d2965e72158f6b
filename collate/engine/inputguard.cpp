#include "inputguard.h"

#include "files.h"

namespace InputGuard {

bool isInput(const QString &path, const QStringList &inputs)
{
    for (const QString &input : inputs) {
        if (Files::isSameFile(path, input))
            return true;
    }
    return false;
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
