#include "videoexport.h"

#include "disk.h"
#include "videopipeline.h"

#include <QFileInfo>

#include <cerrno>

namespace {

const QString NoStreams = QStringLiteral("%1 holds neither a picture nor sound");
const QString NoLength = QStringLiteral("the length of %1 cannot be told");
// H.264 as browsers play it keeps colour for every 2x2 pixels.
const QString OddSize = QStringLiteral("a picture of %1x%2 pixels cannot be written: its width "
                                       "and height must be even");
const QString CannotCreate = QStringLiteral("cannot create a file beside %1: %2");
const QString CannotWrite = QStringLiteral("cannot write %1: %2");
const QString TakenMeanwhile = QStringLiteral("%1 exists; it is not replaced");

// The caller hears from run() at least this often.
constexpr int ProgressMilliseconds = 100;

} // namespace

QRect VideoExport::overlayArea(const QSize &frame)
{
    const int height = frame.height() / 3;
    return QRect(0, frame.height() - height, frame.width(), height);
}

VideoExport::Outcome VideoExport::run()
{
    m_error.clear();
    if (!VideoPipeline::start(&m_error))
        return Outcome::Failed;
    if (m_progress && !m_progress(0.0))
        return Outcome::Cancelled;
    VideoPipeline::Streams streams;
    if (!VideoPipeline::discover(m_clip, &streams, &m_error))
        return Outcome::Failed;
    if (!streams.picture && !streams.sound)
        m_error = NoStreams.arg(m_clip);
    else if (!streams.picture && streams.nanoseconds == 0)
        m_error = NoLength.arg(m_clip);
    else if (streams.picture && (streams.size.width() % 2 || streams.size.height() % 2))
        m_error = OddSize.arg(streams.size.width()).arg(streams.size.height());
    if (!m_error.isEmpty())
        return Outcome::Failed;

    // A link chosen as the output stands for the file it leads to, as in Files::writeFile.
    const QFileInfo info(m_output);
    const QString target =
        info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    QString temporary;
    QString spill;
    int fd = -1;
    int spillFd = -1;
    int reason = Files::createBeside(target, QStringLiteral(".part"), &temporary, &fd);
    if (!reason) {
        reason = Files::createBeside(target, QStringLiteral(".mdat.part"), &spill, &spillFd);
        if (reason)
            Files::removeAndClose(fd, temporary);
    }
    if (reason) {
        m_error = CannotCreate.arg(m_output, Files::reason(reason));
        return Outcome::Failed;
    }
    // The muxer opens the spill file again by its name; it was made here so that the name is ours.
    Files::closeChecked(spillFd);
    Files::takePermissions(fd, target);

    Outcome outcome = Outcome::Failed;
    {
        VideoPipeline::Writing writing(m_clip, streams, fd, spill, m_draw);
        for (;;) {
            const VideoPipeline::Writing::State state = writing.wait(ProgressMilliseconds);
            if (state == VideoPipeline::Writing::State::Ended)
                outcome = Outcome::Written;
            else if (state == VideoPipeline::Writing::State::Failed)
                m_error = writing.error();
            else if (m_progress && !m_progress(writing.fraction()))
                outcome = Outcome::Cancelled;
            else
                continue;
            break;
        }
    } // the pipeline stops here: every thread joined, the muxer's spill file closed

    if (outcome == Outcome::Written && m_progress && !m_progress(1.0))
        outcome = Outcome::Cancelled;
    if (outcome == Outcome::Written) {
        // Synced before the rename, so that the name never stands for a video half on the disk.
        reason = Disk::current().syncData(fd);
        const int closed = Files::closeChecked(fd);
        if (!reason)
            reason = closed;
        fd = -1;
        if (!reason && m_replace)
            reason = Files::renameOver(temporary, target);
        else if (!reason)
            reason = Files::renameNoReplace(temporary, target);
        const bool renamed = !reason;
        if (!reason)
            reason = Files::syncDirectory(QFileInfo(target).absolutePath());
        // A video reported as not written is not left at the output either.
        if (reason && renamed)
            Files::removeName(target);
        if (reason) {
            m_error = reason == EEXIST ? TakenMeanwhile.arg(m_output)
                                       : CannotWrite.arg(m_output, Files::reason(reason));
            outcome = Outcome::Failed;
        }
    }
    if (fd >= 0)
        Files::closeChecked(fd);
    if (outcome != Outcome::Written)
        Files::removeName(temporary);
    Files::removeName(spill);
    return outcome;
}
