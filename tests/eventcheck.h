#pragma once

// What must hold for every event log beside its results file: the tests of the screens and the
// whole runs of the real program (through dialtrace-eventcheck) ask the same questions. Replaying
// the presses and fall-backs of a steps run, or the moves of a position run, from 0 gives every
// line's levels and every sample's row.

#include "eventlog.h"
#include "resultsfile.h"
#include "scale.h"

#include <QStringList>

#include <array>
#include <cstdlib>

namespace EventCheck {

// The press counts a results screen showed: increase 1, decrease 1, increase 2, decrease 2 (in a
// position run, the moves up and down).
using Counts = std::array<int, 4>;

// Every way the log breaks a rule, empty when it keeps them all. counts may be left out (a
// recovered run has no results screen); samplesOnTime asks that the k-th sample lies within 5
// ms of k seconds.
inline QStringList problems(const QList<RunEvent> &events, const ResultsRun &results,
                            const Counts *counts, bool samplesOnTime)
{
    QStringList found;
    const auto fail = [&](int line, const QString &what) {
        found << QStringLiteral("line %1: %2").arg(line + 2).arg(what);
    };
    int level[3] = {0, 0, 0};
    Counts seen = {0, 0, 0, 0};
    const bool position = results.input == InputMode::Position;
    const int unit = Input::unit(results.input);
    int samples = 0;
    for (int i = 0; i < events.size(); ++i) {
        const RunEvent &e = events[i];
        const int v = e.variable;
        if (i > 0 && e.time < events[i - 1].time)
            fail(i, QStringLiteral("earlier than the line before"));
        const bool press = e.kind == RunEvent::Kind::Increase || e.kind == RunEvent::Kind::Decrease;
        if ((press || e.kind == RunEvent::Kind::Move) &&
            (v < 1 || v > 2 || e.source == RunEvent::Source::None)) {
            fail(i, QStringLiteral("a press or move without its variable or source"));
            continue;
        }
        const bool move = e.kind == RunEvent::Kind::Move;
        if ((position && (press || e.kind == RunEvent::Kind::FallBack)) || (!position && move)) {
            fail(i, QStringLiteral("a %1 in a %2 run")
                        .arg(QString::fromLatin1(EventLog::kindName(e.kind)),
                             Input::name(results.input)));
        } else if (press) {
            const bool up = e.kind == RunEvent::Kind::Increase;
            ++seen[std::size_t((v - 1) * 2 + (up ? 0 : 1))];
            level[v] = qBound(Scale::Bottom, level[v] + (up ? 1 : -1), Scale::Top);
        } else if (move) {
            // Both levels after the move: the other stays, this one moved within the scale.
            const int to = v == 1 ? e.level1 : e.level2;
            if (to == level[v] || std::abs(to) > Scale::Top * unit)
                fail(i, QStringLiteral("a move that changes nothing or leaves the scale"));
            ++seen[std::size_t((v - 1) * 2 + (to > level[v] ? 0 : 1))];
            level[v] = to;
        } else if (e.kind == RunEvent::Kind::FallBack) {
            if (v < 1 || v > 2 || level[v] == 0)
                fail(i, QStringLiteral("a fall-back that changes nothing"));
            else
                level[v] -= level[v] > 0 ? 1 : -1;
        } else if (e.kind == RunEvent::Kind::Sample) {
            ++samples;
            for (int var = 1; var <= results.variables.size(); ++var) {
                if (results.levels[var - 1].value(e.row, ResultsRun::Gap) != level[var])
                    fail(i, QStringLiteral("the sample differs from row %1").arg(e.row));
            }
            if (samplesOnTime && std::abs(e.time - samples * 1000) > 5)
                fail(i, QStringLiteral("sample %1 at %2 ms").arg(samples).arg(e.time));
        }
        if (e.level1 != level[1] || (results.variables.size() == 2 && e.level2 != level[2]))
            fail(i, QStringLiteral("levels %1 %2, replayed %3 %4")
                        .arg(e.level1)
                        .arg(e.level2)
                        .arg(level[1])
                        .arg(level[2]));
    }
    int rows = 0;
    for (qsizetype row = 2; !results.levels.isEmpty() && row < results.levels[0].size(); ++row)
        rows += results.levels[0][row] != ResultsRun::Gap ? 1 : 0;
    if (rows != samples)
        found << QStringLiteral("%1 sample lines for %2 rows with a sample").arg(samples).arg(rows);
    if (counts && seen != *counts)
        found << QStringLiteral("press counts %1 %2 %3 %4 against the results screen's")
                     .arg(seen[0])
                     .arg(seen[1])
                     .arg(seen[2])
                     .arg(seen[3]);
    return found;
}

// The results file at resultsPath and the event log beside it, read and checked; a file that
// cannot be read is the one problem. events, where given, receives the log's lines.
inline QStringList fileProblems(const QString &resultsPath, const Counts *counts,
                                bool samplesOnTime, QList<RunEvent> *events = nullptr)
{
    ResultsRun results;
    QList<RunEvent> read;
    ReadProblem problem;
    InputMode logged = InputMode::Steps;
    if (!ResultsFile::read(resultsPath, &results, &problem) ||
        !EventLog::read(EventLog::pathBeside(resultsPath), &read, &problem, &logged))
        return {problem.text()};
    // A position run that stored no sample has no decimal in its results file.
    if (logged == InputMode::Position)
        results.input = logged;
    if (events)
        *events = read;
    return problems(read, results, counts, samplesOnTime);
}

} // namespace EventCheck
