#pragma once

#include "inputmode.h"
#include "scale.h"

#include <QString>
#include <QtGlobal>

struct SetupRecord;

// The rating screen's state. Levels stay within -5..+5, held in whole steps in a steps run and in
// tenths (-50..+50) in a position run; counters only grow.
struct RatingState
{
    qint16 Level1 = 0;
    qint16 Level2 = 0;
    qint16 IncreaseClicks1 = 0;
    qint16 DecreaseClicks1 = 0;
    qint16 IncreaseClicks2 = 0;
    qint16 DecreaseClicks2 = 0;
    bool TwoVariables = false;
};

namespace Rating {

enum class Button
{
    Increase1,
    Decrease1,
    Increase2,
    Decrease2
};

// Every press counts, also one at the bound that leaves the level where it is. A counter stays
// at 32767 rather than wrap round to a negative count.
void press(RatingState &state, Button button);

// One step of every level in use towards 0; a level at 0 stays there. Steps runs only.
void fallBack(RatingState &state);

// Position runs. Sets a variable's level (1 or 2, in tenths, kept within the scale) and counts
// a move up or down on its increase or decrease counter; false where it was there already.
bool moveTo(RatingState &state, int variable, int level);
// The variable a button moves (1 or 2), and which way (+1 or -1).
constexpr int variableOf(Button button)
{
    return button == Button::Increase1 || button == Button::Decrease1 ? 1 : 2;
}
constexpr int directionOf(Button button)
{
    return button == Button::Increase1 || button == Button::Increase2 ? 1 : -1;
}

// The whole level a meter shows: the nearest, halves away from 0 (+0.5 lights the first
// segment up, -0.5 the first down).
int meterLevel(int level, InputMode input);

// A position along a control (a meter, one side of the pad) as a level in tenths: offset from the
// -5 end of a control length long, to the nearest tenth, -5.0 at one end and +5.0 at the other;
// beyond the ends it stays at them.
int levelAlong(int offset, int length);

struct Captions
{
    QString increase1;
    QString decrease1;
    QString increase2;
    QString decrease2;
    QString title;
};

Captions captions(const SetupRecord &record);

} // namespace Rating
