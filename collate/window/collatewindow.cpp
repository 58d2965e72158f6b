#include "collatewindow.h"

#include "chartview.h"
#include "clipreview.h"
#include "collatedialogs.h"
#include "collatetables.h"
#include "collating.h"
#include "files.h"
#include "inputguard.h"
#include "rebin.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString WindowTitle = QStringLiteral("Dialtrace Collate");
const QString AddText = QStringLiteral("Add files...");
const QString RemoveText = QStringLiteral("Remove");
const QString StudyText = QStringLiteral("Open study...");
const QString StudyFilter = QStringLiteral("Study files (*.json)|*.json|");
const QString NoStudy = QStringLiteral("The study file \"%1\" cannot be used:\n\n%2");
const QString VariableText = QStringLiteral("Variable:");
const QString RateText = QStringLiteral("Moments a second:");
const QString RowsText = QStringLiteral("the seconds of the results files");
const QString NoRate =
    QStringLiteral("The runs cannot be collated at a rate of their own:\n\n%1\n\n"
                   "They are collated by the seconds of their results files.");
const QString ExportTableText = QStringLiteral("Export table...");
const QString ExportTraceVideoText = QStringLiteral("Export video...");
const QString AlignText = QStringLiteral("Allow for each rater's lag within:");
const QString NoAlignText = QStringLiteral("no lag allowed for");
const QString ExportChartText = QStringLiteral("Export chart...");
const QString ExportLongText = QStringLiteral("Export long table...");
const QString ChooseTitle = QStringLiteral("Add results files");
const QString ResultsFilter = QStringLiteral("Results files (*.csv)|*.csv|All files|*|");
const QString NotResultsFiles =
    QStringLiteral("These files are not Dialtrace results files and were not added:\n\n%1");
const QString AlreadyAdded = QStringLiteral(
    "These name a file already in the list, by the same or another path or link, and count "
    "once:\n\n%1");
const QString SameFileAs = QStringLiteral("%1 (the same file as %2)");
const QString SkippedText = QStringLiteral("Skipped: %1");

} // namespace

CollateWindow::CollateWindow(CollateDialogs &dialogs, MediaPlayer &player, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs)
{
    setWindowTitle(WindowTitle);
    setAcceptDrops(true);

    auto *addButton = new QPushButton(AddText, this);
    addButton->setObjectName(QStringLiteral("addButton"));
    auto *studyButton = new QPushButton(StudyText, this);
    studyButton->setObjectName(QStringLiteral("studyButton"));
    m_clipBox = new QComboBox(this);
    m_clipBox->setObjectName(QStringLiteral("clipBox"));
    m_clipBox->hide();
    m_removeButton = new QPushButton(RemoveText, this);
    m_removeButton->setObjectName(QStringLiteral("removeButton"));
    m_fileList = new QListWidget(this);
    m_fileList->setObjectName(QStringLiteral("fileList"));
    m_fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_variableBox = new QComboBox(this);
    m_variableBox->setObjectName(QStringLiteral("variableBox"));
    m_rateBox = new QSpinBox(this);
    m_rateBox->setObjectName(QStringLiteral("rateBox"));
    m_rateBox->setRange(0, Rebin::HighestRate);
    m_rateBox->setSpecialValueText(RowsText);
    m_rateBox->setToolTip(QStringLiteral("From the event log beside each results file"));
    m_alignBox = new QDoubleSpinBox(this);
    m_alignBox->setObjectName(QStringLiteral("alignBox"));
    m_alignBox->setRange(0.0, 10.0);
    m_alignBox->setSingleStep(0.5);
    m_alignBox->setDecimals(2);
    m_alignBox->setSpecialValueText(NoAlignText);
    m_alignBox->setSuffix(QStringLiteral(" s"));
    m_exportTraceVideoButton = new QPushButton(ExportTraceVideoText, this);
    m_exportTraceVideoButton->setObjectName(QStringLiteral("exportTraceVideoButton"));
    m_exportTableButton = new QPushButton(ExportTableText, this);
    m_exportTableButton->setObjectName(QStringLiteral("exportTableButton"));
    m_exportChartButton = new QPushButton(ExportChartText, this);
    m_exportChartButton->setObjectName(QStringLiteral("exportChartButton"));
    m_exportLongButton = new QPushButton(ExportLongText, this);
    m_exportLongButton->setObjectName(QStringLiteral("exportLongButton"));
    m_exportLongButton->setToolTip(
        QStringLiteral("Every variable of every run (in a study, of every clip), one row a "
                       "moment, for R and pandas"));
    m_skippedLabel = new QLabel(this);
    m_skippedLabel->setObjectName(QStringLiteral("skippedLabel"));
    m_skippedLabel->setWordWrap(true);
    m_chartView = new ChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("chart"));
    m_runTable = CollateTables::runs(this);
    m_statisticsTable = CollateTables::statistics(this);

    auto *side = new QVBoxLayout;
    auto *fileButtons = new QHBoxLayout;
    fileButtons->addWidget(addButton);
    fileButtons->addWidget(m_removeButton);
    side->addLayout(fileButtons);
    side->addWidget(studyButton);
    side->addWidget(m_clipBox);
    side->addWidget(m_fileList, 1);
    side->addWidget(new QLabel(VariableText, this));
    side->addWidget(m_variableBox);
    side->addWidget(new QLabel(RateText, this));
    side->addWidget(m_rateBox);
    side->addWidget(new QLabel(AlignText, this));
    side->addWidget(m_alignBox);
    side->addWidget(m_skippedLabel);
    side->addWidget(m_exportTableButton);
    side->addWidget(m_exportChartButton);
    side->addWidget(m_exportTraceVideoButton);
    side->addWidget(m_exportLongButton);
    auto *sideWidget = new QWidget(this);
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(260);

    auto *tables = new QSplitter(Qt::Horizontal, this);
    tables->addWidget(m_runTable);
    auto *statistics = new QWidget(this);
    auto *statisticsLayout = new QVBoxLayout(statistics);
    statisticsLayout->setContentsMargins(0, 0, 0, 0);
    statisticsLayout->addWidget(m_statisticsTable);
    statisticsLayout->addWidget(CollateTables::reporting(this));
    tables->addWidget(statistics);
    tables->setStretchFactor(0, 2);
    tables->setStretchFactor(1, 1);
    auto *main = new QSplitter(Qt::Vertical, this);
    m_review = new ClipReview(m_collation, player, m_dialogs, this);
    auto *top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(m_review);
    top->addWidget(m_chartView);
    top->setStretchFactor(1, 2);
    main->addWidget(top);
    main->addWidget(tables);
    main->setStretchFactor(0, 3);
    main->setStretchFactor(1, 2);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(sideWidget);
    layout->addWidget(main, 1);
    resize(1200, 860);

    connect(addButton, &QPushButton::clicked, this, &CollateWindow::chooseFiles);
    connect(m_removeButton, &QPushButton::clicked, this, &CollateWindow::removeSelectedFiles);
    connect(studyButton, &QPushButton::clicked, this, &CollateWindow::chooseStudy);
    connect(m_clipBox, &QComboBox::activated, this, &CollateWindow::chooseClip);
    connect(m_variableBox, &QComboBox::textActivated, this, &CollateWindow::chooseVariable);
    connect(m_rateBox, &QSpinBox::valueChanged, this, &CollateWindow::chooseRate);
    connect(m_alignBox, &QDoubleSpinBox::valueChanged, this, &CollateWindow::chooseAlign);
    connect(m_exportTraceVideoButton, &QPushButton::clicked, this,
            &CollateWindow::exportTraceVideo);
    connect(m_review, &ClipReview::cursorMoved, m_chartView, &ChartView::setCursor);
    connect(m_chartView, &ChartView::seekRequested, m_review, &ClipReview::seek);
    connect(m_review, &ClipReview::clipAttached, this, [this](const QString &clip) {
        m_chartView->setSeeking(!clip.isEmpty());
        collate();
    });
    connect(m_exportTableButton, &QPushButton::clicked, this, &CollateWindow::exportTable);
    connect(m_exportChartButton, &QPushButton::clicked, this, &CollateWindow::exportChart);
    connect(m_exportLongButton, &QPushButton::clicked, this, &CollateWindow::exportLongTable);
    collate();
}

void CollateWindow::addFiles(const QStringList &paths)
{
    // Read at the seconds of the results files, which collate() takes at the rate chosen.
    const Collating::Read read = Collating::read(m_files.runs, paths);
    const Collating::Taken added = Collating::takeEach(read.runs.mid(m_files.runs.size()), 0);
    m_files.runs += added.runs;
    m_files.screening += added.screening;
    collate();
    QStringList repeated;
    for (const InputGuard::Repeat &repeat : read.repeats)
        repeated.append(SameFileAs.arg(repeat.path, repeat.sameAs));
    QStringList message;
    if (!read.unreadable.isEmpty())
        message.append(NotResultsFiles.arg(read.unreadable.join(QLatin1Char('\n'))));
    if (!repeated.isEmpty())
        message.append(AlreadyAdded.arg(repeated.join(QLatin1Char('\n'))));
    if (!message.isEmpty())
        m_dialogs.message(this, message.join(QStringLiteral("\n\n")));
}

void CollateWindow::chooseFiles()
{
    const QStringList paths =
        m_dialogs.openFiles(this, {ChooseTitle, QString(), ResultsFilter, {}});
    if (!paths.isEmpty())
        addFiles(paths);
}

void CollateWindow::chooseStudy()
{
    const QString path =
        m_dialogs.openFile(this, {StudyText, QStringLiteral("json"), StudyFilter, QString()});
    if (!path.isEmpty())
        openStudy(path);
}

void CollateWindow::openStudy(const QString &path)
{
    QStringList problems;
    const auto study = StudyFile::read(path, &problems);
    if (!study) {
        m_dialogs.message(this, NoStudy.arg(path, problems.join(QLatin1Char('\n'))));
        return;
    }
    QStringList records;
    m_studyClips = StudyRuns::collect(*study, false, &problems, &records);
    m_studyTitle = study->title;
    m_studyFiles = QStringList{path} + records;
    m_clipBox->clear();
    for (const StudyClip &clip : std::as_const(m_studyClips))
        m_clipBox->addItem(
            QStringLiteral("%1 (%2 runs)").arg(clip.name, QString::number(clip.files.size())));
    m_clipBox->show();
    m_variable = study->variables.value(0);
    chooseClip(0);
    for (const StudyClip &clip : std::as_const(m_studyClips))
        problems += clip.notes;
    if (!problems.isEmpty())
        m_dialogs.message(this, problems.join(QLatin1Char('\n')));
}

void CollateWindow::chooseClip(int index)
{
    m_clipBox->setCurrentIndex(index);
    m_files = {};
    const StudyClip clip = m_studyClips.value(index);
    m_chart.setClip(clip.name);
    // The runs beside their own clip, or beside none: never beside the clip chosen before.
    if (Files::isVisiblePlainFile(clip.path))
        m_review->attach(clip.path);
    else
        m_review->detach();
    addFiles(clip.files);
}

void CollateWindow::removeSelectedFiles()
{
    QList<int> rows;
    for (const QListWidgetItem *item : m_fileList->selectedItems())
        rows.append(m_fileList->row(item));
    std::sort(rows.rbegin(), rows.rend());
    for (const int row : rows) {
        m_files.runs.removeAt(row);
        m_files.screening.removeAt(row);
    }
    collate();
}

void CollateWindow::chooseVariable(const QString &variable)
{
    m_variable = variable;
    collate();
}

void CollateWindow::dragEnterEvent(QDragEnterEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CollateWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    addFiles(paths);
}

void CollateWindow::chooseAlign(double seconds)
{
    m_align = seconds;
    collate();
}

void CollateWindow::chooseRate(int rate)
{
    m_rate = rate;
    collate();
}

void CollateWindow::collate()
{
    const QStringList variables = variablesOf(m_files.runs);
    // The first file's first variable until the user picks another, and again when the one
    // picked has gone with its files.
    const QString variable = variables.contains(m_variable) ? m_variable : QString();
    Collating::Outcome outcome = m_rate > 0 ? Collating::collate(m_files.runs, {}, variable, m_rate)
                                            : Collating::collate(m_files, variable, 0);
    if (!outcome.notAtRate.isEmpty()) {
        m_dialogs.message(this, NoRate.arg(outcome.notAtRate));
        m_rate = 0;
        const QSignalBlocker quiet(m_rateBox);
        m_rateBox->setValue(0);
        outcome = Collating::collate(m_files, variable, 0);
    }
    m_collation = std::move(outcome.collation);
    m_variable = m_collation.variable();
    m_variableBox->clear();
    m_variableBox->addItems(variables);
    m_variableBox->setCurrentText(m_variable);

    m_fileList->clear();
    for (const ResultsRun &run : std::as_const(m_files.runs)) {
        auto *item = new QListWidgetItem(QFileInfo(run.path).fileName(), m_fileList);
        item->setToolTip(run.path);
    }
    QStringList skipped;
    for (const SkippedRun &run : m_collation.skipped())
        skipped.append(QFileInfo(run.path).fileName() + QStringLiteral(": ") + run.reason);
    if (const QString mixed = m_collation.mixedInputs(); !mixed.isEmpty())
        skipped.append(QStringLiteral("Warning: ") + mixed);
    m_skippedLabel->setText(skipped.isEmpty() ? QString()
                                              : SkippedText.arg(skipped.join(QLatin1Char('\n'))));
    m_removeButton->setEnabled(!m_files.runs.isEmpty());
    m_exportTableButton->setEnabled(!m_collation.runs().isEmpty());
    m_exportChartButton->setEnabled(!m_collation.runs().isEmpty());
    m_exportLongButton->setEnabled(!m_files.runs.isEmpty() || !m_studyClips.isEmpty());
    enableTraceVideo();

    QStringList names;
    for (const CollatedRun &run : m_collation.runs())
        names.append(run.header);
    // The lags first: they lead the statistics table.
    const QList<Statistic> lags =
        m_align > 0.0 ? m_collation.align(m_align, names) : QList<Statistic>();
    const QList<Statistic> statistics =
        lags + m_collation.statistics(names) + Collating::screeningLines(outcome, names);
    CollateTables::showRuns(m_runTable, m_collation, statistics);
    CollateTables::showStatistics(m_statisticsTable, statistics);
    m_chartView->update();
    m_review->follow();
}

QStringList CollateWindow::inputPaths() const
{
    QStringList paths;
    for (const ResultsRun &run : m_files.runs)
        paths.append(run.path);
    return paths;
}

QStringList CollateWindow::readFiles() const
{
    QStringList results = inputPaths();
    for (const StudyClip &clip : m_studyClips)
        results += clip.files;
    return InputGuard::readFiles(results, QStringList{m_review->clip()} + m_studyFiles);
}

#include "moc_collatewindow.cpp"
