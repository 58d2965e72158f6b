#include "studysession.h"

#include "eventlog.h"
#include "files.h"
#include "resultsfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString DefaultResultsName = QStringLiteral("Dialtrace results");

bool failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

SessionRecord::State leftToDoBelow(const Study &study)
{
    // Clips below this state are left to do.
    return study.rerunInterrupted ? SessionRecord::State::Done : SessionRecord::State::Recovered;
}

} // namespace

QList<QList<int>> balancedOrders(int count)
{
    // The first row goes 0, 1, n-1, 2, n-2, ...; each next row adds 1 to every clip.
    QList<int> first;
    for (int j = 0; j < count; ++j)
        first.append(j == 0 ? 0 : j % 2 == 1 ? (j + 1) / 2 : count - j / 2);
    QList<QList<int>> rows;
    for (int shift = 0; shift < count; ++shift) {
        QList<int> row;
        for (int clip : std::as_const(first))
            row.append((clip + shift) % count);
        rows.append(row);
    }
    if (count % 2 == 1) {
        for (int i = 0; i < count; ++i)
            rows.append(QList<int>(rows[i].rbegin(), rows[i].rend()));
    }
    return rows;
}

QStringList participantOrder(const Study &study, int turn, QRandomGenerator &random)
{
    QStringList clips = study.clips;
    switch (study.order) {
    case Study::Order::AsListed:
        break;
    case Study::Order::Shuffled:
        std::shuffle(clips.begin(), clips.end(), random);
        break;
    case Study::Order::Balanced: {
        const QList<QList<int>> rows = balancedOrders(static_cast<int>(study.clips.size()));
        clips.clear();
        for (int clip : rows[turn % rows.size()])
            clips.append(study.clips[clip]);
        break;
    }
    case Study::Order::ByHand:
        clips = study.orders[turn % study.orders.size()];
        break;
    }
    if (!study.practice.isEmpty())
        clips.prepend(study.practice);
    return clips;
}

std::optional<StudySession> StudySession::begin(const Study &study, const QString &participant,
                                                const QString &date, QRandomGenerator &random,
                                                QString *error)
{
    if (!QDir().mkpath(study.resultsFolder)) {
        failed(error, QStringLiteral("The results folder \"%1\" cannot be made.")
                          .arg(QDir::toNativeSeparators(study.resultsFolder)));
        return std::nullopt;
    }
    // Two computers starting in the same second may take one turn twice.
    const auto turn =
        SessionFile::ofStudy(SessionFile::inFolder(study.resultsFolder), study.title).size();
    StudySession session;
    session.m_study = study;
    session.m_record.study = study.title;
    session.m_record.participant = participant;
    session.m_record.date = date;
    if (study.input != InputMode::Steps)
        session.m_record.input = Input::name(study.input);
    for (const QString &clip : participantOrder(study, static_cast<int>(turn), random)) {
        SessionRecord::Clip entry;
        entry.clip = clip;
        session.m_record.clips.append(entry);
    }
    const QString when = QDateTime::currentDateTime().toString(ResultsFile::NameDateTime);
    const QString fallback = QStringLiteral("Participant") + SessionFile::NameInfix + when;
    QStringList made;
    if (!Files::createUniqueFiles(
            study.resultsFolder,
            Files::safeFileName(participant, SessionFile::NameInfix + when, fallback), fallback,
            {{QStringLiteral(".json"), SessionFile::bytes(session.m_record)}}, &made, error))
        return std::nullopt;
    session.m_recordPath = made.first();
    return session;
}

namespace {

// This participant's sessions of the study, the newest last.
QList<SessionFile::Stored> sessionsOf(const Study &study, const QString &participant)
{
    QList<SessionFile::Stored> found;
    for (const SessionFile::Stored &stored :
         SessionFile::ofStudy(SessionFile::inFolder(study.resultsFolder), study.title)) {
        if (stored.record.participant == participant)
            found.append(stored);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](auto &a, auto &b) { return a.modified < b.modified; });
    return found;
}

} // namespace

std::optional<StudySession> StudySession::unfinished(const Study &study, const QString &participant)
{
    const QList<SessionFile::Stored> sessions = sessionsOf(study, participant);
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
        StudySession session;
        session.m_study = study;
        session.m_record = it->record;
        session.m_recordPath = it->path;
        if (session.next() >= 0)
            return session;
    }
    return std::nullopt;
}

std::optional<QString> StudySession::completed(const Study &study, const QString &participant)
{
    const QList<SessionFile::Stored> sessions = sessionsOf(study, participant);
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
        if (it->record.allAtLeast(leftToDoBelow(study)))
            return it->record.date.isEmpty() ? it->modified.toString(QStringLiteral("yyyy-MM-dd"))
                                             : it->record.date;
    }
    return std::nullopt;
}

QString StudySession::otherStudies(const Study &study)
{
    QMap<QString, int> others;
    SessionFile::ofStudy(SessionFile::inFolder(study.resultsFolder), study.title, &others);
    return SessionFile::leftOut(others);
}

bool StudySession::recordSavedRun(const Recovery::StudyRun &run, QString *error)
{
    auto record = SessionFile::read(run.place.record);
    if (!record)
        return failed(error, QStringLiteral("it cannot be read"));
    if (run.place.index < 0 || run.place.index >= record->clips.size())
        return failed(error, QStringLiteral("it does not hold this run"));
    record->clips[run.place.index].takeRun(run.whole ? SessionRecord::State::Done
                                                     : SessionRecord::State::Recovered,
                                           run.files, run.complete, run.seconds, run.controls);
    return SessionFile::update(run.place.record, *record, nullptr, error);
}

bool StudySession::isPractice(int index) const
{
    return m_study.isPractice(m_record.clips.value(index).clip, index);
}

int StudySession::next() const
{
    for (int i = 0; i < m_record.clips.size(); ++i) {
        if (isLeftToDo(i))
            return i;
    }
    return -1;
}

bool StudySession::isLeftToDo(int index) const
{
    return m_record.clips[index].state < leftToDoBelow(m_study);
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
        done += m_record.clips[i].state >= leftToDoBelow(m_study) ? 1 : 0;
    return done;
}

int StudySession::interruptedCount() const
{
    if (!m_study.rerunInterrupted)
        return 0;
    int interrupted = 0;
    for (int i = isPractice(0) ? 1 : 0; i < m_record.clips.size(); ++i)
        interrupted += m_record.clips[i].state == SessionRecord::State::Recovered ? 1 : 0;
    return interrupted;
}

QString StudySession::resultsName(int index) const
{
    const QString clip = isPractice(index)
                             ? QStringLiteral("practice")
                             : QFileInfo(m_record.clips.value(index).clip).completeBaseName();
    return Files::safeFileName(m_record.participant,
                               QLatin1Char(' ') + clip + QLatin1Char(' ') +
                                   m_study.variables.value(0),
                               DefaultResultsName);
}

bool StudySession::start(int index, QString *error)
{
    m_started = QDateTime::currentDateTime();
    if (!m_record.clips[index].started.isValid())
        m_record.clips[index].started = m_started;
    return save(error);
}

void StudySession::refresh()
{
    if (const auto there = SessionFile::read(m_recordPath))
        m_record = merged(*there, m_record);
}

bool StudySession::saveResults(int index, const QByteArray &results, const QByteArray &events,
                               QString *error)
{
    m_saved.clear();
    QList<RunEvent> logged;
    m_controls = EventLog::parse({}, events, &logged, nullptr)
                     ? EventLog::controls(logged, m_study.input)
                     : QStringList();
    return Files::createUniqueFiles(m_study.resultsFolder, resultsName(index), DefaultResultsName,
                                    {{ResultsFile::Suffix, results}, {EventLog::Suffix, events}},
                                    &m_saved, error);
}

bool StudySession::markDone(int index, bool complete, int seconds, QString *error)
{
    QStringList files;
    for (const QString &path : std::as_const(m_saved))
        files.append(QFileInfo(path).fileName());
    // What an earlier run of the clip left (an interrupted one) stays, named as extra.
    SessionRecord::Clip &clip = m_record.clips[index];
    clip.takeRun(SessionRecord::State::Done, files, complete, seconds, m_controls);
    // The times of the run whose files these are.
    clip.started = m_started;
    return save(error);
}

bool StudySession::save(QString *error)
{
    m_recordWritten = SessionFile::update(m_recordPath, m_record, &m_record, error);
    return m_recordWritten;
}
