#include "collatewindow.h"

#include "clipreview.h"
#include "collatechart.h"
#include "collatedialogs.h"
#include "files.h"
#include "inputguard.h"
#include "traceoverlay.h"

#include <QDir>
#include <QProgressDialog>

// What the collating window writes: the table, the chart and the video, never over a file being
// collated or a results file.

namespace {

const QString TraceVideoName = QStringLiteral("collated.mp4");
const QString TraceVideoFilter = QStringLiteral("MP4 video (*.mp4)|*.mp4|");
const QString TraceVideoProgress = QStringLiteral("Writing the video with the trace...");
const QString ClipItself = QStringLiteral("\"%1\" is the clip itself. Choose another name.");
const QString TableName = QStringLiteral("collated.csv");
const QString TableFilter = QStringLiteral("CSV files (*.csv)|*.csv|");
const QString ChartName = QStringLiteral("collated.png");
const QString ChartFilter =
    QStringLiteral("PNG picture (*.png)|*.png|JPEG picture (*.jpg)|*.jpg;*.jpeg|");
const QString WouldOverwrite =
    QStringLiteral("\"%1\" is one of the results files being collated. Choose another name.");
const QString WouldReplaceResults = QStringLiteral(
    "\"%1\" is a Dialtrace results file, and results files are never written over. Choose "
    "another name.");
const QString CannotTell =
    QStringLiteral("\"%1\" cannot be read to tell whether it is a Dialtrace results file, so it is "
                   "not written over. Choose another name.");
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
    QString path = exportPath(TraceVideoName, TraceVideoFilter);
    if (path.isEmpty())
        return;
    if (Files::isSameFile(path, m_review->clip())) {
        m_dialogs.message(this, ClipItself.arg(QDir::toNativeSeparators(path)));
        return;
    }
    QProgressDialog progress(TraceVideoProgress, QStringLiteral("Cancel"), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    QString error;
    // The save dialog has asked before a file of that name is replaced.
    const auto outcome = TraceOverlay::writeTraceVideo(
        m_collation, m_review->clip(), path, true,
        [&progress](double done) {
            progress.setValue(static_cast<int>(done * 1000));
            return !progress.wasCanceled();
        },
        &error);
    if (outcome == VideoExport::Outcome::Failed)
        m_dialogs.message(this, CannotSave.arg(QDir::toNativeSeparators(path), error));
}

QString CollateWindow::exportPath(const QString &fileName, const QString &filter)
{
    const QString path = m_dialogs.saveFile(this, fileName, filter);
    if (path.isEmpty())
        return path;
    // The save dialog has asked before replacing any other file.
    using Reason = InputGuard::Refusal::Reason;
    switch (InputGuard::refusal(path, inputPaths(), true).reason) {
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
