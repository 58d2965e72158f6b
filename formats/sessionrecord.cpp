#include "sessionrecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace {

const std::array<QString, 3> StateNames = {QStringLiteral("not yet"), QStringLiteral("done"),
                                           QStringLiteral("recovered")};

QJsonValue moment(const QDateTime &when)
{
    // With its offset from UTC, so that records of computers in other zones compare.
    return when.isValid()
               ? QJsonValue(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate))
               : QJsonValue(QJsonValue::Null);
}

} // namespace

QStringList SessionRecord::order() const
{
    QStringList clipsInOrder;
    for (const Clip &entry : clips)
        clipsInOrder.append(entry.clip);
    return clipsInOrder;
}

namespace SessionFile {

QByteArray bytes(const SessionRecord &record)
{
    QJsonArray clips;
    for (const SessionRecord::Clip &clip : record.clips) {
        clips.append(QJsonObject{{"clip", clip.clip},
                                 {"state", StateNames[std::size_t(clip.state)]},
                                 {"files", QJsonArray::fromStringList(clip.files)},
                                 {"started", moment(clip.started)},
                                 {"ended", moment(clip.ended)}});
    }
    const QJsonObject json{{"study", record.study},
                           {"participant", record.participant},
                           {"date", record.date},
                           {"order", QJsonArray::fromStringList(record.order())},
                           {"clips", clips}};
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
    for (const QJsonValue item : json.value("clips").toArray()) {
        const QJsonObject entry = item.toObject();
        SessionRecord::Clip clip;
        clip.clip = entry.value("clip").toString();
        const auto state =
            std::find(StateNames.begin(), StateNames.end(), entry.value("state").toString());
        if (clip.clip.isEmpty() || state == StateNames.end())
            return std::nullopt;
        clip.state = static_cast<SessionRecord::State>(state - StateNames.begin());
        for (const QJsonValue file : entry.value("files").toArray())
            clip.files.append(file.toString());
        clip.started = QDateTime::fromString(entry.value("started").toString(), Qt::ISODate);
        clip.ended = QDateTime::fromString(entry.value("ended").toString(), Qt::ISODate);
        record.clips.append(clip);
    }
    if (record.participant.isEmpty() || record.clips.isEmpty())
        return std::nullopt;
    return record;
}

} // namespace SessionFile
