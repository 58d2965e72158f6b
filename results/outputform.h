#pragma once

#include "levelchart.h"

#include <QByteArray>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <functional>

class Dialogs;
class RecordTable;
struct RatingState;
struct SetupRecord;

// The results screen: a line chart of the recorded levels, the press counts, and the exports
// of the chart picture and of the results file.
class OutputForm : public QWidget
{
    Q_OBJECT
public:
    // clipSeconds gives the clip's length as last known, read at each image export.
    OutputForm(const SetupRecord &record, Dialogs &dialogs, const QString &applicationDirectory,
               std::function<double()> clipSeconds, QWidget *parent = nullptr);

    void setCounts(const RatingState &state);
    // Null gives an empty chart: the clip's length never arrived.
    void setTable(const RecordTable *table);
    // The results file's bytes, kept for the spreadsheet export.
    void setResultsBytes(const QByteArray &bytes) { m_resultsBytes = bytes; }
    const QByteArray &resultsBytes() const { return m_resultsBytes; }

    const LevelChart &chart() const { return MSChart1; }
    QString resultsFilePath() const;

    // Command1 "Export Image", Command3 "Export to Excel", Command2 "Close".
    void exportImage();
    void exportSpreadsheet();
    void closeAll();

signals:
    void closeAllRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const SetupRecord &m_record;
    Dialogs &m_dialogs;
    QString m_applicationDirectory;
    std::function<double()> m_clipSeconds;
    QByteArray m_resultsBytes;

    LevelChart MSChart1;
    QLabel Label3;
    QLabel TimesClickedPos;
    QLabel Label4;
    QLabel TimesClickedNeg;
    QLabel Label2;
    QLabel Label5;
    QLabel Label6;
    QLabel Label7;
    QPushButton Command1;
    QPushButton Command3;
    QPushButton Command2;
    QLabel Picture1;
};
