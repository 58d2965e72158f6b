#pragma once

#include "studyfile.h"

#include <QList>
#include <QString>
#include <QStringList>

// How a run ended: done, recovered (interrupted, saved from its journal) or partial (ended
// before the clip's end).
enum class RunState
{
    Done,
    Recovered,
    Partial
};

// "done", "recovered" or "partial", as the long table writes it.
QString runStateName(RunState state);

// What a session record says of a run taken: whose it is, where it came in their order (1 the
// first clip they were shown, the practice clip counted) and how it ended.
struct StudyRun
{
    QString participant;
    int position = 0;
    RunState state = RunState::Done;
};

// The runs of a study, clip by clip: what the session records of this study in its results
// folder say was saved for each clip, the practice clip left out.
struct StudyClip
{
    QString clip;         // as the study file writes it
    QString name;         // told apart from every other clip's: see StudyRuns::names
    QString path;         // the clip file
    QStringList files;    // the results file taken of each participant, full paths
    QList<StudyRun> runs; // beside files, one for each
    // The runs not taken, and partial runs taken: "P03 city: interrupted at 13 s, left out".
    QStringList notes;
};

namespace StudyRuns {

// Each participant's complete run of each clip; where they have none and includePartial is
// set, their first interrupted or early-ended run. Files listed as further runs ("extra") are
// never taken. A participant with several sessions counts once, by the first complete run
// (sessions in the order of their records' names, which begin with the participant's name
// and end with the moment the session began).
// Every clip of the study, in the order it lists them; problems gets the session records that
// could not be read, and a line for each other study whose records are in the folder; records,
// where given, the paths of the session records read.
QList<StudyClip> collect(const Study &study, bool includePartial, QStringList *problems,
                         QStringList *records = nullptr);

// Each clip's name: its file's name without the extension; where that is alike another clip's
// (letter case aside, as some file systems see names), its path as the study file writes it
// without the extension, and where that too is alike, with it.
QStringList names(const QStringList &clips);

} // namespace StudyRuns
