#pragma once

#include "collatedialogs.h"
#include "eventlog.h"
#include "resultsfile.h"
#include "sessionrecord.h"
#include "support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

// Results files for the collating tests, made by the program's own writer.
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

inline QString write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The example of Shrout and Fleiss (1979): six targets rated by four judges.
inline const QList<QList<double>> ShroutFleiss = {{9, 2, 5, 8}, {6, 1, 3, 2},  {8, 4, 6, 8},
                                                  {7, 1, 2, 6}, {10, 5, 6, 9}, {6, 2, 4, 7}};

// One file per judge; levels run from -5 to 5, so every rating is lowered by 5, which changes
// no intraclass correlation.
inline QStringList writeShroutFleiss(const QString &directory)
{
    QStringList paths;
    for (int judge = 0; judge < 4; ++judge) {
        QStringList cells;
        for (const QList<double> &target : ShroutFleiss)
            cells.append(QString::number(target[judge] - 5));
        paths.append(write(
            directory + QStringLiteral("/judge%1.csv").arg(judge + 1),
            results(QStringLiteral("Judge%1").arg(judge + 1), QStringLiteral("Mood"), cells)));
    }
    return paths;
}

// A study of the clips a/intro.avi, b/intro.avi (alike in name), city.avi and empty.avi (rated by
// nobody), with a practice clip and the variables Mood and Stress; in its results folder out/ the
// records of P01 and P02, who did every clip (P02's city with a further run; P01 a/intro once
// more in a second session), of P03, who did
// a/intro, was interrupted in city at 13 s (no event log) and has yet to do b/intro, and of Q01
// and Q02 in another study. The study file's path.
inline QString writeStudy(const QString &dir)
{
    const QStringList clips = {"practice.avi", "a/intro.avi", "b/intro.avi", "city.avi"};
    for (const char *folder : {"a", "b", "out"})
        QDir(dir).mkpath(folder);
    for (const QString &clip : clips + QStringList{"empty.avi"})
        write(dir + '/' + clip, "a clip");
    for (const QString participant : {"P01", "P02", "P03", "Q01", "Q02"}) {
        SessionRecord record{participant[0] == 'Q' ? "U" : "T", participant, "today", {}};
        for (int c = 0; c < clips.size(); ++c) {
            const QString name = participant + QStringLiteral(" %1").arg(c);
            QStringList cells;
            QList<RunEvent> events;
            for (int t = 2; t <= 6; ++t) {
                const int mood = (t * (participant.back().digitValue() + 2) + c) % 11 - 5;
                cells << QStringLiteral("%1,%2").arg(mood).arg(-mood / 2);
                events.append({t * 1000 - 1000, RunEvent::NoMedia, RunEvent::Kind::Sample, 0, mood,
                               -mood / 2, t, RunEvent::Source::None});
            }
            write(dir + "/out/" + name + ".csv", results(participant, "Mood,Stress", cells, 2));
            record.clips.append({clips[c],
                                 SessionRecord::State::Done,
                                 {name + ".csv", name + ".events.csv"},
                                 {},
                                 {},
                                 true,
                                 5,
                                 {}});
            if (name == "P03 3") // interrupted
                record.clips.last() = {
                    clips[c], SessionRecord::State::Recovered, {name + ".csv"}, {}, {}, false, 13,
                    {}};
            else
                write(dir + "/out/" + name + ".events.csv", EventLog::bytes(events, false));
        }
        record.clips[2].state =
            participant == "P03" ? SessionRecord::State::NotYet : record.clips[2].state;
        if (participant == "P02") {
            record.clips[3].extra = {"P02 3 old.csv"};
            QFile::copy(dir + "/out/P02 3.csv", dir + "/out/P02 3 old.csv");
        }
        write(dir + "/out/" + participant + " session 1.json", SessionFile::bytes(record));
    }
    // P01 took the study again, and a/intro first.
    QFile::copy(dir + "/out/P01 1.csv", dir + "/out/P01 1 again.csv");
    write(dir + "/out/P01 session 2.json", SessionFile::bytes({"T",
                                                               "P01",
                                                               "later",
                                                               {{"a/intro.avi",
                                                                 SessionRecord::State::Done,
                                                                 {"P01 1 again.csv"},
                                                                 {},
                                                                 {},
                                                                 true,
                                                                 5,
                                                                 {}}}}));
    return write(dir + "/study.json", R"({"title": "T", "variables": ["Mood", "Stress"],
        "practice": "practice.avi", "clips": ["a/intro.avi", "b/intro.avi", "city.avi",
        "empty.avi"], "results": "out"})");
}

} // namespace CollateFiles

// FakeDialogs, with a queue of answers for the dialog that chooses several files.
class FakeCollateDialogs : public CollateDialogs
{
public:
    QString openFile(QWidget *parent, const OpenFileRequest &request) override
    {
        return common.openFile(parent, request);
    }
    QString saveFile(QWidget *parent, const QString &fileName, const QString &filter) override
    {
        return common.saveFile(parent, fileName, filter);
    }
    void message(QWidget *parent, const QString &text) override { common.message(parent, text); }
    bool confirm(QWidget *parent, const QString &text) override
    {
        return common.confirm(parent, text);
    }
    QStringList openFiles(QWidget *, const OpenFileRequest &) override
    {
        return openFilesAnswers.isEmpty() ? QStringList() : openFilesAnswers.takeFirst();
    }

    FakeDialogs common;
    QList<QStringList> openFilesAnswers;
};

// The tests of the command line and the window, run after the collate case's own.
int runCollateProgramTests(int argc, char *argv[]);
int runCollateWindowTests(int argc, char *argv[]);
