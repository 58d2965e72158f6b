#include "eventlog.h"

#include "files.h"
#include "inputmode.h"

#include <array>

namespace {

const QByteArray Header = "time_ms,media_ms,event,variable,level1,level2,row,source";

// A log of a fifteen-minute run holds some thousands of lines even under a dial turned fast;
// nothing this large is one, and it is not read whole.
constexpr qint64 MaxLogBytes = 32 * 1024 * 1024;

constexpr std::array<const char *, 12> KindNames = {
    "increase", "decrease", "fall-back", "sample", "play",   "pause",
    "seek",     "end",      "finished",  "move",   "device", "stall"};
constexpr std::array<const char *, 8> SourceNames = {
    "", "button", "key", "wheel", "mouse", "controller", "connected", "disconnected"};

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

QList<RunEvent> onRunClock(QList<RunEvent> events, qint64 origin)
{
    for (RunEvent &event : events)
        event.time -= origin;
    return events;
}

QStringList controls(const QList<RunEvent> &events, InputMode input)
{
    QStringList used;
    if (input == InputMode::Steps)
        return used;
    for (const RunEvent &event : events) {
        const QString name = QString::fromLatin1(sourceName(event.source));
        if (event.variable != 0 && !name.isEmpty() && !used.contains(name))
            used.append(name);
    }
    return used;
}

QByteArray line(const RunEvent &event, bool twoVariables, InputMode input)
{
    QByteArray out = QByteArray::number(event.time);
    out += ',' + optional(event.media, event.media != RunEvent::NoMedia);
    out += ',' + kindName(event.kind);
    out += ',' + optional(event.variable, event.variable != 0);
    out += ',' + Input::levelText(event.level1, input);
    out += ',' + (twoVariables ? Input::levelText(event.level2, input) : QByteArray());
    out += ',' + optional(event.row, event.row != 0);
    out += ',' + sourceName(event.source) + "\r\n";
    return out;
}

QByteArray bytes(const QList<RunEvent> &events, bool twoVariables, InputMode input)
{
    QByteArray out = Header + "\r\n";
    out.reserve(out.size() + events.size() * 32);
    for (const RunEvent &event : events)
        out += line(event, twoVariables, input);
    return out;
}

QString pathBeside(const QString &resultsPath)
{
    QString stem = resultsPath;
    if (stem.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        stem.chop(4);
    return stem + Suffix;
}

std::optional<RunEvent> parseLine(const QByteArray &line, bool *decimal)
{
    const QList<QByteArray> fields = line.split(',');
    RunEvent event;
    qint64 variable = 0, row = 0;
    bool decimal1 = false, decimal2 = false;
    std::optional<int> level1, level2 = 0;
    const bool ok =
        fields.size() == 8 && number(fields[0], false, &event.time) &&
        number(fields[1], true, &event.media, RunEvent::NoMedia) &&
        named(fields[2], KindNames, &event.kind) && number(fields[3], true, &variable) &&
        variable >= 0 && variable <= 2 && (level1 = Input::parseLevel(fields[4], &decimal1)) &&
        (fields[5].isEmpty() || (level2 = Input::parseLevel(fields[5], &decimal2))) &&
        number(fields[6], true, &row) && row >= 0 && named(fields[7], SourceNames, &event.source);
    if (!ok)
        return std::nullopt;
    // A line with a decimal level is a position run's, and its whole levels are too: a
    // spreadsheet program may have saved "2.0" as "2" beside "2.3".
    const bool tenths = decimal1 || decimal2;
    if (tenths && !decimal1)
        *level1 *= Input::TenthsPerStep;
    if (tenths && !decimal2)
        *level2 *= Input::TenthsPerStep;
    if (decimal)
        *decimal = tenths;
    event.variable = static_cast<int>(variable);
    event.level1 = *level1;
    event.level2 = *level2;
    event.row = static_cast<int>(row);
    return event;
}

bool read(const QString &path, QList<RunEvent> *events, ReadProblem *problem, InputMode *input)
{
    QByteArray bytes;
    if (!Files::readFileStart(path, MaxLogBytes + 1, &bytes))
        return ReadProblem::fail(problem, path, 0,
                                 QStringLiteral("cannot be read as a plain file"));
    if (bytes.size() > MaxLogBytes)
        return ReadProblem::fail(problem, path, 0,
                                 QStringLiteral("larger than the event log of any run"));
    return parse(path, bytes, events, problem, input);
}

bool parse(const QString &path, const QByteArray &bytes, QList<RunEvent> *events,
           ReadProblem *problem, InputMode *input)
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
    // Lines without a decimal, to be made tenths should the log turn out a position run's (a
    // spreadsheet program may have saved "2.0" as "2").
    QList<qsizetype> whole;
    InputMode found = InputMode::Steps;
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const int lineNumber = static_cast<int>(index) + 1;
        bool decimal = false;
        const auto event = parseLine(lines[index], &decimal);
        if (!event)
            return ReadProblem::fail(problem, path, lineNumber, QStringLiteral("not an event"));
        if (!read.isEmpty() && event->time < read.last().time)
            return ReadProblem::fail(problem, path, lineNumber,
                                     QStringLiteral("earlier than the line before"));
        if (decimal)
            found = InputMode::Position;
        else
            whole.append(read.size());
        read.append(*event);
    }
    if (found == InputMode::Position) {
        for (const qsizetype at : std::as_const(whole)) {
            read[at].level1 *= Input::TenthsPerStep;
            read[at].level2 *= Input::TenthsPerStep;
        }
    }
    if (input)
        *input = found;
    *events = std::move(read);
    return true;
}

} // namespace EventLog
