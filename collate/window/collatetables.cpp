#include "collatetables.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace {

const QStringList RunColumns = {QStringLiteral("Subject"),
                                QStringLiteral("Date"),
                                QStringLiteral("Variable"),
                                QStringLiteral("Seconds"),
                                QStringLiteral("Mean level"),
                                QStringLiteral("r with the others"),
                                QStringLiteral("CCC with the others"),
                                QStringLiteral("First press (s)"),
                                QStringLiteral("Presses")};
const QStringList StatisticColumns = {QStringLiteral("Statistic"), QStringLiteral("Value"),
                                      QStringLiteral("95 % CI")};
// The statistics one value a run, in the table of runs in this order rather than in the other.
const QStringList PerRun = {QStringLiteral("r["), QStringLiteral("ccc["), QStringLiteral("first["),
                            QStringLiteral("presses[")};
const QString Reporting =
    QStringLiteral("Report ICC(2,1), CCC, kalpha or rWG for absolute agreement between raters; "
                   "ICC(3,1) for consistency; ICC(2,k) or alpha for the mean's reliability.");

QTableWidget *makeTable(const QStringList &columns, const QString &name, QWidget *parent)
{
    auto *table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    // Compact rows, so that every statistic fits without scrolling.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void setCell(QTableWidget *table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    if (column > 0 && !text.isEmpty() && (text[0].isDigit() || text[0] == QLatin1Char('-')))
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
}

// "0.7143" or the reason it is missing, without the name the summary line starts with.
QString valueText(const Statistic &s)
{
    return s.line().section(QLatin1Char('\t'), 1, 1);
}

// Which of PerRun a statistic is, or -1.
qsizetype perRun(const Statistic &s)
{
    for (qsizetype i = 0; i < PerRun.size(); ++i) {
        if (s.name.startsWith(PerRun[i]))
            return i;
    }
    return -1;
}

} // namespace

namespace CollateTables {

QTableWidget *runs(QWidget *parent)
{
    return makeTable(RunColumns, QStringLiteral("runTable"), parent);
}

QTableWidget *statistics(QWidget *parent)
{
    return makeTable(StatisticColumns, QStringLiteral("statisticsTable"), parent);
}

QLabel *reporting(QWidget *parent)
{
    auto *label = new QLabel(Reporting, parent);
    label->setObjectName(QStringLiteral("reportingLabel"));
    label->setWordWrap(true);
    return label;
}

void showRuns(QTableWidget *table, const Collation &collation, const QList<Statistic> &statistics)
{
    const QList<CollatedRun> &runs = collation.runs();
    table->setRowCount(static_cast<int>(runs.size()));
    for (int row = 0; row < runs.size(); ++row) {
        const CollatedRun &run = runs[row];
        setCell(table, row, 0, run.subject);
        setCell(table, row, 1, run.date);
        setCell(table, row, 2, collation.variable());
        setCell(table, row, 3, QString::number(run.samples));
        setCell(table, row, 4, QString::number(run.meanLevel, 'f', 2));
        table->item(row, 0)->setToolTip(run.path);
    }
    // Each statistic of a run comes once per run, in the runs' order.
    QList<int> rows(PerRun.size(), 0);
    for (const Statistic &s : statistics) {
        const qsizetype which = perRun(s);
        if (which >= 0 && rows[which] < runs.size())
            setCell(table, rows[which]++, static_cast<int>(5 + which), valueText(s));
    }
}

void showStatistics(QTableWidget *table, const QList<Statistic> &statistics)
{
    table->setRowCount(0);
    for (const Statistic &s : statistics) {
        if (perRun(s) >= 0)
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        setCell(table, row, 0, s.name);
        setCell(table, row, 1, valueText(s));
        const QStringList parts = s.line().split(QLatin1Char('\t'));
        setCell(table, row, 2,
                s.hasInterval ? QStringLiteral("%1 to %2").arg(parts[2], parts[3]) : QString());
    }
}

} // namespace CollateTables
