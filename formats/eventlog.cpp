#include "eventlog.h"

#include "files.h"
#include "scale.h"

#include <array>

namespace {

const QByteArray Header = "time_ms,media_ms,event,variable,level1,level2,row,source";

// A log of a fifteen-minute run holds some thousands of lines even under a dial turned fast;
// nothing this large is one, and it is not read whole.
constexpr qint64 MaxLogBytes = 32 * 1024 * 1024;

constexpr std::array<const char *, 10> KindNames = {"increase", "decrease", "fall-back", "sample",
                                                    "play",     "pause",    "seek",      "end",
                                                    "finished", "stall"};
constexpr std::array<const char *, 4> SourceNames = {"", "button", "key", "wheel"};

QByteArray optional(qint64 value, bool present)
{
    return present ? QByteArray::number(value) : QByteArray();
}

// A whole number, or nothing where empty is allowed.
bool number(const QByteArray &text, bool emptyAllowed, qint64 *value, qint64 empty = 0)
{
    if (text.isEmpty()) {
        *value = empty;
        return emptyAllowed;
    }
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok && !text.startsWith('+') && !text.contains(' ');
}

template <typename Enum, std::size_t N>
bool named(const QByteArray &text, const std::array<const char *, N> &names, Enum *value)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text == names[i]) {
            *value = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

} // namespace

bool RunEvent::operator==(const RunEvent &other) const
{
    return time == other.time && media == other.media && kind == other.kind &&
           variable == other.variable && level1 == other.level1 && level2 == other.level2 &&
           row == other.row && source == other.source;
}

namespace EventLog {

QByteArray header()
{
    return Header;
}

QByteArray kindName(RunEvent::Kind kind)
{
    return KindNames[static_cast<std::size_t>(kind)];
}

QByteArray sourceName(RunEvent::Source source)
{
    return SourceNames[static_cast<std::size_t>(source)];
}

QByteArray line(const RunEvent &event, bool twoVariables)
{
    QByteArray out = QByteArray::number(event.time);
    out += ',' + optional(event.media, event.media != RunEvent::NoMedia);
    out += ',' + kindName(event.kind);
    out += ',' + optional(event.variable, event.variable != 0);
    out += ',' + QByteArray::number(event.level1);
    out += ',' + optional(event.level2, twoVariables);
    out += ',' + optional(event.row, event.row != 0);
    out += ',' + sourceName(event.source) + "\r\n";
    return out;
}

QByteArray bytes(const QList<RunEvent> &events, bool twoVariables)
{
    QByteArray out = Header + "\r\n";
    out.reserve(out.size() + events.size() * 32);
    for (const RunEvent &event : events)
        out += line(event, twoVariables);
    return out;
}

QString pathBeside(const QString &resultsPath)
{
    QString stem = resultsPath;
    if (stem.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        stem.chop(4);
    return stem + Suffix;
}

std::optional<RunEvent> parseLine(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split(',');
    RunEvent event;
    qint64 variable = 0, level1 = 0, level2 = 0, row = 0;
    const bool ok =
        fields.size() == 8 && number(fields[0], false, &event.time) &&
        number(fields[1], true, &event.media, RunEvent::NoMedia) &&
        named(fields[2], KindNames, &event.kind) && number(fields[3], true, &variable) &&
        variable >= 0 && variable <= 2 && number(fields[4], false, &level1) &&
        Scale::contains(level1) && number(fields[5], true, &level2) && Scale::contains(level2) &&
        number(fields[6], true, &row) && row >= 0 && named(fields[7], SourceNames, &event.source);
    if (!ok)
        return std::nullopt;
    event.variable = static_cast<int>(variable);
    event.level1 = static_cast<int>(level1);
    event.level2 = static_cast<int>(level2);
    event.row = static_cast<int>(row);
    return event;
}

bool read(const QString &path, QList<RunEvent> *events, ReadProblem *problem)
{
    QByteArray bytes;
    if (!Files::readFileStart(path, MaxLogBytes + 1, &bytes))
        return ReadProblem::fail(problem, path, 0,
                                 QStringLiteral("cannot be read as a plain file"));
    if (bytes.size() > MaxLogBytes)
        return ReadProblem::fail(problem, path, 0,
                                 QStringLiteral("larger than the event log of any run"));
    return parse(path, bytes, events, problem);
}

bool parse(const QString &path, const QByteArray &bytes, QList<RunEvent> *events,
           ReadProblem *problem)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &text : lines) {
        if (text.endsWith('\r'))
            text.chop(1);
    }
    if (lines.value(0) != Header)
        return ReadProblem::fail(
            problem, path, 1,
            QStringLiteral("not an event log: the first line should read \"%1\"")
                .arg(QLatin1String(Header)));
    QList<RunEvent> read;
    read.reserve(lines.size() - 1);
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const int lineNumber = static_cast<int>(index) + 1;
        const auto event = parseLine(lines[index]);
        if (!event)
            return ReadProblem::fail(problem, path, lineNumber, QStringLiteral("not an event"));
        if (!read.isEmpty() && event->time < read.last().time)
            return ReadProblem::fail(problem, path, lineNumber,
                                     QStringLiteral("earlier than the line before"));
        read.append(*event);
    }
    *events = std::move(read);
    return true;
}

} // namespace EventLog
