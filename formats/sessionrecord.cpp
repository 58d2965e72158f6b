#include "sessionrecord.h"

#include "files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace {

// By State, in its order.
const std::array<QString, 3> StateNames = {QStringLiteral("not yet"), QStringLiteral("recovered"),
                                           QStringLiteral("done")};

QJsonValue moment(const QDateTime &when)
{
    // With its offset from UTC, so that records of computers in other zones compare.
    return when.isValid()
               ? QJsonValue(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate))
               : QJsonValue(QJsonValue::Null);
}

void addMissing(QStringList &to, const QStringList &names, const QStringList &besides)
{
    for (const QString &name : names) {
        if (!to.contains(name) && !besides.contains(name))
            to.append(name);
    }
}

SessionRecord::Clip mergedClip(const SessionRecord::Clip &first, const SessionRecord::Clip &second)
{
    // The later state wins; of two equal ones, the first record's (written earlier) stays.
    const bool secondWins = second.state > first.state;
    SessionRecord::Clip clip = secondWins ? second : first;
    const SessionRecord::Clip &other = secondWins ? first : second;
    if (!clip.started.isValid())
        clip.started = other.started;
    addMissing(clip.extra, other.files, clip.files);
    addMissing(clip.extra, other.extra, clip.files);
    return clip;
}

} // namespace

void SessionRecord::Clip::takeRun(State to, const QStringList &runFiles, bool isComplete,
                                  int storedSeconds, const QStringList &runControls)
{
    addMissing(extra, files, runFiles);
    state = to;
    files = runFiles;
    complete = isComplete;
    seconds = storedSeconds;
    controls = runControls;
    ended = QDateTime::currentDateTime();
}

QStringList SessionRecord::order() const
{
    QStringList clipsInOrder;
    for (const Clip &entry : clips)
        clipsInOrder.append(entry.clip);
    return clipsInOrder;
}

bool SessionRecord::allAtLeast(State state) const
{
    return std::all_of(clips.begin(), clips.end(),
                       [state](const Clip &clip) { return clip.state >= state; });
}

SessionRecord merged(const SessionRecord &first, const SessionRecord &second)
{
    if (first.participant != second.participant || first.order() != second.order())
        return first;
    SessionRecord record = first;
    for (qsizetype i = 0; i < record.clips.size(); ++i)
        record.clips[i] = mergedClip(first.clips[i], second.clips[i]);
    return record;
}

namespace SessionFile {

QByteArray bytes(const SessionRecord &record)
{
    QJsonArray clips;
    for (const SessionRecord::Clip &clip : record.clips) {
        QJsonObject entry{{"clip", clip.clip},
                                 {"state", StateNames[std::size_t(clip.state)]},
                                 {"files", QJsonArray::fromStringList(clip.files)},
                                 {"started", moment(clip.started)},
                                 {"ended", moment(clip.ended)},
                                 {"complete", clip.complete},
                                 {"seconds", clip.seconds},
                                 {"extra", QJsonArray::fromStringList(clip.extra)}};
        if (!clip.controls.isEmpty())
            entry.insert("controls", QJsonArray::fromStringList(clip.controls));
        clips.append(entry);
    }
    QJsonObject json{{"study", record.study},
                     {"participant", record.participant},
                     {"date", record.date},
                     {"order", QJsonArray::fromStringList(record.order())},
                     {"clips", clips}};
    if (!record.input.isEmpty())
        json.insert("input", record.input);
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<SessionRecord> parse(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject json = document.object();
    SessionRecord record;
    record.study = json.value("study").toString();
    record.participant = json.value("participant").toString();
    record.date = json.value("date").toString();
    record.input = json.value("input").toString();
    const auto names = [](const QJsonValue &list) {
        QStringList found;
        for (const QJsonValue file : list.toArray())
            found.append(file.toString());
        return found;
    };
    for (const QJsonValue item : json.value("clips").toArray()) {
        const QJsonObject entry = item.toObject();
        SessionRecord::Clip clip;
        clip.clip = entry.value("clip").toString();
        const auto state =
            std::find(StateNames.begin(), StateNames.end(), entry.value("state").toString());
        if (clip.clip.isEmpty() || state == StateNames.end())
            return std::nullopt;
        clip.state = static_cast<SessionRecord::State>(state - StateNames.begin());
        clip.files = names(entry.value("files"));
        clip.started = QDateTime::fromString(entry.value("started").toString(), Qt::ISODate);
        clip.ended = QDateTime::fromString(entry.value("ended").toString(), Qt::ISODate);
        clip.complete = entry.value("complete").toBool(clip.state == SessionRecord::State::Done);
        clip.seconds = entry.value("seconds").toInt(0);
        clip.extra = names(entry.value("extra"));
        clip.controls = names(entry.value("controls"));
        record.clips.append(clip);
    }
    if (record.participant.isEmpty() || record.clips.isEmpty())
        return std::nullopt;
    return record;
}

std::optional<SessionRecord> read(const QString &path)
{
    QByteArray bytes;
    if (!Files::readFileStart(path, MaxBytes, &bytes))
        return std::nullopt;
    return parse(bytes);
}

bool update(const QString &path, const SessionRecord &record, SessionRecord *written,
            QString *error)
{
    const std::optional<SessionRecord> there = read(path);
    const SessionRecord whole = there ? merged(*there, record) : record;
    // Written beside and renamed over, so that it is always whole.
    if (!Files::replacePlainFile(path, bytes(whole), error))
        return false;
    if (written)
        *written = whole;
    return true;
}

QList<Stored> inFolder(const QString &folder)
{
    QList<Stored> found;
    for (const QFileInfo &file : QDir(folder).entryInfoList({Pattern}, QDir::Files, QDir::Name)) {
        if (auto record = read(file.filePath()))
            found.append({file.filePath(), file.lastModified(), std::move(*record)});
    }
    return found;
}

QList<Stored> ofStudy(const QList<Stored> &records, const QString &title,
                      QMap<QString, int> *others)
{
    QList<Stored> found;
    for (const Stored &stored : records) {
        if (stored.record.study == title)
            found.append(stored);
        else if (others)
            ++(*others)[stored.record.study];
    }
    return found;
}

QString leftOut(const QMap<QString, int> &others)
{
    QStringList lines;
    for (auto it = others.begin(); it != others.end(); ++it)
        lines << (it.value() == 1 ? QStringLiteral("1 session record")
                                  : QStringLiteral("%1 session records").arg(it.value())) +
                     QStringLiteral(" of another study, %1, left out").arg(it.key());
    return lines.join(QLatin1Char('\n'));
}

} // namespace SessionFile
