#include "tracevideocommand.h"

#include "clipsize.h"
#include "files.h"
#include "interrupts.h"
#include "traceoverlay.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Together = QStringLiteral("--video and %1 go together");
const QString WrongSuffix = QStringLiteral("%1 must end in .mp4");
const QString SameOutput = QStringLiteral("%1 names the same file as -o or --chart");
const QString OverTheClip = QStringLiteral("%1 would overwrite the clip %2");
const QString CannotReadClip = QStringLiteral("cannot read the clip %1");
const QString TooLarge =
    QStringLiteral("the clip %1 is %2x%3 pixels: a trace video is written at most at %4x%5");
const QString Percent = QStringLiteral("\rdialtrace-collate: writing %1: %2 %");
const QString CannotWriteVideo = QStringLiteral("dialtrace-collate: cannot write %1: %2");
const QString Interrupted = QStringLiteral("interrupted, nothing written");

} // namespace

namespace TraceVideoCommand {

QString usageError(const CommandLine::Options &options)
{
    if (options.video.isEmpty() != options.traceVideo.isEmpty())
        return Together.arg(options.traceVideoOption);
    if (options.traceVideo.isEmpty())
        return QString();
    if (QFileInfo(options.traceVideo).suffix().toLower() != QLatin1String("mp4"))
        return WrongSuffix.arg(options.traceVideoOption);
    if (options.traceVideo == options.table || options.traceVideo == options.chart)
        return SameOutput.arg(options.traceVideoOption);
    return QString();
}

QString refusal(const CommandLine::Options &options)
{
    if (options.traceVideo.isEmpty())
        return QString();
    if (Files::isSameFile(options.traceVideo, options.video))
        return OverTheClip.arg(options.traceVideo, options.video);
    for (const QString &other : {options.table, options.chart}) {
        if (!other.isEmpty() && Files::isSameFile(options.traceVideo, other))
            return SameOutput.arg(options.traceVideoOption);
    }
    return QString();
}

QString unreadableClip(const CommandLine::Options &options)
{
    const QFileInfo clip(options.video);
    if (options.video.isEmpty())
        return QString();
    if (!clip.isFile() || !clip.isReadable())
        return CannotReadClip.arg(options.video);
    // From its headers: nothing is decoded before every output may be written.
    const ClipPicture picture = probeClipPicture(options.video);
    if (!picture.problem.isEmpty())
        return CannotReadClip.arg(options.video) + QStringLiteral(": ") + picture.problem;
    if (!fitsTraceVideo(picture.size))
        return TooLarge.arg(options.video)
            .arg(picture.size.width())
            .arg(picture.size.height())
            .arg(LargestTracePicture.width())
            .arg(LargestTracePicture.height());
    return QString();
}

bool write(const Collation &collation, const CommandLine::Options &options, QTextStream &err)
{
    const bool terminal = standardErrorIsTerminal();
    int shown = -1;
    const auto progress = [&](double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (terminal && percent != shown) {
            err << Percent.arg(options.traceVideo).arg(percent);
            err.flush();
            shown = percent;
        }
        return !InterruptsNoted::interrupted();
    };
    QString error;
    VideoExport::Outcome outcome;
    {
        // An interrupt cancels the video, so that no half-written file is left.
        const InterruptsNoted cancels;
        // Without --force an existing OUT was refused already; one that appears meanwhile stays.
        outcome = TraceOverlay::writeTraceVideo(collation, options.video, options.traceVideo,
                                                options.force, progress, &error);
    }
    if (shown >= 0)
        err << '\n';
    if (outcome == VideoExport::Outcome::Written)
        return true;
    err << CannotWriteVideo.arg(options.traceVideo,
                                outcome == VideoExport::Outcome::Cancelled ? Interrupted : error)
        << '\n';
    return false;
}

} // namespace TraceVideoCommand
