#pragma once

#include "mainform.h"
#include "runjournal.h"
#include "setuprecord.h"

#include <QByteArray>
#include <QString>

#include <memory>

class Dialogs;
class QRandomGenerator;
class QWidget;
class StudySession;
struct Study;

// What differs between a single run and the runs of a study, for the order of screens: who may
// begin, what follows the instructions, which clip a run plays, where its journal and results go,
// how it ends, and whether the results screen follows it.
class RunPlan
{
public:
    virtual ~RunPlan() = default;

    enum class Beginning
    {
        Begun,
        Declined, // back to the setup form
        Failed    // the program ends; the reason was told
    };
    // The setup form's record is ready; a study finds or begins the participant's session, and
    // asks where it must.
    virtual Beginning begin(const SetupRecord &record) = 0;
    // At start, after the interrupted runs are saved: records completed from what is on disk,
    // told as the operator is to read it; empty for nothing.
    virtual QString repairRecords() { return {}; }
    // What the operator is told when the setup form first shows; empty for nothing.
    virtual QString setupNotice() const { return {}; }
    // The variables the setup form shows fixed; empty where the operator types them.
    virtual QStringList fixedVariables() const { return {}; }
    // The instructions screen's text; empty for Instructions.txt.
    virtual QString instructions() const { return {}; }

    // Whether each clip has its own screen before it (a study), rather than the rating screen
    // following the instructions at once.
    virtual bool hasSteps() const { return false; }
    struct Step
    {
        int index = -1; // -1: there is no clip left, "Thank you!"
        QString text;
    };
    // The next clip's screen.
    virtual Step nextStep() { return {}; }
    // Starts the clip of a step: fills record's clip; false where the clip is no longer to do
    // (another computer rated it meanwhile), and the next step is to be shown instead.
    virtual bool startClip(int index, SetupRecord &record) = 0;

    virtual Journal::StudyPlace journalPlace() const { return {}; }
    virtual RunEnding ending() const { return {}; }
    virtual bool showsResults() const { return true; }

    struct Saved
    {
        bool saved = false;
        QString where;     // the results file or folder
        QString error;     // why the results are in no file
        QStringList files; // the study's results files, for the journal where the record failed
    };
    // Writes a finished run's results; parent is the screen a message goes on.
    virtual Saved save(const QByteArray &results, const QByteArray &events, bool complete,
                       int seconds, QWidget *parent) = 0;
    // Whether every run saved is named where it belongs (a study's session record); until then a
    // saved run's journal stays.
    virtual bool isRecordWritten() const { return true; }

    // The session of a study; null for single runs.
    virtual const StudySession *session() const { return nullptr; }
};

// A single run: the clip the setup form chose, its results in temp.csv beside the program.
std::unique_ptr<RunPlan> singleRunPlan(const QString &applicationDirectory);
// The runs of a study, one participant's session; its shuffles draw from random.
std::unique_ptr<RunPlan> studyPlan(const Study &study, Dialogs &dialogs, QRandomGenerator &random);

// What the operator is asked where a participant's session was left unfinished, and where the
// participant has done the study already.
QString goOnQuestion(const QString &participant, int done, int interrupted, int all);
QString doneAlreadyQuestion(const QString &participant, const QString &date);
