#pragma once

#include <QByteArray>
#include <QString>

class RecordTable;
struct SetupRecord;

namespace ResultsFile {

// Name of the results file in the application directory.
inline constexpr char FileName[] = "temp.csv";

inline QString path(const QString &applicationDirectory)
{
    return applicationDirectory + QLatin1Char('/') + QLatin1String(FileName);
}

// The bytes of the results file: Windows-1252, every line ending in CR LF, eight fixed lines,
// then one line per row from 2 to the table's last row. Without a table (the clip's length
// never arrived) only the eight fixed lines are written. Names are written as entered, without
// quoting.
QByteArray bytes(const SetupRecord &record, bool twoVariables, const RecordTable *table);

} // namespace ResultsFile
