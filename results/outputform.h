#pragma once

#include "inputmode.h"
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
inline const QString UnsavedQuestion =
    QStringLiteral("The results have not been saved to a file. Close and lose them?");
inline QString keptFileChosen(const QString &name)
{
    return QLatin1Char('"') + name +
           QStringLiteral("\" is where Dialtrace keeps the results of the last run. Please choose "
                          "another name.");
}
inline const QString ResultsFileChosen = keptFileChosen(QStringLiteral("temp.csv"));

class OutputForm : public QWidget
{
    Q_OBJECT
public:
    // clipSeconds gives the clip's length as last known, read at each image export.
    OutputForm(const SetupRecord &record, Dialogs &dialogs, const QString &applicationDirectory,
               std::function<double()> clipSeconds, QWidget *parent = nullptr);

    void setCounts(const RatingState &state);
    // The chart of the run's levels, a position run's tenths as levels of the scale (2.3). Null
    // gives an empty chart: the clip's length never arrived.
    void setTable(const RecordTable *table, InputMode input = InputMode::Steps);
    // The bytes of the results file and of its event log, kept for the spreadsheet export.
    void setResultsBytes(const QByteArray &results, const QByteArray &events)
    {
        m_resultsBytes = results;
        m_eventBytes = events;
    }
    const QByteArray &resultsBytes() const { return m_resultsBytes; }
    const QByteArray &eventBytes() const { return m_eventBytes; }
    // Whether the results are safe in a file: an exported copy, or the results file and its
    // event log while they still hold this run's bytes (another copy of the program may have
    // replaced them).
    bool areResultsSaved() const;

    // The results are safe in files of their own (a study's): closing asks nothing.
    void setResultsSaved() { m_exported = true; }

    // Closing from now on ends the program without asking.
    void endForGood() { m_endingForGood = true; }

    const LevelChart &chart() const { return MSChart1; }
    QString resultsFilePath() const;

    // Command1 "Export Image", Command3 "Export to Excel", Command2 "Close".
    void exportImage();
    void exportSpreadsheet();
    void closeAll();

signals:
    void closeAllRequested();
    // A copy of the results is safe where the user chose.
    void resultsExported();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Says so and returns true where path is the results file or its event log.
    bool refusedAsResultsFile(const QString &path);

    const SetupRecord &m_record;
    Dialogs &m_dialogs;
    QString m_applicationDirectory;
    std::function<double()> m_clipSeconds;
    QByteArray m_resultsBytes;
    QByteArray m_eventBytes;
    bool m_exported = false;
    bool m_endingForGood = false;

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
