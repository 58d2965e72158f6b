#pragma once

#include "collating.h"
#include "resultsfile.h"
#include "studyruns.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One run as the long table lists it: whose, which clip, how it ended, and its levels.
struct LongRun
{
    QString study;       // the study's title; empty outside a study
    QString participant; // the subject's name
    QString clip;        // as the study file writes it; empty outside a study
    int position = 0;    // its place in the participant's order, from 1; 0 outside a study
    QString state;       // its RunState's name
    // path names it; levels at the rows of its results file, or at a rate.
    ResultsRun run;
};

// The long table for R and pandas: UTF-8, comma-separated with RFC 4180 quoting, CR LF line
// ends, one header line and no other: one row per run, variable and moment.
namespace LongTable {

// Adds the runs taken to table, each file once however often it comes, with what a study says
// of each: its title, the clip as the study file writes it, and for each of files the run taken
// (all empty outside a study, where the event log tells how the run ended).
void add(QList<LongRun> *table, const Collating::Taken &runs, const QString &study = QString(),
         const QString &clip = QString(), const QStringList &files = {},
         const QList<StudyRun> &taken = {});

// Every variable of each run (only variable where it is not empty), each from the first moment
// to its run's last sample: time_s is the row's second with rate 0, else the moment of clip
// time (1/rate s apart); level is empty for a gap.
QByteArray bytes(const QList<LongRun> &runs, int rate, const QString &variable = QString());

} // namespace LongTable
