#include "studysession.h"

#include "files.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString RecordPattern = QStringLiteral("* session *.json");

bool failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QStringList participantOrder(const Study &study, QRandomGenerator &random)
{
    QStringList clips = study.clips;
    if (study.shuffled)
        std::shuffle(clips.begin(), clips.end(), random);
    if (!study.practice.isEmpty())
        clips.prepend(study.practice);
    return clips;
}

std::optional<StudySession> StudySession::begin(const Study &study, const QString &participant,
                                                const QString &date, QRandomGenerator &random,
                                                QString *error)
{
    StudySession session;
    session.m_study = study;
    session.m_record.study = study.title;
    session.m_record.participant = participant;
    session.m_record.date = date;
    for (const QString &clip : participantOrder(study, random))
        session.m_record.clips.append({clip, SessionRecord::State::NotYet, {}, {}, {}});
    if (!QDir().mkpath(study.resultsFolder)) {
        failed(error, QStringLiteral("The results folder \"%1\" cannot be made.")
                          .arg(QDir::toNativeSeparators(study.resultsFolder)));
        return std::nullopt;
    }
    const QString when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    const QString fallback = QStringLiteral("Participant session ") + when;
    QStringList made;
    if (!Files::createUniqueFiles(
            study.resultsFolder,
            Files::safeFileName(participant + QStringLiteral(" session ") + when, fallback),
            fallback, {{QStringLiteral(".json"), SessionFile::bytes(session.m_record)}}, &made,
            error))
        return std::nullopt;
    session.m_recordPath = made.first();
    return session;
}

std::optional<StudySession> StudySession::unfinished(const Study &study, const QString &participant)
{
    std::optional<StudySession> newest;
    QDateTime newestTime;
    const QDir folder(study.resultsFolder);
    for (const QFileInfo &file : folder.entryInfoList({RecordPattern}, QDir::Files)) {
        QByteArray bytes;
        if (!Files::readFileStart(file.filePath(), 1024 * 1024, &bytes))
            continue;
        const auto record = SessionFile::parse(bytes);
        if (!record || record->participant != participant || record->study != study.title)
            continue;
        const bool open = std::any_of(record->clips.begin(), record->clips.end(), [](auto &c) {
            return c.state == SessionRecord::State::NotYet;
        });
        if (open && (!newest || file.lastModified() > newestTime)) {
            newest = StudySession();
            newest->m_study = study;
            newest->m_record = *record;
            newest->m_recordPath = file.filePath();
            newestTime = file.lastModified();
        }
    }
    return newest;
}

bool StudySession::isPractice(int index) const
{
    return index == 0 && !m_study.practice.isEmpty() &&
           m_record.clips.value(0).clip == m_study.practice;
}

int StudySession::next() const
{
    for (int i = 0; i < m_record.clips.size(); ++i) {
        if (m_record.clips[i].state == SessionRecord::State::NotYet)
            return i;
    }
    return -1;
}

QString StudySession::stepText(int index) const
{
    if (isPractice(index))
        return QStringLiteral("Practice");
    const int first = isPractice(0) ? 1 : 0;
    return QStringLiteral("Clip %1 of %2").arg(index + 1 - first).arg(clipCount());
}

int StudySession::clipCount() const
{
    return static_cast<int>(m_record.clips.size()) - (isPractice(0) ? 1 : 0);
}

int StudySession::doneCount() const
{
    int done = 0;
    for (int i = isPractice(0) ? 1 : 0; i < m_record.clips.size(); ++i)
        done += m_record.clips[i].state != SessionRecord::State::NotYet ? 1 : 0;
    return done;
}

QString StudySession::resultsName(int index) const
{
    const QString clip = isPractice(index)
                             ? QStringLiteral("practice")
                             : QFileInfo(m_record.clips.value(index).clip).completeBaseName();
    return Files::safeFileName(m_record.participant + QLatin1Char(' ') + clip + QLatin1Char(' ') +
                                   m_study.variables.value(0),
                               QStringLiteral("Dialtrace results"));
}

bool StudySession::start(int index, QString *error)
{
    m_record.clips[index].started = QDateTime::currentDateTime();
    return save(error);
}

bool StudySession::finish(int index, const QByteArray &results, const QByteArray &events,
                          QString *error)
{
    QStringList made;
    if (!Files::createUniqueFiles(
            m_study.resultsFolder, resultsName(index), QStringLiteral("Dialtrace results"),
            {{QStringLiteral(".csv"), results}, {QStringLiteral(".events.csv"), events}}, &made,
            error))
        return false;
    SessionRecord::Clip &clip = m_record.clips[index];
    clip.state = SessionRecord::State::Done;
    clip.ended = QDateTime::currentDateTime();
    clip.files.clear();
    for (const QString &path : std::as_const(made))
        clip.files.append(QFileInfo(path).fileName());
    return save(error);
}

bool StudySession::save(QString *error)
{
    // The one file a study replaces: written beside and renamed over, so it is always whole.
    return Files::replaceRegularFile(m_recordPath, SessionFile::bytes(m_record), error);
}
