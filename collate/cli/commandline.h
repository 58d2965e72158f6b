#pragma once

#include "studyruns.h"

#include <optional>

#include <QString>
#include <QStringList>

class QTextStream;

// dialtrace-collate [--variable NAME] [-o OUT.csv] [--chart OUT.png] [--long OUT.csv]
//                   [--video CLIP --trace-video OUT.mp4] [--force] FILE...
namespace CommandLine {

enum ExitCode
{
    Success = 0,
    NothingCollated = 1, // no file could be read, or an output could not be written
    WrongUsage = 2,      // also an output that would replace an input, a results file, or
                         // another file without --force
};

struct Options
{
    QStringList files;
    QString variable;   // empty: the first file's first variable
    QString table;      // -o
    QString chart;      // --chart
    QString longTable;  // --long: one row per run, variable and moment, for R and pandas
    bool force = false; // an existing output other than a results file may be replaced
    int rate = 0;       // --rate: moments a second from the event logs; 0: the results' rows
    QString study;      // --study: every clip of the study; -o and --chart then name folders
    bool includePartial = false; // --include-partial: with --study, a partial run where there is
                                 // no complete one
    double align = 0.0;          // --align: each run's lag within +-this many seconds, allowed for
    QString video;               // --video: the clip that the trace is drawn over
    QString traceVideo; // --trace-video, or --worm: the video written, the clip with the trace
    // The name the trace video was given by, as messages call it; --worm where it was not given.
    QString traceVideoOption = QStringLiteral("--worm");
    bool window = false;
    bool help = false;
    bool version = false;
    QString error; // why the arguments are wrong usage, empty when they are not
};

// One collation: its files, where its outputs go, what its summary lines begin with, and its
// variable (empty: the first file's first).
struct Job
{
    QStringList files;
    QString table;
    QString chart;
    QString traceVideo;
    QString prefix;
    QString variable;
    // In a study: its title, the clip as the study file writes it, and what the session records
    // say of each file's run; and the clip's name on one line, as its chart's title and its
    // summary lines name it.
    QString study;
    QString clip;
    QList<StudyRun> runs;
    QString clipName;
};

// Arguments without the program's name.
Options parse(const QStringList &arguments);

// The window opens with no file argument, or with --window and the files to load.
inline bool wantsWindow(const Options &options)
{
    return options.error.isEmpty() && !options.help && !options.version &&
           (options.window ||
            (options.files.isEmpty() && options.table.isEmpty() && options.chart.isEmpty() &&
             options.longTable.isEmpty() && options.variable.isEmpty() && options.study.isEmpty() &&
             options.video.isEmpty() && options.traceVideo.isEmpty()));
}

QString usage();

// What --help or --version prints, or nothing for any other call: answered before any
// application object exists, so that neither needs a display nor says anything on stderr.
std::optional<QString> answer(const Options &options);

// Collates, writes the summary to out and every skipped or bad file to err; the exit code.
int run(const Options &options, QTextStream &out, QTextStream &err);

} // namespace CommandLine
