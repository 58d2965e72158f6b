#include "tracevideocommand.h"

#include "files.h"
#include "traceoverlay.h"

#include <QFileInfo>
#include <QTextStream>

#include <csignal>

#include <unistd.h>

namespace {

const QString Together = QStringLiteral("--video and %1 go together");
const QString WrongSuffix = QStringLiteral("%1 must end in .mp4");
const QString SameOutput = QStringLiteral("%1 names the same file as -o or --chart");
const QString OverTheClip = QStringLiteral("%1 would overwrite the clip %2");
const QString CannotReadClip = QStringLiteral("cannot read the clip %1");
const QString Percent = QStringLiteral("\rdialtrace-collate: writing %1: %2 %");
const QString CannotWriteVideo = QStringLiteral("dialtrace-collate: cannot write %1: %2");
const QString Interrupted = QStringLiteral("interrupted, nothing written");

volatile std::sig_atomic_t interrupted = 0;

extern "C" void interrupt(int)
{
    interrupted = 1;
}

// While the video is written, an interrupt cancels it so that no half-written file is left.
class InterruptCancels
{
public:
    InterruptCancels()
    {
        interrupted = 0;
        struct sigaction action
        {
        };
        action.sa_handler = interrupt;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < Count; ++i)
            sigaction(Signals[i], &action, &m_old[i]);
    }
    ~InterruptCancels()
    {
        for (int i = 0; i < Count; ++i)
            sigaction(Signals[i], &m_old[i], nullptr);
    }
    InterruptCancels(const InterruptCancels &) = delete;
    InterruptCancels &operator=(const InterruptCancels &) = delete;

private:
    static constexpr int Count = 3;
    static constexpr int Signals[Count] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_old[Count];
};

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
    if (options.video.isEmpty() || (clip.isFile() && clip.isReadable()))
        return QString();
    return CannotReadClip.arg(options.video);
}

bool write(const Collation &collation, const CommandLine::Options &options, QTextStream &err)
{
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    const auto progress = [&](double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (terminal && percent != shown) {
            err << Percent.arg(options.traceVideo).arg(percent);
            err.flush();
            shown = percent;
        }
        return interrupted == 0;
    };
    QString error;
    VideoExport::Outcome outcome;
    {
        const InterruptCancels cancels;
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
