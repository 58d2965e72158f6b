#pragma once

#include "collatedialogs.h"
#include "collation.h"
#include "eventlog.h"
#include "files.h"
#include "resultsfile.h"
#include "sessionrecord.h"
#include "support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// Results files and studies for the collating tests, made by the program's own writers, and what
// a folder holds.
namespace CollateFiles {

// cells holds what follows the row number, from row 2 on: "3" or "" for one variable, "3,-1"
// for two; names is what follows "Time,".
inline QByteArray results(const QString &subject, const QString &names, const QStringList &cells,
                          int variables = 1, const QString &date = QStringLiteral("1.1.2026"))
{
    ResultsRun run;
    run.subject = subject;
    run.date = date;
    run.variables = ResultsFile::splitVariables(names, variables);
    run.levels.fill(QList<qint8>(2, ResultsRun::Gap), variables);
    for (const QString &row : cells) {
        const QStringList cell = row.split(',');
        for (int v = 0; v < variables; ++v)
            run.levels[v].append(cell.value(v).isEmpty() ? ResultsRun::Gap
                                                         : qint8(cell.value(v).toInt()));
    }
    return ResultsFile::bytes(run);
}

// The run that bytes hold, as read from path; bytes that do not read stop the test.
inline ResultsRun parsed(const QString &path, const QByteArray &bytes)
{
    ResultsRun run;
    ReadProblem problem;
    if (!ResultsFile::parse(path, bytes, &run, &problem))
        qFatal("%s", qPrintable(problem.text()));
    return run;
}

inline QString write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The names in a folder, of every kind of entry, in order, without reading a file.
inline QStringList names(const QString &directory)
{
    QStringList found = QDir(directory).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                                  QDir::NoDotAndDotDot);
    found.sort();
    return found;
}

// What a folder holds: each plain file's bytes (or size, when large), and what else is there.
inline QMap<QString, QByteArray> contents(const QString &directory)
{
    QMap<QString, QByteArray> found;
    const QDir dir(directory);
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QByteArray &bytes = found[entry.fileName()];
        if (entry.isSymLink() || !entry.isFile())
            bytes = "not a plain file";
        else if (entry.size() > ResultsFile::MaxFileBytes)
            bytes = QByteArray::number(entry.size());
        else if (!Files::readFile(entry.filePath(), &bytes))
            qFatal("cannot read %s", qPrintable(entry.filePath()));
    }
    return found;
}

// A machine without a display or a desktop session, as a script on a server has; the tests'
// own offscreen platform is not passed on.
inline QProcessEnvironment headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

struct Ran
{
    bool finished = false; // within the time allowed, and not crashed
    int exitCode = -1;
    QString out;
    QString err;
};

// program (the collator unless named) run with arguments until it ends, on a machine without a
// display, or where headlessly is false in the tests' own environment.
inline Ran run(const QStringList &arguments, int timeoutMs = 30000,
               const QString &program = QStringLiteral(DIALTRACE_COLLATE), bool headlessly = true)
{
    QProcess process;
    if (headlessly)
        process.setProcessEnvironment(headless());
    process.start(program, arguments);
    Ran ran;
    ran.finished =
        process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    ran.exitCode = ran.finished ? process.exitCode() : -1;
    ran.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    ran.err = QString::fromLocal8Bit(process.readAllStandardError());
    return ran;
}

// A program that reads what the collator writes (Rscript, python3), Debian's own first: one of
// another installation may lack the packages asked for. Empty where there is none.
inline QString reader(const QString &name)
{
    const QString debian = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/bin")});
    return debian.isEmpty() ? QStandardPaths::findExecutable(name) : debian;
}

// Each statistic as the summary prints it, the runs named by names.
inline QStringList statisticLines(const Collation &collation, const QStringList &names)
{
    QStringList lines;
    for (const Statistic &statistic : collation.statistics(names))
        lines.append(statistic.line());
    return lines;
}

// The example of Shrout and Fleiss (1979): six targets rated by four judges.
inline const QList<QList<double>> ShroutFleiss = {{9, 2, 5, 8}, {6, 1, 3, 2},  {8, 4, 6, 8},
                                                  {7, 1, 2, 6}, {10, 5, 6, 9}, {6, 2, 4, 7}};

// Each judge's ratings as the cells of a run: levels run from -5 to 5, so every rating is lowered
// by 5, which changes no intraclass correlation.
inline QList<QStringList> shroutFleissCells()
{
    QList<QStringList> judges(4);
    for (const QList<double> &target : ShroutFleiss) {
        for (int judge = 0; judge < 4; ++judge)
            judges[judge].append(QString::number(target[judge] - 5));
    }
    return judges;
}

// One file per judge.
inline QStringList writeShroutFleiss(const QString &directory)
{
    QStringList paths;
    const QList<QStringList> judges = shroutFleissCells();
    for (int judge = 0; judge < 4; ++judge)
        paths.append(write(directory + QStringLiteral("/judge%1.csv").arg(judge + 1),
                           results(QStringLiteral("Judge%1").arg(judge + 1), QStringLiteral("Mood"),
                                   judges[judge])));
    return paths;
}

// Event logs of the judges' runs: judges 1 and 2 with one press each at 1.4 s of the clip (at
// their first levels) and their samples; judge 1's log beside judge 4 too; none for judge 3. A
// log for two.csv beside them, samples alone.
inline void writeJudgeLogs(const QStringList &files)
{
    for (int judge = 0; judge < 2; ++judge) {
        QList<RunEvent> events = {{500, 1400, RunEvent::Kind::Increase, 1,
                                   int(ShroutFleiss[0][judge]) - 5, 0, 0, RunEvent::Source::Key}};
        for (int second = 1; second <= 6; ++second)
            events.append({second * 1000, second * 1000 + 900, RunEvent::Kind::Sample, 0,
                           int(ShroutFleiss[second - 1][judge]) - 5, 0, second + 1,
                           RunEvent::Source::None});
        write(EventLog::pathBeside(files[judge]), EventLog::bytes(events, false));
    }
    QFile::copy(EventLog::pathBeside(files[0]), EventLog::pathBeside(files[3]));
    write(QFileInfo(files[0]).path() + "/two.events.csv",
          EventLog::bytes({{1000, 1900, RunEvent::Kind::Sample, 0, 1, 2, 2, {}},
                           {2000, 2900, RunEvent::Kind::Sample, 0, 2, 3, 3, {}}},
                          true));
}

// A study of a/intro.avi and b/intro.avi (alike in name), city.avi and empty.avi after a practice
// clip, rating Mood and Stress, and its session records in out/, a letter a clip from the
// practice on: d done, r interrupted at 13 s (no event log), e ended at 13 s before the clip's end
// (no event log), n not yet, - not listed. P02's city
// lists a further run (a file of Q01's will do); Q01 and Q02 took another study. The study file's
// path.
inline QString writeStudy(const QString &dir)
{
    const QStringList clips = {"practice.avi", "a/intro.avi", "b/intro.avi", "city.avi"};
    for (const char *folder : {"a", "b", "out"})
        QDir(dir).mkpath(folder);
    for (const QString &clip : clips + QStringList{"empty.avi"})
        write(dir + '/' + clip, "a clip");
    const QStringList sessions = {"P01 dddd", "P02 dddd", "P03 ddnr", "P01 -d--",
                                  "P04 dd-e", "Q01 dddd", "Q02 dddd"};
    for (int s = 0; s < sessions.size(); ++s) {
        const QString participant = sessions[s].left(3);
        SessionRecord record{participant[0] == 'Q' ? "U" : "T", participant, "today", {}};
        for (int c = 0; c < clips.size(); ++c) {
            const QString name = QStringLiteral("%1 %2 %3.csv").arg(participant).arg(s).arg(c);
            const qsizetype state = QStringLiteral("nrde").indexOf(sessions[s][4 + c]);
            write(dir + "/out/" + name, results(participant, "Mood,Stress", {"1,0", "-2,3"}, 2));
            if (state == 2)
                write(EventLog::pathBeside(dir + "/out/" + name),
                      EventLog::bytes({{1000, 1900, RunEvent::Kind::Sample, 0, 1, 0, 2, {}},
                                       {1500, 2400, RunEvent::Kind::Decrease, 1, -2, 3, 0,
                                        RunEvent::Source::Key},
                                       {2000, 2900, RunEvent::Kind::Sample, 0, -2, 3, 3, {}}},
                                      true));
            if (state >= 0)
                record.clips.append({clips[c], SessionRecord::State(std::min<qsizetype>(state, 2)),
                                     QStringList{name}, QDateTime(), QDateTime(), state == 2, 13,
                                     QStringList()});
        }
        if (s == 1)
            record.clips[3].extra = {"Q01 5 3.csv"};
        write(dir + QStringLiteral("/out/%1 session %2.json").arg(participant).arg(s),
              SessionFile::bytes(record));
    }
    return write(dir + "/study.json", R"({"title": "T", "variables": ["Mood", "Stress"],
        "practice": "practice.avi", "clips": ["a/intro.avi", "b/intro.avi", "city.avi",
        "empty.avi"], "results": "out"})");
}

} // namespace CollateFiles

// The fake dialogs, with a queue of answers for the dialog that chooses several files.
class FakeCollateDialogs : public FakeDialogsOf<CollateDialogs>
{
public:
    QStringList openFiles(QWidget *, const OpenFileRequest &) override
    {
        return openFilesAnswers.isEmpty() ? QStringList() : openFilesAnswers.takeFirst();
    }

    QList<QStringList> openFilesAnswers;
};
