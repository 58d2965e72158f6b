#include "journalfile.h"

#include "files.h"
#include "resultsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <algorithm>

namespace Journal {

namespace {

// "row,level1,level2,rows of the table[,time,media]" after a sample of an earlier row: the sample
// and the table's rows then. Journals of earlier versions have no time. Levels as the run's mode
// writes them.
std::optional<std::pair<RunEvent, int>> parseSample(const QByteArray &line, int previousRow,
                                                    InputMode input)
{
    const QList<QByteArray> cells = line.split(',');
    if (cells.size() != 4 && cells.size() != 6)
        return std::nullopt;
    bool ok[6] = {true, true, true, true, true, true};
    RunEvent sample;
    sample.row = cells[0].toInt(&ok[0]);
    bool decimal1 = false, decimal2 = false;
    const auto level1 = Input::parseLevel(cells[1], &decimal1);
    const auto level2 = Input::parseLevel(cells[2], &decimal2);
    const bool decimal = input == InputMode::Position;
    ok[1] = level1 && level2 && decimal1 == decimal && decimal2 == decimal;
    const int rows = cells[3].toInt(&ok[3]);
    if (cells.size() == 6) {
        sample.time = cells[4].toLongLong(&ok[4]);
        if (!cells[5].isEmpty())
            sample.media = cells[5].toLongLong(&ok[5]);
    }
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) ||
        sample.row <= previousRow || rows < sample.row || rows > 10000)
        return std::nullopt;
    sample.level1 = *level1;
    sample.level2 = *level2;
    return std::pair{sample, rows};
}

} // namespace

// Letters, digits, dots and dashes: a computer's name as part of a file name.
QString fileNamePart(const QString &text)
{
    QString part = text;
    for (QChar &c : part) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') &&
            c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return part.isEmpty() ? QStringLiteral("computer") : part;
}

QString thisComputer()
{
    return QSysInfo::machineHostName();
}

QString computerOf(const QString &fileName)
{
    const qsizetype at = fileName.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return fileNamePart(thisComputer());
    const QString name = fileName.mid(at + 1);
    return name.left(name.indexOf(QLatin1String(Suffix)));
}

bool writtenHere(const QString &fileName)
{
    return computerOf(fileName) == fileNamePart(thisComputer());
}

QByteArray header(const SetupRecord &record, bool twoVariables, const QDateTime &started,
                  const QString &computer, const StudyPlace &study)
{
    QJsonObject run{
        {"subject", record.SubjectName}, {"variable", record.Variable},
        {"variable2", record.Variable2}, {"date", record.DateText},
        {"two", twoVariables},           {"file", record.FileFullPath},
        {"computer", computer},          {"started", started.toString(Qt::ISODateWithMs)}};
    // Only a position run says so: a steps run's journal is as it always was.
    if (record.Input != InputMode::Steps)
        run.insert("input", Input::name(record.Input));
    if (!study.folder.isEmpty())
        run.insert("study", QJsonObject{{"folder", study.folder},
                                        {"name", study.name},
                                        {"record", study.record},
                                        {"index", study.index}});
    return Magic + QJsonDocument(run).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray sampleLine(const RunEvent &sample, int lastRow, InputMode input)
{
    return QByteArray::number(sample.row) + ',' + Input::levelText(sample.level1, input) + ',' +
           Input::levelText(sample.level2, input) + ',' + QByteArray::number(lastRow) + ',' +
           QByteArray::number(sample.time) + ',' +
           (sample.media == RunEvent::NoMedia ? QByteArray() : QByteArray::number(sample.media)) +
           '\n';
}

QByteArray eventLine(const RunEvent &event, InputMode input)
{
    QByteArray line = EventLog::line(event, true, input);
    line.chop(2); // its CR LF
    return EventMark + line + '\n';
}

QByteArray originLine(qint64 origin)
{
    return OriginMark + QByteArray::number(origin) + '\n';
}

QByteArray savedLine(const QStringList &files, bool complete, int seconds)
{
    const QJsonObject saved{
        {"files", QJsonArray::fromStringList(files)}, {"complete", complete}, {"seconds", seconds}};
    return SavedMark + QJsonDocument(saved).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<Run> parse(const QByteArray &bytes, QString *problem)
{
    const auto fail = [problem](const QString &reason) {
        if (problem)
            *problem = reason;
        return std::nullopt;
    };
    if (!bytes.startsWith(Magic)) {
        return fail(bytes.startsWith("DIALTRACE-JOURNAL ")
                        ? QStringLiteral("it was written by another version of Dialtrace")
                        : QStringLiteral("it does not begin as a journal does"));
    }
    QList<QByteArray> lines = bytes.mid(qsizetype(sizeof Magic) - 1).split('\n');
    // The last piece has no line end: empty, or a line torn by the crash.
    lines.removeLast();
    const QJsonObject json =
        lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.takeFirst()).object();
    if (json.isEmpty())
        return fail(QStringLiteral("the line describing its run is damaged"));
    Run run;
    run.record.SubjectName = json.value("subject").toString();
    run.record.Variable = json.value("variable").toString();
    run.record.Variable2 = json.value("variable2").toString();
    run.record.DateText = json.value("date").toString();
    run.record.FileFullPath = json.value("file").toString();
    run.twoVariables = json.value("two").toBool();
    run.record.Variable2Enabled = run.twoVariables;
    run.record.Input = Input::fromName(json.value("input").toString()).value_or(InputMode::Steps);
    run.computer = json.value("computer").toString(thisComputer());
    run.started = QDateTime::fromString(json.value("started").toString(), Qt::ISODateWithMs);
    const QJsonObject study = json.value("study").toObject();
    run.study = {study.value("folder").toString(), study.value("name").toString(),
                 study.value("record").toString(), study.value("index").toInt(-1)};

    QList<RunEvent> events;
    int previousRow = 1;
    qint64 origin = 0;
    bool ok = false;
    for (const QByteArray &line : std::as_const(lines)) {
        if (line + '\n' == RecoveredMark) {
            run.recovered = true;
        } else if (line.startsWith(SavedMark)) {
            const QJsonObject saved =
                QJsonDocument::fromJson(line.mid(qsizetype(sizeof SavedMark) - 1)).object();
            for (const QJsonValue file : saved.value("files").toArray())
                run.savedAs.append(file.toString());
            run.complete = saved.value("complete").toBool();
            run.savedSeconds = saved.value("seconds").toInt();
            run.damaged += saved.isEmpty() ? 1 : 0;
        } else if (line.startsWith(OriginMark)) {
            origin = line.mid(qsizetype(sizeof OriginMark) - 1).toLongLong(&ok);
            run.damaged += ok ? 0 : 1;
        } else if (line.startsWith(EventMark)) {
            bool decimal = false;
            const auto event =
                EventLog::parseLine(line.mid(qsizetype(sizeof EventMark) - 1), &decimal);
            if (event && decimal == (run.record.Input == InputMode::Position))
                events.append(*event);
            else
                ++run.damaged;
        } else if (const auto sample = parseSample(line, previousRow, run.record.Input)) {
            // A journal of an earlier version has no times: its samples make no event log.
            if (line.count(',') == 5)
                events.append(sample->first);
            run.lastRow = sample->second;
            previousRow = sample->first.row;
            run.rows.append(sample->first);
            ++run.samples;
        } else {
            // A damaged line (a disk that lost what it was given, a torn write) is passed over;
            // the lines after it still count.
            ++run.damaged;
        }
    }
    run.events = EventLog::onRunClock(events, origin);
    return run;
}

QString recoveredName(const Run &run)
{
    const QString name = QStringLiteral("Recovered %1 %2 %3")
                             .arg(run.record.SubjectName, run.record.Variable,
                                  run.started.toString(ResultsFile::NameDateTime));
    return Files::safeFileName(name.simplified(), shortRecoveredName(run));
}

QString shortRecoveredName(const Run &run)
{
    return QStringLiteral("Recovered run ") + run.started.toString(ResultsFile::NameDateTime);
}

} // namespace Journal
