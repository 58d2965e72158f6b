#include "recordtable.h"

#include "ratingstate.h"

#include "setuprecord.h"

#include <QLocale>

#include <cmath>

RecordTable::RecordTable(int lastRow) : m_rows(static_cast<std::size_t>(qMax(lastRow, 0))) {}

std::optional<qint16> RecordTable::cell(int row, int column) const
{
    if (row < 1 || row > lastRow() || column < FirstColumn || column > LastColumn)
        return std::nullopt;
    return m_rows[static_cast<std::size_t>(row - 1)]
                 [static_cast<std::size_t>(column - FirstColumn)];
}

void RecordTable::setCell(int row, int column, qint16 value)
{
    Q_ASSERT(row >= 1 && row <= lastRow() && column >= FirstColumn && column <= LastColumn);
    m_rows[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - FirstColumn)] =
        value;
}

void RecordTable::appendRow()
{
    m_rows.emplace_back();
}

namespace Recording {

int lastRowForLength(double seconds)
{
    // Every test that holds sizes the table again, so the last one that holds decides; all
    // greater-than tests are strict.
    int lastRow = 0;
    if (seconds < 61.0)
        lastRow = 61;
    if (seconds == 61.0)
        lastRow = 70;
    for (int bound = 61; bound <= 841; bound += 60) {
        if (seconds > bound)
            lastRow = bound + 60;
    }
    return lastRow;
}

bool recordSample(RecordTable &table, qint16 &recordRow, double seconds, qint16 level1,
                  qint16 level2)
{
    // Whole seconds of the clip, its fraction dropped.
    const double wholeSeconds = std::trunc(seconds);
    const bool last = wholeSeconds <= recordRow;
    ++recordRow;
    while (recordRow > table.lastRow())
        table.appendRow();
    table.setCell(recordRow, 1, level1);
    table.setCell(recordRow, 2, level2);
    return last;
}

ResultsRun results(const SetupRecord &record, bool twoVariables, const RecordTable *table)
{
    ResultsRun run;
    run.subject = record.SubjectName;
    run.date = record.DateText;
    run.input = record.Input;
    run.variables = {record.Variable};
    if (twoVariables)
        run.variables.append(record.Variable2);
    const int lastRow = table ? table->lastRow() : 1;
    for (int column = 1; column <= run.variables.size(); ++column) {
        QList<qint8> levels(lastRow + 1, ResultsRun::Gap);
        for (int row = 2; row <= lastRow; ++row) {
            if (const auto level = table->cell(row, column))
                levels[row] = static_cast<qint8>(*level);
        }
        run.levels.append(levels);
    }
    return run;
}

ResultsRun results(const Journal::Run &run)
{
    RecordTable table(run.lastRow);
    for (const RunEvent &sample : run.rows) {
        table.setCell(sample.row, 1, qint16(sample.level1));
        table.setCell(sample.row, 2, qint16(sample.level2));
    }
    return results(run.record, run.twoVariables, &table);
}

QString lengthCaption(double seconds)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(seconds, 'g', 15);
}

} // namespace Recording
