#pragma once

#include "commandline.h"

#include <QList>

// --study FILE on the command line: a collation for each clip and variable of the study.
namespace StudyCommand {

// The jobs of the study, one per clip with runs and variable (only --variable's where given),
// their outputs named in the folders of -o and --chart; notes gets what standard error is to say
// once the outputs are checked (the runs left out, the clips without runs, other studies'
// records). Nothing where the study cannot be used: the reason is then on err and in status.
// records gets the paths of the session records read.
std::optional<QList<CommandLine::Job>> jobs(const CommandLine::Options &options, QStringList *notes,
                                            QTextStream &err, int *status, QStringList *records);

// The outputs' names without a suffix, clip by clip and each clip variable by variable: the
// clip's name and the variable's, made safe for a file name. Where two would be one file, letter
// case aside, the later gets " (2)", " (3)" ...
QStringList fileNames(const QStringList &clipNames, const QStringList &variables);

// Makes the folders -o and --chart name where missing; false, with the reason on err, where one
// cannot be made.
bool makeFolders(const CommandLine::Options &options, QTextStream &err);

} // namespace StudyCommand
