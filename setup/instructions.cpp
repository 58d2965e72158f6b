#include "instructions.h"

#include "files.h"
#include "setuprecord.h"
#include "textencoding.h"

namespace Instructions {

QString filePath(const QString &applicationDirectory)
{
    return applicationDirectory + QStringLiteral("/Instructions.txt");
}

QString ReadFileContents(const QString &path)
{
    if (!Files::isVisiblePlainFile(path))
        return QString();
    // The screen shows the beginning of the text, a few thousand characters at most: a file of
    // any size is read only that far, so the screen appears at once and memory stays small.
    QByteArray bytes;
    if (!Files::readFileStart(path, ReadLimit, &bytes))
        return QString();
    return Files::fromUtf8OrWindows1252(bytes, bytes.size() >= ReadLimit);
}

QString greeting(const SetupRecord &record)
{
    return QStringLiteral("Good luck ") + record.SubjectName;
}

QString variablesLine(const SetupRecord &record)
{
    if (record.Variable2Enabled)
        return QStringLiteral("Today's Variable's are ") + record.Variable +
               QStringLiteral(" and ") + record.Variable2;
    return QStringLiteral("Today's Variable is ") + record.Variable;
}

} // namespace Instructions
