#include "studysession.h"

#include "eventlog.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The results files of the study's name for a clip: "NAME.csv", "NAME (2).csv", and the same with
// " (recovered)" after NAME.
QStringList resultsFilesOf(const QStringList &names, const QString &name, bool recovered)
{
    const QString stem =
        QRegularExpression::escape(recovered ? name + QStringLiteral(" (recovered)") : name);
    const QRegularExpression pattern(QLatin1Char('^') + stem +
                                     QStringLiteral("( \\(\\d+\\))?\\.csv$"));
    QStringList found;
    for (const QString &file : names) {
        if (pattern.match(file).hasMatch() && !file.endsWith(EventLog::Suffix))
            found.append(file);
    }
    return found;
}

} // namespace

QStringList StudySession::completeStaleRecords(const Study &study)
{
    const QList<SessionFile::Stored> records =
        SessionFile::ofStudy(SessionFile::inFolder(study.resultsFolder), study.title);
    // A file any record names belongs to that record's clip.
    QStringList named;
    for (const SessionFile::Stored &stored : records) {
        for (const SessionRecord::Clip &clip : stored.record.clips)
            named << clip.files << clip.extra;
    }
    const QDir folder(study.resultsFolder);
    const QStringList names = folder.entryList(QDir::Files);
    QStringList told;
    for (const SessionFile::Stored &stored : records) {
        StudySession session;
        session.m_study = study;
        session.m_record = stored.record;
        session.m_recordPath = stored.path;
        bool changed = false;
        for (int i = 0; i < session.m_record.clips.size(); ++i) {
            SessionRecord::Clip &clip = session.m_record.clips[i];
            // Never started, it can have no results; results older than its start are another
            // session's.
            if (clip.state != SessionRecord::State::NotYet || !clip.started.isValid())
                continue;
            for (const bool recovered : {false, true}) {
                QStringList files;
                for (const QString &file :
                     resultsFilesOf(names, session.resultsName(i), recovered)) {
                    if (!named.contains(file) &&
                        QFileInfo(folder.filePath(file)).lastModified() >= clip.started)
                        files = {file};
                }
                if (files.isEmpty())
                    continue;
                QList<RunEvent> events;
                ReadProblem problem;
                InputMode logged = InputMode::Steps;
                const QString log = EventLog::pathBeside(folder.filePath(files[0]));
                if (EventLog::read(log, &events, &problem, &logged))
                    files.append(QFileInfo(log).fileName());
                clip.takeRun(
                    recovered ? SessionRecord::State::Recovered : SessionRecord::State::Done, files,
                    std::any_of(events.begin(), events.end(),
                                [](const RunEvent &e) { return e.kind == RunEvent::Kind::End; }),
                    static_cast<int>(
                        std::count_if(events.begin(), events.end(), [](const RunEvent &e) {
                            return e.kind == RunEvent::Kind::Sample;
                        })),
                    EventLog::controls(events, logged));
                // The run ended when its results were written, not now.
                clip.ended = QFileInfo(folder.filePath(files[0])).lastModified();
                named << files;
                told << QStringLiteral("\"%1\": %2")
                            .arg(QFileInfo(stored.path).fileName(), files[0]);
                changed = true;
                break;
            }
        }
        QString error;
        if (changed && !session.save(&error))
            told << QStringLiteral("\"%1\" could not be updated: %2")
                        .arg(QFileInfo(stored.path).fileName(), error);
    }
    return told;
}
