#pragma once

#include "collatedialogs.h"
#include "resultsfile.h"
#include "support.h"

#include <QByteArray>
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
