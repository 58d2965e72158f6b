#pragma once

#include "scale.h"

#include <QByteArray>
#include <QString>

#include <optional>

// How a run is rated. Steps: a press moves a level one whole step and every level falls back
// towards 0 once a second (the results file and event log hold whole numbers). Position: the
// level is where the subject holds the control, in tenths of a step, with no fall-back (the
// files hold one decimal: 2.3, -0.5, 0.0).
enum class InputMode
{
    Steps,
    Position
};

namespace Input {

// The levels of a position run are held as whole tenths, -50..+50; those of a steps run as
// whole steps, -5..+5.
constexpr int TenthsPerStep = 10;
// The top of a position run's scale, in tenths (its bottom is this below 0).
constexpr int TopTenth = Scale::Top * TenthsPerStep;

constexpr int unit(InputMode mode)
{
    return mode == InputMode::Position ? TenthsPerStep : 1;
}

// Whether a level lies on the scale, -5..+5, in the mode's unit.
constexpr bool contains(long long level, InputMode mode)
{
    return level >= Scale::Bottom * unit(mode) && level <= Scale::Top * unit(mode);
}

// "steps" and "position", as the study file, the command line and dialtrace.conf name them.
QString name(InputMode mode);
std::optional<InputMode> fromName(const QString &name);

// A level as the files of a run in this mode write it: "3" or "-5" for steps, "2.3", "-0.5",
// "0.0" for position.
QByteArray levelText(int level, InputMode mode);

// A level as a file holds it: a whole number ("-3", held as is) or one with one decimal ("2.3",
// held as 23 tenths, with decimal set), on the scale. Nothing for anything else, a "+" sign,
// blanks and a level off the scale included.
std::optional<int> parseLevel(const QByteArray &text, bool *decimal);

// The level in steps, for statistics and charts: 2.3 for 23 tenths of a position run.
constexpr double steps(int level, InputMode mode)
{
    return double(level) / unit(mode);
}

} // namespace Input
