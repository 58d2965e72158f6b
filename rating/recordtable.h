#pragma once

#include "journalfile.h"
#include "resultsfile.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

struct SetupRecord;

// The per-second recording: rows 1 to lastRow(), columns -5 to 5, each cell empty or a level.
// Only columns 1 and 2 are ever filled; row 1 never is.
class RecordTable
{
public:
    static constexpr int FirstColumn = -5;
    static constexpr int LastColumn = 5;

    explicit RecordTable(int lastRow);

    int lastRow() const { return static_cast<int>(m_rows.size()); }

    // Empty for a cell without a value and for a cell outside the table.
    std::optional<qint16> cell(int row, int column) const;
    // row and column must lie inside the table.
    void setCell(int row, int column, qint16 value);

    // Makes room for one more row at the end.
    void appendRow();

private:
    using Row = std::array<std::optional<qint16>, LastColumn - FirstColumn + 1>;
    std::vector<Row> m_rows;
};

namespace Recording {

// Clips longer than this many seconds are refused.
constexpr double LongestClip = 901.0;

inline bool isTooLong(double seconds)
{
    return seconds > LongestClip;
}

// The table's last row for a clip of the given exact length: 61 below 61 s, 70 for exactly
// 61.0 s, otherwise the smallest of 121, 181, ..., 901 that is not below the length.
int lastRowForLength(double seconds);

// One tick of the recording: stores both levels in the row after recordRow and advances it. The
// table grows by a row where the sample would fall past its end, so no sample is lost. Returns
// true when this was the last tick for a clip of the given length.
bool recordSample(RecordTable &table, qint16 &recordRow, double seconds, qint16 level1,
                  qint16 level2);

// The run as its results file holds it. Without a table (the clip's length never arrived) it
// has no rows after the placeholder.
ResultsRun results(const SetupRecord &record, bool twoVariables, const RecordTable *table);
// The run its journal holds, as its results file would have held it.
ResultsRun results(const Journal::Run &run);

// The clip length as shown: shortest decimal form of at most 15 significant digits, no trailing
// zeros, the user's decimal separator.
QString lengthCaption(double seconds);

} // namespace Recording
