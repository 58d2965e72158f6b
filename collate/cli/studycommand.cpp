#include "studycommand.h"

#include "agreement.h"
#include "files.h"
#include "studyruns.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>

namespace {

const QString NoStudyRuns = QStringLiteral("%1: no runs yet");
const QString NotAVariable = QStringLiteral("--variable %1 is not a variable of the study (%2)");
const QString NotAFolder = QStringLiteral("%1 is not a folder: with --study, %2 names one");
const QString CannotMakeFolder = QStringLiteral("cannot make the folder %1");

} // namespace

namespace StudyCommand {

std::optional<QList<CommandLine::Job>> jobs(const CommandLine::Options &options, QStringList *notes,
                                            QTextStream &err, int *status, QStringList *records)
{
    QStringList problems;
    const auto study = StudyFile::read(options.study, &problems);
    if (!study) {
        err << "dialtrace-collate: " << options.study << ": " << problems.join(' ') << '\n';
        *status = CommandLine::NothingCollated;
        return std::nullopt;
    }
    QString refusal;
    if (!options.variable.isEmpty() && !study->variables.contains(options.variable))
        refusal = NotAVariable.arg(options.variable, study->variables.join(QStringLiteral(", ")));
    for (const auto &[folder, option] :
         {std::pair{options.table, "-o"}, {options.chart, "--chart"}}) {
        if (!folder.isEmpty() && QFileInfo::exists(folder) && !QFileInfo(folder).isDir())
            refusal = NotAFolder.arg(folder, QLatin1String(option));
    }
    if (!refusal.isEmpty()) {
        err << "dialtrace-collate: " << refusal << '\n';
        *status = CommandLine::WrongUsage;
        return std::nullopt;
    }
    const QStringList variables =
        options.variable.isEmpty() ? study->variables : QStringList{options.variable};
    const QList<StudyClip> clips =
        StudyRuns::collect(*study, options.includePartial, &problems, records);
    QStringList clipNames;
    for (const StudyClip &clip : clips)
        clipNames.append(clip.name);
    const QStringList names = fileNames(clipNames, variables);
    const auto in = [](const QString &folder, const QString &name, const char *suffix) {
        return folder.isEmpty() ? QString() : QDir(folder).filePath(name + QLatin1String(suffix));
    };
    *notes += problems;
    QList<CommandLine::Job> found;
    for (qsizetype i = 0; i < clips.size(); ++i) {
        *notes += clips[i].notes;
        if (clips[i].files.isEmpty()) {
            notes->append(NoStudyRuns.arg(clips[i].name));
            continue;
        }
        for (qsizetype v = 0; v < variables.size(); ++v) {
            const QString &name = names[i * variables.size() + v];
            const QString clipName = oneLine(clips[i].name);
            found.append({clips[i].files, in(options.table, name, ".csv"),
                          in(options.chart, name, ".png"), QString(),
                          clipName + QLatin1Char('\t') + oneLine(variables[v]) + QLatin1Char('\t'),
                          variables[v], study->title, clips[i].clip, clips[i].runs, clipName});
        }
    }
    return found;
}

QStringList fileNames(const QStringList &clipNames, const QStringList &variables)
{
    QStringList names;
    QSet<QString> taken;
    for (const QString &clip : clipNames) {
        for (const QString &variable : variables) {
            // The clip's name gives way first, so that the variable's stays whole.
            const QString base =
                Files::safeFileName(clip, QLatin1Char(' ') + variable, QStringLiteral("clip"));
            QString name = base;
            for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
                name = base + QStringLiteral(" (%1)").arg(n);
            taken.insert(name.toCaseFolded());
            names.append(name);
        }
    }
    return names;
}

bool makeFolders(const CommandLine::Options &options, QTextStream &err)
{
    for (const QString &folder : {options.table, options.chart}) {
        if (!folder.isEmpty() && !QDir().mkpath(folder)) {
            err << "dialtrace-collate: " << CannotMakeFolder.arg(folder) << '\n';
            return false;
        }
    }
    return true;
}

} // namespace StudyCommand
