#include "commandline.h"

#include "collatechart.h"
#include "collating.h"
#include "files.h"
#include "inputguard.h"
#include "rebin.h"
#include "studycommand.h"
#include "tracevideocommand.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Usage = QStringLiteral(
    "usage: dialtrace-collate [--variable NAME] [--rate HZ] [--align SECONDS] [-o OUT.csv]\n"
    "                         [--chart OUT.png]\n"
    "                         [--video CLIP --trace-video OUT.mp4] [--force] FILE...\n"
    "       dialtrace-collate --study FILE [--variable NAME] [--include-partial] [--rate HZ]\n"
    "                         [-o FOLDER] [--chart FOLDER] [--force]\n"
    "       dialtrace-collate [--window [FILE...]]\n"
    "       dialtrace-collate --help | --version\n"
    "Collates one variable over Dialtrace results files and prints the agreement between the\n"
    "runs, one statistic a line as NAME<TAB>VALUE[<TAB>LOWER<TAB>UPPER].\n"
    "  --variable NAME  the variable to collate (default: the first file's first variable; with\n"
    "                   --study, every variable of the study)\n"
    "  --study FILE     collate every clip of a study over its participants (practice left\n"
    "                   out), one block per clip and variable, each summary line led by the\n"
    "                   clip's name, a tab, the variable's name and a tab; each participant's\n"
    "                   complete run is taken, and partial runs are named and left out; -o and\n"
    "                   --chart then name folders, made where missing and maybe the same one,\n"
    "                   for a table and a chart per clip and variable\n"
    "  --include-partial\n"
    "                   with --study: where a participant has no complete run of a clip, take\n"
    "                   their interrupted or early-ended run (named as taken); further runs\n"
    "                   that a record lists as extra are never taken\n"
    "  --align SECONDS  allow for each rater's lag: shift every run by the delay within\n"
    "                   +-SECONDS (at most 10) that agrees best with the others, print the\n"
    "                   lags as lag[FILE] lines, and collate the shifted runs\n"
    "  --rate HZ        collate HZ moments a second (1 to 50) from the event log beside each\n"
    "                   results file, instead of its seconds\n"
    "  -o OUT.csv       write the collated table: Time, one column per run, Mean, SD, N\n"
    "  --chart OUT.png  draw the runs, the mean and its band of one SD (.png, .jpg or .jpeg)\n"
    "  --video CLIP     the clip for --trace-video\n"
    "  --trace-video OUT.mp4, or --worm OUT.mp4\n"
    "                   write the clip again with the trace over its lower third: the runs,\n"
    "                   the mean in its band of one SD, and a cursor at each frame's moment\n"
    "  --force          replace an existing OUT file; a results file is never replaced\n"
    "  --window         open the window, with the files given already added\n"
    "  --help           print this and end\n"
    "  --version        print the version and end\n"
    "A file given twice, by any path or link, counts once. Without a file the window opens.\n"
    "Exit status: 0 collated, 1 nothing could be read, an output could not be written, or an\n"
    "event log that --rate needs is missing (in a study: for any clip; a clip without runs\n"
    "is no error), 2 wrong usage, or an output that would replace an input, a results file\n"
    "or (without --force) another file.\n");
const QString MissingValue = QStringLiteral("%1 needs a value");
const QString UnknownOption = QStringLiteral("unknown option %1");
const QString NoFiles = QStringLiteral("no results file given");
const QString StudyAndVideo =
    QStringLiteral("--study cannot be combined with %1: a video shows one clip");
const QString NotWithWindow =
    QStringLiteral("--window cannot be combined with -o, --chart or %1: the window exports itself");
const QString TwiceTheSame = QStringLiteral("-o and --chart name the same file");
const QString OverAnInput = QStringLiteral("%1 would overwrite the input file %2");
const QString OverResults =
    QStringLiteral("%1 is a Dialtrace results file; it is never replaced, not even with --force");
const QString OverUnreadable =
    QStringLiteral("%1 cannot be read to tell whether it is a results file, so it is not replaced");
const QString OverOther = QStringLiteral("%1 exists; --force replaces it");
const QString Repeated = QStringLiteral("%1: the same file as %2, counted once");
const QString WrongRate = QStringLiteral("--rate takes a whole number from %1 to %2");
const QString WrongAlign =
    QStringLiteral("--align takes the seconds a rater may lag, more than 0 and at most 10");
const QString WrongChartSuffix = QStringLiteral("--chart must end in .png, .jpg or .jpeg");
const QString Skipped = QStringLiteral("%1: skipped: %2");
const QString NoRuns = QStringLiteral("nothing to collate: no file could be read");
const QString CannotWrite = QStringLiteral("cannot write %1: %2");

const QString StudyAndFiles = QStringLiteral("--study takes no results files: it finds its own");
const QString PartialWithoutStudy = QStringLiteral("--include-partial goes with --study");

using CommandLine::Job;

// Why output may not be written, or empty when it may.
QString outputRefusal(const QString &output, const Job &job, const CommandLine::Options &options)
{
    if (output.isEmpty())
        return QString();
    using Reason = InputGuard::Refusal::Reason;
    const InputGuard::Refusal refusal = InputGuard::refusal(output, job.files, options.force);
    switch (refusal.reason) {
    case Reason::None:
        break;
    case Reason::Input:
        return OverAnInput.arg(output, refusal.input);
    case Reason::ResultsFile:
        return OverResults.arg(output);
    case Reason::Unreadable:
        return OverUnreadable.arg(output);
    case Reason::OtherFile:
        return OverOther.arg(output);
    }
    return QString();
}

using CommandLine::NothingCollated;
using CommandLine::Success;

// Collates the job's files and writes its outputs; the exit status.
int collate(const Job &job, const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    Collating::Outcome outcome = Collating::collate({}, job.files, job.variable, options.rate);
    for (const InputGuard::Repeat &repeat : std::as_const(outcome.repeats))
        err << Repeated.arg(repeat.path, repeat.sameAs) << '\n';
    for (const QString &problem : std::as_const(outcome.unreadable))
        err << problem << '\n';
    if (!outcome.notAtRate.isEmpty()) {
        err << "dialtrace-collate: " << outcome.notAtRate << '\n';
        return NothingCollated;
    }
    Collation &collation = outcome.collation;
    for (const SkippedRun &skipped : collation.skipped()) {
        err << Skipped.arg(skipped.path, skipped.reason) << '\n';
    }
    if (const QString mixed = collation.mixedInputs(); !mixed.isEmpty())
        err << "dialtrace-collate: warning: " << mixed << '\n';
    if (collation.runs().isEmpty()) {
        err << "dialtrace-collate: " << NoRuns << '\n';
        return NothingCollated;
    }
    // The paths as given on the command line, which the runs keep.
    QStringList runNames;
    for (const CollatedRun &run : collation.runs())
        runNames.append(run.path);
    if (options.align > 0.0) {
        for (const Statistic &lag : collation.align(options.align, runNames))
            out << job.prefix << lag.line() << '\n';
    }
    for (const Statistic &statistic : collation.statistics(runNames))
        out << job.prefix << statistic.line() << '\n';
    out.flush();

    int status = Success;
    QString error;
    if (!job.table.isEmpty() && !Files::writeFile(job.table, collation.tableBytes(), &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(job.table, error) << '\n';
        status = NothingCollated;
    }
    if (!job.chart.isEmpty() && !CollateChart(collation).writePicture(job.chart, &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(job.chart, error) << '\n';
        status = NothingCollated;
    }
    if (!job.traceVideo.isEmpty() && !TraceVideoCommand::write(collation, options, err))
        status = NothingCollated;
    return status;
}

} // namespace

namespace CommandLine {

Options parse(const QStringList &arguments)
{
    Options options;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (onlyFiles || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            options.files.append(argument);
            continue;
        }
        const auto value = [&](QString *target) {
            if (i + 1 >= arguments.size())
                options.error = MissingValue.arg(argument);
            else
                *target = arguments[++i];
        };
        if (argument == QLatin1String("--"))
            onlyFiles = true;
        else if (argument == QLatin1String("--variable"))
            value(&options.variable);
        else if (argument.startsWith(QLatin1String("--variable=")))
            options.variable = argument.section(QLatin1Char('='), 1);
        else if (argument == QLatin1String("-o"))
            value(&options.table);
        else if (argument == QLatin1String("--chart"))
            value(&options.chart);
        else if (argument.startsWith(QLatin1String("--chart=")))
            options.chart = argument.section(QLatin1Char('='), 1);
        else if (argument == QLatin1String("--video"))
            value(&options.video);
        else if (argument.startsWith(QLatin1String("--video=")))
            options.video = argument.section(QLatin1Char('='), 1);
        else if (argument == QLatin1String("--trace-video") ||
                 argument == QLatin1String("--worm")) {
            options.traceVideoOption = argument;
            value(&options.traceVideo);
        } else if (argument.startsWith(QLatin1String("--trace-video=")) ||
                   argument.startsWith(QLatin1String("--worm="))) {
            options.traceVideoOption = argument.section(QLatin1Char('='), 0, 0);
            options.traceVideo = argument.section(QLatin1Char('='), 1);
        } else if (argument == QLatin1String("--rate") ||
                   argument.startsWith(QLatin1String("--rate="))) {
            QString rate = argument.section(QLatin1Char('='), 1);
            if (!argument.contains(QLatin1Char('=')))
                value(&rate);
            bool number = false;
            options.rate = rate.toInt(&number);
            if (options.error.isEmpty() &&
                (!number || options.rate < Rebin::LowestRate || options.rate > Rebin::HighestRate))
                options.error = WrongRate.arg(QString::number(Rebin::LowestRate),
                                              QString::number(Rebin::HighestRate));
        } else if (argument == QLatin1String("--align") ||
                   argument.startsWith(QLatin1String("--align="))) {
            QString most = argument.section(QLatin1Char('='), 1);
            if (!argument.contains(QLatin1Char('=')))
                value(&most);
            bool number = false;
            options.align = most.toDouble(&number);
            if (options.error.isEmpty() &&
                (!number || !(options.align > 0.0) || options.align > 10.0))
                options.error = WrongAlign;
        } else if (argument == QLatin1String("--study"))
            value(&options.study);
        else if (argument.startsWith(QLatin1String("--study=")))
            options.study = argument.section(QLatin1Char('='), 1);
        else if (argument == QLatin1String("--include-partial"))
            options.includePartial = true;
        else if (argument == QLatin1String("--force"))
            options.force = true;
        else if (argument == QLatin1String("--window"))
            options.window = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else
            options.error = UnknownOption.arg(argument);
        if (!options.error.isEmpty())
            return options;
    }
    const bool outputs =
        !options.table.isEmpty() || !options.chart.isEmpty() || !options.traceVideo.isEmpty();
    if (!options.study.isEmpty() && !options.files.isEmpty())
        options.error = StudyAndFiles;
    else if (!options.study.isEmpty() && !options.traceVideo.isEmpty())
        options.error = StudyAndVideo.arg(options.traceVideoOption);
    else if (options.files.isEmpty() && options.study.isEmpty() && !options.window &&
             (outputs || !options.variable.isEmpty()))
        options.error = NoFiles;
    else if (options.study.isEmpty() && options.includePartial)
        options.error = PartialWithoutStudy;
    else if (options.window && outputs)
        options.error = NotWithWindow.arg(options.traceVideoOption);
    // With --study they name folders, which may be one.
    else if (options.study.isEmpty() && !options.table.isEmpty() && options.table == options.chart)
        options.error = TwiceTheSame;
    if (!options.chart.isEmpty() && options.study.isEmpty() && options.error.isEmpty()) {
        const QString suffix = QFileInfo(options.chart).suffix().toLower();
        if (suffix != QLatin1String("png") && suffix != QLatin1String("jpg") &&
            suffix != QLatin1String("jpeg"))
            options.error = WrongChartSuffix;
    }
    if (options.error.isEmpty())
        options.error = TraceVideoCommand::usageError(options);
    return options;
}

QString usage()
{
    return Usage;
}

std::optional<QString> answer(const Options &options)
{
    if (!options.error.isEmpty())
        return std::nullopt;
    if (options.help)
        return Usage;
    if (options.version)
        return QStringLiteral("dialtrace-collate " DIALTRACE_VERSION "\n");
    return std::nullopt;
}

int run(const Options &options, QTextStream &out, QTextStream &err)
{
    if (!options.error.isEmpty()) {
        err << "dialtrace-collate: " << options.error << '\n' << Usage;
        return WrongUsage;
    }
    if (const auto text = answer(options)) {
        out << *text;
        return Success;
    }
    QList<Job> jobs = {{options.files, options.table, options.chart, options.traceVideo, QString(),
                        options.variable}};
    QStringList notes;
    if (!options.study.isEmpty()) {
        int status = Success;
        auto studyJobs = StudyCommand::jobs(options, &notes, err, &status);
        if (!studyJobs)
            return status;
        jobs = std::move(*studyJobs);
    }
    // Checked before anything is read or written, so that a refused call changes nothing.
    if (const QString refusal = TraceVideoCommand::refusal(options); !refusal.isEmpty()) {
        err << "dialtrace-collate: " << refusal << '\n';
        return WrongUsage;
    }
    for (const Job &job : std::as_const(jobs)) {
        for (const QString &output : {job.table, job.chart, job.traceVideo}) {
            const QString refusal = outputRefusal(output, job, options);
            if (!refusal.isEmpty()) {
                err << "dialtrace-collate: " << refusal << '\n';
                return WrongUsage;
            }
        }
        if (!job.table.isEmpty() && !job.chart.isEmpty() &&
            Files::isSameFile(job.table, job.chart)) {
            err << "dialtrace-collate: " << TwiceTheSame << '\n' << Usage;
            return WrongUsage;
        }
    }
    if (const QString unreadable = TraceVideoCommand::unreadableClip(options);
        !unreadable.isEmpty()) {
        err << "dialtrace-collate: " << unreadable << '\n';
        return NothingCollated;
    }
    if (!options.study.isEmpty() && !jobs.isEmpty() && !StudyCommand::makeFolders(options, err))
        return NothingCollated;
    for (const QString &note : std::as_const(notes))
        err << note << '\n';
    // In a study every clip with runs counts: one that fails fails the call, after the others.
    int status = jobs.isEmpty() ? NothingCollated : Success;
    for (const Job &job : std::as_const(jobs))
        status = std::max(status, collate(job, options, out, err));
    return status;
}

} // namespace CommandLine
