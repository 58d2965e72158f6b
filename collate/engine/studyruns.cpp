#include "studyruns.h"

#include "eventlog.h"
#include "sessionrecord.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <algorithm>

namespace {

const QString NotARecord = QStringLiteral("%1: not a session record");
const QString InterruptedRun = QStringLiteral("%1 %2: interrupted at %3 s, %4");
const QString EndedEarlyRun = QStringLiteral("%1 %2: ended at %3 s, before the clip's end, %4");
const QString FurtherRun = QStringLiteral("%1 %2: a further run, %3, left out");
const QString LeftOut = QStringLiteral("left out");
const QString Included = QStringLiteral("included");

bool isEventLog(const QString &name)
{
    return name.endsWith(EventLog::Suffix);
}

// One participant's run of a clip, as a session record lists it.
struct ParticipantRun
{
    SessionRecord::Clip entry;
    QString results; // full path
    int position = 0;
    bool isComplete() const { return entry.state == SessionRecord::State::Done && entry.complete; }
};

QString withoutSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? path : path.chopped(suffix.size() + 1);
}

// Takes one of a participant's runs into clip and names the others.
void choose(StudyClip &clip, const QString &participant, const QList<ParticipantRun> &runs,
            bool includePartial)
{
    const auto complete = std::find_if(runs.begin(), runs.end(),
                                       [](const ParticipantRun &run) { return run.isComplete(); });
    const ParticipantRun *chosen = complete != runs.end()              ? &*complete
                                   : includePartial && !runs.isEmpty() ? &runs.first()
                                                                       : nullptr;
    for (const ParticipantRun &run : runs) {
        const QString how = &run == chosen ? Included : LeftOut;
        const QString seconds = QString::number(run.entry.seconds);
        if (&run == chosen) {
            clip.files.append(run.results);
            const RunState state = run.isComplete() ? RunState::Done
                                   : run.entry.state == SessionRecord::State::Recovered
                                       ? RunState::Recovered
                                       : RunState::Partial;
            clip.runs.append({participant, run.position, state});
        }
        if (run.isComplete()) {
            if (&run != chosen)
                clip.notes.append(
                    FurtherRun.arg(participant, clip.name, QFileInfo(run.results).fileName()));
        } else if (run.entry.state == SessionRecord::State::Recovered) {
            clip.notes.append(InterruptedRun.arg(participant, clip.name, seconds, how));
        } else {
            clip.notes.append(EndedEarlyRun.arg(participant, clip.name, seconds, how));
        }
    }
}

} // namespace

QString runStateName(RunState state)
{
    static const QString names[] = {QStringLiteral("done"), QStringLiteral("recovered"),
                                    QStringLiteral("partial")};
    return names[static_cast<int>(state)];
}

namespace StudyRuns {

QStringList names(const QStringList &clips)
{
    QStringList found;
    for (const QString &clip : clips)
        found.append(QFileInfo(clip).completeBaseName());
    for (int level = 1; level <= 2; ++level) {
        const QStringList before = found;
        for (qsizetype i = 0; i < clips.size(); ++i) {
            const auto alike = [&](const QString &name) {
                return name.compare(before[i], Qt::CaseInsensitive) == 0;
            };
            if (std::count_if(before.begin(), before.end(), alike) < 2)
                continue;
            const QString path = QDir::cleanPath(clips[i]);
            found[i] = level == 1 ? withoutSuffix(path) : path;
        }
    }
    return found;
}

QList<StudyClip> collect(const Study &study, bool includePartial, QStringList *problems,
                         QStringList *records)
{
    const QDir folder(study.resultsFolder);
    const QList<SessionFile::Stored> stored = SessionFile::inFolder(study.resultsFolder);
    QStringList read;
    for (const SessionFile::Stored &record : stored)
        read.append(record.path);
    if (records)
        *records = read;
    for (const QFileInfo &file :
         folder.entryInfoList({SessionFile::Pattern}, QDir::Files, QDir::Name)) {
        if (!read.contains(file.filePath()))
            problems->append(NotARecord.arg(file.filePath()));
    }
    QMap<QString, int> others;
    const QList<SessionFile::Stored> ofStudy = SessionFile::ofStudy(stored, study.title, &others);
    if (!others.isEmpty())
        problems->append(SessionFile::leftOut(others).split(QLatin1Char('\n')));

    QList<StudyClip> clips;
    const QStringList clipNames = names(study.clips);
    for (qsizetype i = 0; i < study.clips.size(); ++i)
        clips.append({study.clips[i], clipNames[i], study.clipPath(study.clips[i]), {}, {}, {}});
    // By participant, so that one with several sessions counts once.
    QList<QMap<QString, QList<ParticipantRun>>> runs(study.clips.size());
    for (const SessionFile::Stored &session : ofStudy) {
        const SessionRecord &record = session.record;
        for (const SessionRecord::Clip &entry : record.clips) {
            const qsizetype index = study.clips.indexOf(entry.clip);
            // The practice clip counts for nothing.
            if (study.isPractice(entry.clip, &entry - record.clips.data()) || index < 0)
                continue;
            for (const QString &name : entry.extra) {
                if (!isEventLog(name))
                    clips[index].notes.append(
                        FurtherRun.arg(record.participant, clips[index].name, name));
            }
            const auto results =
                std::find_if_not(entry.files.begin(), entry.files.end(), isEventLog);
            if (entry.state != SessionRecord::State::NotYet && results != entry.files.end())
                runs[index][record.participant].append(
                    {entry, folder.filePath(*results),
                     static_cast<int>(&entry - record.clips.data()) + 1});
        }
    }
    for (qsizetype i = 0; i < clips.size(); ++i) {
        for (auto it = runs[i].cbegin(); it != runs[i].cend(); ++it)
            choose(clips[i], it.key(), it.value(), includePartial);
    }
    return clips;
}

} // namespace StudyRuns
