#include "commandline.h"

#include "collatechart.h"
#include "collating.h"
#include "files.h"
#include "inputguard.h"
#include "longtable.h"
#include "rebin.h"
#include "studycommand.h"
#include "tracevideocommand.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString MissingValue = QStringLiteral("%1 needs a value");
const QString UnknownOption = QStringLiteral("unknown option %1");
const QString NoFiles = QStringLiteral("no results file given");
const QString StudyAndVideo =
    QStringLiteral("--study cannot be combined with %1: a video shows one clip");
const QString NotWithWindow = QStringLiteral(
    "--window cannot be combined with -o, --chart, --long or %1: the window exports itself");
const QString TwiceTheSame = QStringLiteral("-o and --chart name the same file");
const QString LongTwice = QStringLiteral("--long names the same file as another output");
const QString LongSuffix = QStringLiteral("--long must end in .csv");
const QString Flat = QStringLiteral("%1: flat: not a single press in its event log");
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

// Why output may not be written over what is there, or empty when it may: inputs holds every
// file the call reads or would read.
QString outputRefusal(const QString &output, const QStringList &inputs,
                      const CommandLine::Options &options)
{
    if (output.isEmpty())
        return QString();
    using Reason = InputGuard::Refusal::Reason;
    const InputGuard::Refusal refusal = InputGuard::refusal(output, inputs, options.force);
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
int collate(const Job &job, const CommandLine::Options &options, QTextStream &out, QTextStream &err,
            QList<LongRun> *longRuns)
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
    for (const Statistic &line : Collating::screeningLines(outcome, runNames))
        out << job.prefix << line.line() << '\n';
    out.flush();
    for (qsizetype r = 0; r < outcome.screening.size(); ++r) {
        if (outcome.screening[r].missing.isEmpty() && outcome.screening[r].presses == 0)
            err << Flat.arg(runNames[r]) << '\n';
    }
    if (!options.longTable.isEmpty())
        LongTable::add(longRuns, outcome.taken, job.study, job.clip, job.files, job.runs);

    int status = Success;
    QString error;
    if (!job.table.isEmpty() && !Files::writeFile(job.table, collation.tableBytes(), &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(job.table, error) << '\n';
        status = NothingCollated;
    }
    if (!job.chart.isEmpty()) {
        CollateChart chart(collation);
        chart.setClip(job.clipName);
        if (!chart.writePicture(job.chart, &error)) {
            err << "dialtrace-collate: " << CannotWrite.arg(job.chart, error) << '\n';
            status = NothingCollated;
        }
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
        // "--name VALUE" or "--name=VALUE": whether argument is that option, its value in target.
        const auto takes = [&](const char *name, QString *target) {
            const QLatin1String option(name);
            if (argument == option) {
                value(target);
                return true;
            }
            if (!argument.startsWith(option + QLatin1Char('=')))
                return false;
            *target = argument.section(QLatin1Char('='), 1);
            return true;
        };
        if (argument == QLatin1String("--")) {
            onlyFiles = true;
        } else if (argument == QLatin1String("-o")) {
            value(&options.table);
        } else if (takes("--variable", &options.variable) || takes("--chart", &options.chart) ||
                 takes("--long", &options.longTable) || takes("--video", &options.video) ||
                 takes("--study", &options.study)) {
            // Taken, with its value.
        } else if (takes("--trace-video", &options.traceVideo) ||
                   takes("--worm", &options.traceVideo)) {
            options.traceVideoOption = argument.section(QLatin1Char('='), 0, 0);
        } else if (QString rate; takes("--rate", &rate)) {
            bool number = false;
            options.rate = rate.toInt(&number);
            if (options.error.isEmpty() &&
                (!number || options.rate < Rebin::LowestRate || options.rate > Rebin::HighestRate))
                options.error = WrongRate.arg(QString::number(Rebin::LowestRate),
                                              QString::number(Rebin::HighestRate));
        } else if (QString most; takes("--align", &most)) {
            bool number = false;
            options.align = most.toDouble(&number);
            if (options.error.isEmpty() &&
                (!number || !(options.align > 0.0) || options.align > 10.0))
                options.error = WrongAlign;
        } else if (argument == QLatin1String("--include-partial")) {
            options.includePartial = true;
        } else if (argument == QLatin1String("--force")) {
            options.force = true;
        } else if (argument == QLatin1String("--window")) {
            options.window = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--version")) {
            options.version = true;
        } else {
            options.error = UnknownOption.arg(argument);
        }
        if (!options.error.isEmpty())
            return options;
    }
    const bool outputs = !options.table.isEmpty() || !options.chart.isEmpty() ||
                         !options.traceVideo.isEmpty() || !options.longTable.isEmpty();
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
    if (!options.longTable.isEmpty() && options.error.isEmpty() &&
        !options.longTable.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        options.error = LongSuffix;
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

std::optional<QString> answer(const Options &options)
{
    if (!options.error.isEmpty())
        return std::nullopt;
    if (options.help)
        return usage();
    if (options.version)
        return QStringLiteral("dialtrace-collate " DIALTRACE_VERSION "\n");
    return std::nullopt;
}

int run(const Options &options, QTextStream &out, QTextStream &err)
{
    if (!options.error.isEmpty()) {
        err << "dialtrace-collate: " << options.error << '\n' << usage();
        return WrongUsage;
    }
    if (const auto text = answer(options)) {
        out << *text;
        return Success;
    }
    QList<Job> jobs = {{options.files,
                        options.table,
                        options.chart,
                        options.traceVideo,
                        QString(),
                        options.variable,
                        QString(),
                        QString(),
                        {},
                        QString()}};
    QStringList notes;
    QStringList records;
    if (!options.study.isEmpty()) {
        int status = Success;
        auto studyJobs = StudyCommand::jobs(options, &notes, err, &status, &records);
        if (!studyJobs)
            return status;
        jobs = std::move(*studyJobs);
    }
    // Checked before anything is read or written, so that a refused call changes nothing: every
    // output against every file the call reads or would read.
    if (const QString refusal = TraceVideoCommand::refusal(options); !refusal.isEmpty()) {
        err << "dialtrace-collate: " << refusal << '\n';
        return WrongUsage;
    }
    QStringList results;
    for (const Job &job : std::as_const(jobs))
        results += job.files;
    // A study's clip makes one job per variable, each with the clip's files.
    results.removeDuplicates();
    const QStringList inputs =
        InputGuard::readFiles(results, QStringList{options.video, options.study} + records);
    QStringList outputs;
    for (const Job &job : std::as_const(jobs)) {
        outputs << job.table << job.chart << job.traceVideo;
        if (!job.table.isEmpty() && !job.chart.isEmpty() &&
            Files::isSameFile(job.table, job.chart)) {
            err << "dialtrace-collate: " << TwiceTheSame << '\n' << usage();
            return WrongUsage;
        }
    }
    outputs.append(options.longTable);
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const QString refusal = outputRefusal(outputs[i], inputs, options);
        if (!refusal.isEmpty()) {
            err << "dialtrace-collate: " << refusal << '\n';
            return WrongUsage;
        }
        if (i + 1 < outputs.size() && !outputs[i].isEmpty() && !options.longTable.isEmpty() &&
            Files::isSameFile(outputs[i], options.longTable)) {
            err << "dialtrace-collate: " << LongTwice << '\n';
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
    QList<LongRun> longRuns;
    for (const Job &job : std::as_const(jobs))
        status = std::max(status, collate(job, options, out, err, &longRuns));
    QString error;
    if (!options.longTable.isEmpty() &&
        !Files::writeFile(options.longTable,
                          LongTable::bytes(longRuns, options.rate, options.variable), &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(options.longTable, error) << '\n';
        status = NothingCollated;
    }
    return status;
}

} // namespace CommandLine
