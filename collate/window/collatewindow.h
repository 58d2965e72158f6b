#pragma once

#include "collatechart.h"
#include "collating.h"
#include "collation.h"
#include "resultsfile.h"
#include "studyruns.h"

#include <QWidget>

class CollateDialogs;
class ChartView;
class ClipReview;
class MediaPlayer;
class QDoubleSpinBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TraceVideoJob;

// The window over the collation: files in, one variable chosen, the runs, their mean and the
// agreement shown, the table and the chart exported.
class CollateWindow : public QWidget
{
    Q_OBJECT
public:
    // The player plays the clip the runs were made on, once one is attached.
    CollateWindow(CollateDialogs &dialogs, MediaPlayer &player, QWidget *parent = nullptr);

    // Reads the files and adds those that are results files, each file once however it is
    // named; the others, and the later names of a file, are named in one message.
    void addFiles(const QStringList &paths);
    void chooseFiles();
    // The runs of a study, clip by clip: the clip box chooses which clip's runs are collated.
    void openStudy(const QString &path);
    void chooseStudy();
    void chooseClip(int index);
    void removeSelectedFiles();
    void chooseVariable(const QString &variable);
    // Moments a second from the runs' event logs; 0 for the seconds of the results files.
    void chooseRate(int rate);
    void exportTable();
    void exportChart();
    // One row per run, variable and moment, for R and pandas: the runs in the list, or in a
    // study every clip's, at the rate chosen.
    void exportLongTable();
    // The trace video, the clip with the trace over it, written by a job while the window goes
    // on, one at a time; the progress dialog's Cancel leaves no file.
    void exportTraceVideo();
    // Each run's lag within +-seconds allowed for; 0: none.
    void chooseAlign(double seconds);
    ClipReview &review() const { return *m_review; }
    // The job writing a trace video, or none.
    const TraceVideoJob *traceVideoJob() const { return m_traceVideoJob; }

    const Collation &collation() const { return m_collation; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void collate();
    // The path chosen to export to, or empty when cancelled or when it names an input file or
    // a results file.
    QString exportPath(const QString &fileName, const QString &filter);
    // Whether there is a trace video to export: runs, their clip, and no job writing one.
    void enableTraceVideo();
    QStringList inputPaths() const;
    // Every file the window has read or would read: the runs, their event logs, the clip, the
    // study file and its session records.
    QStringList readFiles() const;

    CollateDialogs &m_dialogs;
    // The runs added, as read, with what each event log says: read once, for the seconds.
    Collating::Taken m_files;
    QString m_variable;
    int m_rate = 0;
    double m_align = 0.0;
    Collation m_collation;
    CollateChart m_chart{m_collation};

    QListWidget *m_fileList = nullptr;
    QPushButton *m_removeButton = nullptr;
    QComboBox *m_variableBox = nullptr;
    QSpinBox *m_rateBox = nullptr;
    QDoubleSpinBox *m_alignBox = nullptr;
    QPushButton *m_exportTraceVideoButton = nullptr;
    TraceVideoJob *m_traceVideoJob = nullptr; // while one runs
    ClipReview *m_review = nullptr;
    QComboBox *m_clipBox = nullptr;
    QList<StudyClip> m_studyClips;
    QString m_studyTitle;
    QStringList m_studyFiles; // the study file and the session records read with it
    QPushButton *m_exportTableButton = nullptr;
    QPushButton *m_exportChartButton = nullptr;
    QPushButton *m_exportLongButton = nullptr;
    ChartView *m_chartView = nullptr;
    QTableWidget *m_runTable = nullptr;
    QTableWidget *m_statisticsTable = nullptr;
    QLabel *m_skippedLabel = nullptr;
};
