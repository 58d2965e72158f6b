#include "collatewindow.h"

#include "clipreview.h"
#include "clipsize.h"
#include "collatechart.h"
#include "collatedialogs.h"
#include "collating.h"
#include "files.h"
#include "inputguard.h"
#include "longtable.h"
#include "tracevideojob.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>

// What the collating window writes: the table, the chart and the video, never over a file being
// collated or a results file.

namespace {

const QString TraceVideoName = QStringLiteral("collated.mp4");
const QString TraceVideoFilter = QStringLiteral("MP4 video (*.mp4)|*.mp4|");
const QString TraceVideoProgress = QStringLiteral("Writing the video with the trace...");
const QString TableName = QStringLiteral("collated.csv");
const QString TableFilter = QStringLiteral("CSV files (*.csv)|*.csv|");
const QString ChartName = QStringLiteral("collated.png");
const QString ChartFilter =
    QStringLiteral("PNG picture (*.png)|*.png|JPEG picture (*.jpg)|*.jpg;*.jpeg|");
const QString WouldOverwrite = QStringLiteral(
    "\"%1\" is one of the files being collated (a results file, its event log, the clip, the "
    "study file or a session record). Choose another name.");
const QString WouldReplaceResults = QStringLiteral(
    "\"%1\" is a Dialtrace results file, and results files are never written over. Choose "
    "another name.");
const QString CannotTell =
    QStringLiteral("\"%1\" cannot be read to tell whether it is a Dialtrace results file, so it is "
                   "not written over. Choose another name.");
const QString LongName = QStringLiteral("long.csv");
const QString TooLarge = QStringLiteral(
    "The clip's picture is %1x%2 pixels; a video with the trace is written at most at %3x%4.");
const QString ClipUnreadable = QStringLiteral("The clip \"%1\" cannot be read: %2");
const QString CannotSave = QStringLiteral("The file could not be saved as \"%1\".\n\n%2");

} // namespace

void CollateWindow::exportTable()
{
    const QString path = exportPath(TableName, TableFilter);
    QString error;
    if (!path.isEmpty() && !Files::writeFile(path, m_collation.tableBytes(), &error))
        m_dialogs.message(this, CannotSave.arg(path, error));
}

void CollateWindow::exportChart()
{
    QString path = exportPath(ChartName, ChartFilter);
    if (path.isEmpty())
        return;
    QString error;
    if (!m_chart.writePicture(path, &error))
        m_dialogs.message(this, CannotSave.arg(path, error));
}

void CollateWindow::exportTraceVideo()
{
    if (m_traceVideoJob)
        return;
    const QString path = exportPath(TraceVideoName, TraceVideoFilter);
    if (path.isEmpty())
        return;
    // From its headers, before a frame is decoded.
    const ClipPicture picture = probeClipPicture(m_review->clip());
    if (!picture.problem.isEmpty()) {
        m_dialogs.message(this, ClipUnreadable.arg(m_review->clip(), picture.problem));
        return;
    }
    if (!fitsTraceVideo(picture.size)) {
        m_dialogs.message(this, TooLarge.arg(picture.size.width())
                                    .arg(picture.size.height())
                                    .arg(LargestTracePicture.width())
                                    .arg(LargestTracePicture.height()));
        return;
    }
    m_traceVideoJob = new TraceVideoJob(m_collation, m_review->clip(), path, this);
    auto *progress =
        new QProgressDialog(TraceVideoProgress, QStringLiteral("Cancel"), 0, 1000, this);
    progress->setMinimumDuration(0);
    connect(m_traceVideoJob, &TraceVideoJob::progressChanged, progress, &QProgressDialog::setValue);
    connect(progress, &QProgressDialog::canceled, m_traceVideoJob, &TraceVideoJob::cancel);
    connect(m_traceVideoJob, &TraceVideoJob::finished, this,
            [this, progress, path](VideoExport::Outcome outcome, const QString &error) {
                delete progress;
                m_traceVideoJob->deleteLater();
                m_traceVideoJob = nullptr;
                enableTraceVideo();
                if (outcome == VideoExport::Outcome::Failed)
                    m_dialogs.message(this, CannotSave.arg(QDir::toNativeSeparators(path), error));
            });
    enableTraceVideo();
    m_traceVideoJob->start();
}

void CollateWindow::exportLongTable()
{
    const QString path = exportPath(LongName, TableFilter);
    if (path.isEmpty())
        return;
    QList<LongRun> runs;
    // Where a run cannot be taken at the rate the window fell back to the seconds; it is left out.
    if (m_studyClips.isEmpty())
        LongTable::add(&runs, m_rate > 0 ? Collating::takeEach(m_files.runs, m_rate) : m_files);
    for (const StudyClip &clip : std::as_const(m_studyClips))
        LongTable::add(&runs, Collating::takeEach(Collating::read({}, clip.files).runs, m_rate),
                       m_studyTitle, clip.clip, clip.files, clip.runs);
    QString error;
    if (!Files::writeFile(path, LongTable::bytes(runs, m_rate), &error))
        m_dialogs.message(this, CannotSave.arg(path, error));
}

void CollateWindow::enableTraceVideo()
{
    m_exportTraceVideoButton->setEnabled(!m_collation.runs().isEmpty() &&
                                         !m_review->clip().isEmpty() && !m_traceVideoJob);
}

QString CollateWindow::exportPath(const QString &fileName, const QString &filter)
{
    const QString path = m_dialogs.saveFile(this, fileName, filter);
    if (path.isEmpty())
        return path;
    // The save dialog has asked before replacing any other file.
    using Reason = InputGuard::Refusal::Reason;
    switch (InputGuard::refusal(path, readFiles(), true).reason) {
    case Reason::None:
    case Reason::OtherFile:
        return path;
    case Reason::Input:
        m_dialogs.message(this, WouldOverwrite.arg(path));
        break;
    case Reason::ResultsFile:
        m_dialogs.message(this, WouldReplaceResults.arg(path));
        break;
    case Reason::Unreadable:
        m_dialogs.message(this, CannotTell.arg(path));
        break;
    }
    return QString();
}
