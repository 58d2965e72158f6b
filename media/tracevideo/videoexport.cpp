#include "videoexport.h"

#include "disk.h"
#include "videopipeline.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A new file beside target, made here and nowhere else; 0 or the errno of the last attempt.
int createBeside(const QString &target, const QString &suffix, QString *path, int *fd)
{
    int reason = EEXIST;
    for (int attempt = 0; reason == EEXIST && attempt < 100; ++attempt) {
        const quint32 random = QRandomGenerator::global()->generate();
        *path = target + QStringLiteral(".%1").arg(random, 8, 16, QLatin1Char('0')) + suffix;
        reason = Disk::current().createExclusive(*path, fd);
    }
    return reason;
}

void remove(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}

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
    int reason = createBeside(target, QStringLiteral(".part"), &temporary, &fd);
    if (!reason) {
        reason = createBeside(target, QStringLiteral(".mdat.part"), &spill, &spillFd);
        if (reason) {
            ::close(fd);
            remove(temporary);
        }
    }
    if (reason) {
        m_error = CannotCreate.arg(m_output, Files::reason(reason));
        return Outcome::Failed;
    }
    // The muxer opens the spill file again by its name; it was made here so that the name is ours.
    ::close(spillFd);
    struct stat old
    {
    };
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

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
        if (::close(fd) != 0 && !reason && errno != EINTR)
            reason = errno;
        fd = -1;
        if (!reason && m_replace)
            reason = ::rename(QFile::encodeName(temporary).constData(),
                              QFile::encodeName(target).constData())
                         ? errno
                         : 0;
        else if (!reason)
            reason = Files::renameNoReplace(temporary, target);
        const bool renamed = !reason;
        if (!reason)
            reason = Files::syncDirectory(QFileInfo(target).absolutePath());
        // A video reported as not written is not left at the output either.
        if (reason && renamed)
            remove(target);
        if (reason) {
            m_error = reason == EEXIST ? TakenMeanwhile.arg(m_output)
                                       : CannotWrite.arg(m_output, Files::reason(reason));
            outcome = Outcome::Failed;
        }
    }
    if (fd >= 0)
        ::close(fd);
    if (outcome != Outcome::Written)
        remove(temporary);
    remove(spill);
    return outcome;
}
