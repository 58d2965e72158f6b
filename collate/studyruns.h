#pragma once

#include "studyfile.h"

#include <QList>
#include <QString>
#include <QStringList>

// The runs of a study, clip by clip: what the session records in its results folder say was
// saved for each clip (done or recovered), the practice clip left out.
struct StudyClip
{
    QString clip;      // as the study file writes it
    QString name;      // the clip file's name without its extension
    QStringList files; // results files, full paths
};

namespace StudyRuns {

// Every clip of the study in the order it lists them, each with the results files of every
// participant's session; problems names the session records that could not be read.
QList<StudyClip> collect(const Study &study, QStringList *problems);

} // namespace StudyRuns
