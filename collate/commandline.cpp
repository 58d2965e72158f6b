#include "commandline.h"

#include "collatechart.h"
#include "collation.h"
#include "files.h"
#include "inputguard.h"
#include "rebin.h"
#include "resultsfile.h"
#include "videocommand.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Usage = QStringLiteral(
    "usage: dialtrace-collate [--variable NAME] [--rate HZ] [-o OUT.csv] [--chart OUT.png]\n"
    "                         [--video CLIP --worm OUT.mp4] [--force] FILE...\n"
    "       dialtrace-collate [--window [FILE...]]\n"
    "Collates one variable over Dialtrace results files and prints the agreement between the\n"
    "runs, one statistic a line as NAME<TAB>VALUE[<TAB>LOWER<TAB>UPPER].\n"
    "  --variable NAME  the variable to collate (default: the first file's first variable)\n"
    "  --rate HZ        collate HZ moments a second (1 to 50) from the event log beside each\n"
    "                   results file, instead of its seconds\n"
    "  -o OUT.csv       write the collated table: Time, one column per run, Mean, SD, N\n"
    "  --chart OUT.png  draw the runs, the mean and its band of one SD (.png, .jpg or .jpeg)\n"
    "  --video CLIP     the clip for --worm\n"
    "  --worm OUT.mp4   write the clip again with the trace over its lower third: the runs,\n"
    "                   the mean in its band of one SD, and a cursor at each frame's moment\n"
    "  --force          replace an existing OUT file; a results file is never replaced\n"
    "  --window         open the window, with the files given already added\n"
    "A file given twice, by any path or link, counts once. Without a file the window opens.\n"
    "Exit status: 0 collated, 1 nothing could be read or an output could not be written,\n"
    "2 wrong usage, or an output that would replace an input, a results file or (without\n"
    "--force) another file.\n");
const QString MissingValue = QStringLiteral("%1 needs a value");
const QString UnknownOption = QStringLiteral("unknown option %1");
const QString NoFiles = QStringLiteral("no results file given");
const QString TwiceTheSame = QStringLiteral("-o and --chart name the same file");
const QString OverAnInput = QStringLiteral("%1 would overwrite the input file %2");
const QString OverResults =
    QStringLiteral("%1 is a Dialtrace results file; it is never replaced, not even with --force");
const QString OverUnreadable =
    QStringLiteral("%1 cannot be read to tell whether it is a results file, so it is not replaced");
const QString OverOther = QStringLiteral("%1 exists; --force replaces it");
const QString Repeated = QStringLiteral("%1: the same file as %2, counted once");
const QString WrongRate = QStringLiteral("--rate takes a whole number from %1 to %2");
const QString WrongChartSuffix = QStringLiteral("--chart must end in .png, .jpg or .jpeg");
const QString Skipped = QStringLiteral("%1: skipped: %2");
const QString NoRuns = QStringLiteral("nothing to collate: no file could be read");
const QString CannotWrite = QStringLiteral("cannot write %1: %2");

// Why output may not be written, or empty when it may.
QString outputRefusal(const QString &output, const CommandLine::Options &options)
{
    if (output.isEmpty())
        return QString();
    for (const QString &input : options.files) {
        if (InputGuard::isInput(output, {input}))
            return OverAnInput.arg(output, input);
    }
    switch (ResultsFile::examine(output)) {
    case ResultsFile::Found::Nothing:
        return QString();
    case ResultsFile::Found::ResultsFile:
        return OverResults.arg(output);
    case ResultsFile::Found::Unreadable:
        return OverUnreadable.arg(output);
    case ResultsFile::Found::OtherFile:
        break;
    }
    return options.force ? QString() : OverOther.arg(output);
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
        else if (argument == QLatin1String("--worm"))
            value(&options.worm);
        else if (argument.startsWith(QLatin1String("--worm=")))
            options.worm = argument.section(QLatin1Char('='), 1);
        else if (argument == QLatin1String("--rate") ||
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
        } else if (argument == QLatin1String("--force"))
            options.force = true;
        else if (argument == QLatin1String("--window"))
            options.window = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            options.help = true;
        else
            options.error = UnknownOption.arg(argument);
        if (!options.error.isEmpty())
            return options;
    }
    const bool outputs =
        !options.table.isEmpty() || !options.chart.isEmpty() || !options.worm.isEmpty();
    if (options.files.isEmpty() && !options.window && (outputs || !options.variable.isEmpty()))
        options.error = NoFiles;
    else if (options.window && outputs)
        options.error = UnknownOption.arg(QStringLiteral("-o, --chart or --worm with --window"));
    else if (!options.table.isEmpty() && options.table == options.chart)
        options.error = TwiceTheSame;
    if (!options.chart.isEmpty() && options.error.isEmpty()) {
        const QString suffix = QFileInfo(options.chart).suffix().toLower();
        if (suffix != QLatin1String("png") && suffix != QLatin1String("jpg") &&
            suffix != QLatin1String("jpeg"))
            options.error = WrongChartSuffix;
    }
    if (options.error.isEmpty())
        options.error = VideoCommand::usageError(options);
    return options;
}

QString usage()
{
    return Usage;
}

int run(const Options &options, QTextStream &out, QTextStream &err)
{
    if (!options.error.isEmpty()) {
        err << "dialtrace-collate: " << options.error << '\n' << Usage;
        return WrongUsage;
    }
    if (options.help) {
        out << Usage;
        return Success;
    }
    // Checked before anything is read or written, so that a refused call changes nothing.
    if (const QString refusal = VideoCommand::refusal(options); !refusal.isEmpty()) {
        err << "dialtrace-collate: " << refusal << '\n';
        return WrongUsage;
    }
    for (const QString &output : {options.table, options.chart, options.worm}) {
        const QString refusal = outputRefusal(output, options);
        if (!refusal.isEmpty()) {
            err << "dialtrace-collate: " << refusal << '\n';
            return WrongUsage;
        }
    }
    if (!options.table.isEmpty() && !options.chart.isEmpty() &&
        Files::isSameFile(options.table, options.chart)) {
        err << "dialtrace-collate: " << TwiceTheSame << '\n' << Usage;
        return WrongUsage;
    }
    if (const QString unreadable = VideoCommand::unreadableClip(options); !unreadable.isEmpty()) {
        err << "dialtrace-collate: " << unreadable << '\n';
        return NothingCollated;
    }

    // A file counted twice would be two raters who always agree.
    QStringList files = options.files;
    for (const InputGuard::Repeat &repeat : InputGuard::removeRepeats(&files))
        err << Repeated.arg(repeat.path, repeat.sameAs) << '\n';
    QList<ResultsRun> runs;
    for (const QString &file : std::as_const(files)) {
        ResultsRun run;
        ReadProblem problem;
        if (!ResultsFile::read(file, &run, &problem)) {
            err << problem.text() << '\n';
            continue;
        }
        // Every run at the rate, or none: a run left at its seconds would not line up.
        if (options.rate > 0 && !Rebin::resample(&run, options.rate, &problem)) {
            err << "dialtrace-collate: " << problem.text() << '\n';
            return NothingCollated;
        }
        runs.append(std::move(run));
    }
    const QString variable = !options.variable.isEmpty() ? options.variable
                             : runs.isEmpty()            ? QString()
                                                         : runs.first().variables.value(0);
    const Collation collation(runs, variable, options.rate);
    for (const SkippedRun &skipped : collation.skipped()) {
        err << Skipped.arg(skipped.path, skipped.reason) << '\n';
    }
    if (collation.runs().isEmpty()) {
        err << "dialtrace-collate: " << NoRuns << '\n';
        return NothingCollated;
    }
    // The paths as given on the command line, which the runs keep.
    QStringList runNames;
    for (const CollatedRun &run : collation.runs())
        runNames.append(run.path);
    for (const Statistic &statistic : collation.statistics(runNames))
        out << statistic.line() << '\n';
    out.flush();

    int status = Success;
    QString error;
    if (!options.table.isEmpty() &&
        !Files::writeFile(options.table, collation.tableBytes(), &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(options.table, error) << '\n';
        status = NothingCollated;
    }
    if (!options.chart.isEmpty() && !CollateChart(collation).writePicture(options.chart, &error)) {
        err << "dialtrace-collate: " << CannotWrite.arg(options.chart, error) << '\n';
        status = NothingCollated;
    }
    if (!options.worm.isEmpty() && !VideoCommand::write(collation, options, err))
        status = NothingCollated;
    return status;
}

} // namespace CommandLine
