#include "instructions.h"

#include "files.h"
#include "setuprecord.h"
#include "textencoding.h"

namespace Instructions {

QString filePath(const QString &applicationDirectory)
{
    return applicationDirectory + QStringLiteral("/Instructions.txt");
}

QString filePath(const QString &applicationDirectory, InputMode input)
{
    const QString position = applicationDirectory + QStringLiteral("/Instructions.position.txt");
    if (input == InputMode::Position && Files::isVisiblePlainFile(position))
        return position;
    return filePath(applicationDirectory);
}

QString ReadFileContents(const QString &path)
{
    // The screen shows the beginning of the text, a few thousand characters at most: a file of
    // any size is read only that far, so the screen appears at once and memory stays small.
    return Files::readTextStart(path, ReadLimit);
}

QString greeting(const SetupRecord &record)
{
    return QStringLiteral("Good luck ") + record.SubjectName;
}

QString howToRate(const SetupRecord &record)
{
    if (record.Input == InputMode::Steps)
        return QString();
    if (!record.Variable2Enabled)
        return QStringLiteral(
                   "How to rate: the level of %1 is where you hold it, from -5 to +5 in tenths, "
                   "and it stays there until you move it. Drag on the meter (or click it), turn "
                   "the mouse wheel, or press the Up and Down arrows (hold them to go on); or "
                   "hold a game controller's left stick where you feel it.")
            .arg(record.Variable);
    return QStringLiteral(
               "How to rate: the levels are where you hold them, from -5 to +5 in tenths, and "
               "they stay there until you move them. Click or drag on the square pad: %1 "
               "across, %2 up. Or drag on a meter, turn the mouse wheel (tilt it for %2), or "
               "press Up and Down for %1, W and S for %2; or hold a game controller's left "
               "stick where you feel them.")
        .arg(record.Variable, record.Variable2);
}

QString variablesLine(const SetupRecord &record)
{
    if (record.Variable2Enabled)
        return QStringLiteral("Today's Variable's are ") + record.Variable +
               QStringLiteral(" and ") + record.Variable2;
    return QStringLiteral("Today's Variable is ") + record.Variable;
}

} // namespace Instructions
