#include "studyruns.h"

#include "files.h"
#include "sessionrecord.h"

#include <QDir>
#include <QFileInfo>

namespace StudyRuns {

QList<StudyClip> collect(const Study &study, QStringList *problems)
{
    QList<StudyClip> clips;
    for (const QString &clip : study.clips)
        clips.append({clip, QFileInfo(clip).completeBaseName(), {}});
    const QDir folder(study.resultsFolder);
    for (const QFileInfo &file :
         folder.entryInfoList({QStringLiteral("* session *.json")}, QDir::Files, QDir::Name)) {
        QByteArray bytes;
        const auto record = Files::readFileStart(file.filePath(), 1024 * 1024, &bytes)
                                ? SessionFile::parse(bytes)
                                : std::nullopt;
        if (!record) {
            problems->append(file.filePath() + QStringLiteral(": not a session record"));
            continue;
        }
        if (record->study != study.title)
            continue;
        for (const SessionRecord::Clip &entry : record->clips) {
            const qsizetype index = study.clips.indexOf(entry.clip);
            // The practice clip comes first, and counts for nothing.
            const bool practice = &entry == &record->clips.first() && !study.practice.isEmpty() &&
                                  entry.clip == study.practice;
            if (practice || index < 0 || entry.state == SessionRecord::State::NotYet)
                continue;
            for (const QString &name : entry.files) {
                if (!name.endsWith(QLatin1String(".events.csv"))) {
                    clips[index].files.append(folder.filePath(name));
                    break;
                }
            }
        }
    }
    return clips;
}

} // namespace StudyRuns
