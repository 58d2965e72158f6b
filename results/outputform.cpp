#include "outputform.h"

#include "controls.h"
#include "dialogs.h"
#include "eventlog.h"
#include "exports.h"
#include "files.h"
#include "imagefile.h"
#include "ratingstate.h"
#include "recordtable.h"
#include "resultsfile.h"
#include "scale.h"
#include "setuprecord.h"
#include "twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

using Controls::place;
using Controls::placeLabel;

namespace {

// A position run's tenths as levels of the scale: 2.3, not 23.
ChartSeries column(const RecordTable &table, int column, InputMode input)
{
    ChartSeries series;
    series.reserve(static_cast<std::size_t>(table.lastRow()));
    for (int row = 1; row <= table.lastRow(); ++row) {
        const auto value = table.cell(row, column);
        series.push_back(value ? std::optional<double>(Input::steps(*value, input)) : std::nullopt);
    }
    return series;
}

} // namespace

OutputForm::OutputForm(const SetupRecord &record, Dialogs &dialogs,
                       const QString &applicationDirectory, std::function<double()> clipSeconds,
                       QWidget *parent)
    : QWidget(parent), m_record(record), m_dialogs(dialogs),
      m_applicationDirectory(applicationDirectory), m_clipSeconds(std::move(clipSeconds)),
      MSChart1(Scale::Bottom, Scale::Top, this), Label3(this), TimesClickedPos(this), Label4(this),
      TimesClickedNeg(this), Label2(this), Label5(this), Label6(this), Label7(this), Command1(this),
      Command3(this), Command2(this), Picture1(this)
{
    setObjectName(QStringLiteral("OutputForm"));
    setWindowTitle(QStringLiteral("Output"));
    setFixedSize(Twips::size(12975, 8610));

    place(MSChart1, "MSChart1", 0, 0, 12975, 7575);
    MSChart1.setAccessibleName(QStringLiteral("Chart of the recorded levels"));
    placeLabel(Label3, "Label3", QStringLiteral("Times Clicked Variable 1 + +"), 120, 7800, 1935,
               255);
    placeLabel(TimesClickedPos, "TimesClickedPos", QStringLiteral("0"), 2280, 7800, 975, 255);
    placeLabel(Label4, "Label4", QStringLiteral("Times Clicked Variable 1 -"), 120, 8160, 1935,
               255);
    placeLabel(TimesClickedNeg, "TimesClickedNeg", QStringLiteral("0"), 2280, 8160, 1095, 255);
    placeLabel(Label2, "Label2", QStringLiteral("Times Clicked Variable 2 + "), 3480, 7800, 1935,
               255);
    placeLabel(Label5, "Label5", QStringLiteral("0"), 5760, 7800, 975, 375);
    placeLabel(Label6, "Label6", QStringLiteral("Times Clicked Variable 2  - "), 3480, 8160, 1935,
               375);
    placeLabel(Label7, "Label7", QStringLiteral("0"), 5760, 8160, 1215, 255);
    place(Command1, "Command1", 7200, 8160, 1335, 375);
    Command1.setText(QStringLiteral("Export Image"));
    place(Command3, "Command3", 8640, 8160, 1335, 375);
    Command3.setText(QStringLiteral("Export to Excel"));
    place(Command2, "Command2", 10920, 8160, 1335, 375);
    Command2.setText(QStringLiteral("Close"));
    for (QPushButton *button : {&Command1, &Command3, &Command2})
        button->setAutoDefault(false);
    // Holds the last exported picture; never seen.
    place(Picture1, "Picture1", 12840, 0, 255, 135);
    Picture1.hide();
    Picture1.setAccessibleName(QStringLiteral("Exported picture"));

    connect(&Command1, &QPushButton::clicked, this, &OutputForm::exportImage);
    connect(&Command3, &QPushButton::clicked, this, &OutputForm::exportSpreadsheet);
    connect(&Command2, &QPushButton::clicked, this, &OutputForm::closeAll);

    // Load.
    if (!m_record.Variable2Enabled) {
        Label2.hide();
        Label5.hide();
        Label6.hide();
        Label7.hide();
    }
    MSChart1.setSeriesNames(m_record.Variable, m_record.Variable2);
    // With one variable the second line still runs along 0, but it is no variable of the run.
    MSChart1.setSecondSeriesListed(m_record.Variable2Enabled);
}

void OutputForm::setCounts(const RatingState &state)
{
    TimesClickedPos.setText(QString::number(state.IncreaseClicks1));
    TimesClickedNeg.setText(QString::number(state.DecreaseClicks1));
    Label5.setText(QString::number(state.IncreaseClicks2));
    Label7.setText(QString::number(state.DecreaseClicks2));
}

void OutputForm::setTable(const RecordTable *table, InputMode input)
{
    if (table)
        MSChart1.setData(column(*table, 1, input), column(*table, 2, input));
    else
        MSChart1.setData({}, {});
}

QString OutputForm::resultsFilePath() const
{
    return ResultsFile::path(m_applicationDirectory);
}

void OutputForm::exportImage()
{
    const QString path = m_dialogs.saveFile(
        this, Exports::defaultName(m_record, QStringLiteral(".jpg")), Exports::ImageFilter);
    if (path.isEmpty() || refusedAsResultsFile(path))
        return;
    const QImage image = MSChart1.render(Exports::imageSize(m_clipSeconds()));
    QString error;
    if (!ImageFile::writeJpeg(image, path, &error)) {
        // Nothing else changes: the clipboard keeps what it had.
        m_dialogs.message(this, QStringLiteral("The picture could not be saved as \"%1\".\n\n%2")
                                    .arg(QDir::toNativeSeparators(path), error));
        return;
    }
    Picture1.setPixmap(QPixmap::fromImage(image));
    ImageFile::copyToClipboard(image);
}

void OutputForm::exportSpreadsheet()
{
    const QString path = m_dialogs.saveFile(
        this, Exports::defaultName(m_record, QStringLiteral(".csv")), Exports::SpreadsheetFilter);
    const QString eventsPath = EventLog::pathBeside(path);
    if (path.isEmpty() || refusedAsResultsFile(path) || refusedAsResultsFile(eventsPath))
        return;
    // The save dialog asked about the results file alone: an event log of its name without it
    // is someone else's.
    if (!QFileInfo::exists(path) && QFileInfo::exists(eventsPath) &&
        !m_dialogs.confirm(this, QStringLiteral("\"%1\" already exists. Replace it with the "
                                                "event log of this run?")
                                     .arg(QDir::toNativeSeparators(eventsPath))))
        return;

    // The bytes this run wrote, from memory: the files may be gone, or may by now hold another
    // run's results (a second copy of the program, or a write that failed at "Finished!").
    QString error;
    QString failed = path;
    const auto copied = [&error](const QString &to, const QByteArray &bytes) {
        QByteArray written;
        if (!Files::writeFile(to, bytes, &error))
            return false;
        if (Files::readFile(to, &written) && written == bytes)
            return true;
        error = QStringLiteral("The copy does not match the results.");
        return false;
    };
    if (!copied(path, m_resultsBytes) || !copied(failed = eventsPath, m_eventBytes)) {
        m_dialogs.message(this, QStringLiteral("The results could not be saved as \"%1\".\n\n%2")
                                    .arg(QDir::toNativeSeparators(failed), error));
        return;
    }
    m_exported = true;
    emit resultsExported();
    // Only this run's files go, and not when they are the copies just made; files that hold
    // anything else stay.
    for (const auto &[kept, bytes] :
         {std::pair{resultsFilePath(), &m_resultsBytes},
          std::pair{EventLog::pathBeside(resultsFilePath()), &m_eventBytes}}) {
        QByteArray onDisk;
        if (!Files::isSameFile(path, kept) && !Files::isSameFile(eventsPath, kept) &&
            Files::readPlainFile(kept, &onDisk) && onDisk == *bytes)
            Files::removePlainFile(kept);
    }
}

bool OutputForm::refusedAsResultsFile(const QString &path)
{
    // An export over the results file or its event log, by its name, a link or any other path
    // to it, would lose it. Once an export has taken it away, that path is as good as any other.
    for (const QString &kept : {resultsFilePath(), EventLog::pathBeside(resultsFilePath())}) {
        if (QFileInfo::exists(kept) && Files::isSameFile(path, kept)) {
            m_dialogs.message(this, keptFileChosen(QFileInfo(kept).fileName()));
            return true;
        }
    }
    return false;
}

bool OutputForm::areResultsSaved() const
{
    QByteArray results;
    QByteArray events;
    return m_exported ||
           (Files::readPlainFile(resultsFilePath(), &results) && results == m_resultsBytes &&
            Files::readPlainFile(EventLog::pathBeside(resultsFilePath()), &events) &&
            events == m_eventBytes);
}

void OutputForm::closeAll()
{
    close();
}

void OutputForm::closeEvent(QCloseEvent *event)
{
    // Results that never reached a file would be gone for good.
    if (!m_endingForGood && !areResultsSaved() && !m_dialogs.confirm(this, UnsavedQuestion)) {
        event->ignore();
        return;
    }
    m_endingForGood = true;
    QWidget::closeEvent(event);
    emit closeAllRequested();
}

#include "moc_outputform.cpp"
