#include "settingsfile.h"

#include "textencoding.h"

namespace SettingsFile {

namespace {

// Far more than a few settings need; a larger file is read only this far.
constexpr qint64 ReadLimit = 64 * 1024;

} // namespace

QString path(const QString &applicationDirectory)
{
    return applicationDirectory + QLatin1Char('/') + QLatin1String(FileName);
}

Settings parse(const QString &text)
{
    Settings settings;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto problem = [&](const QString &what) {
            settings.problems.append(QStringLiteral("line %1: %2").arg(index + 1).arg(what));
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (equals < 0)
            problem(QStringLiteral("\"%1\" is not \"name = value\"").arg(line));
        else if (name != QLatin1String("input"))
            problem(QStringLiteral("\"%1\" is no setting of Dialtrace; the one there is: input")
                        .arg(name));
        else if (!(settings.input = Input::fromName(value)))
            problem(QStringLiteral("input is \"steps\" or \"position\", not \"%1\"").arg(value));
    }
    return settings;
}

Settings read(const QString &applicationDirectory)
{
    return parse(Files::readTextStart(path(applicationDirectory), ReadLimit));
}

} // namespace SettingsFile
