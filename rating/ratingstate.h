#pragma once

#include "scale.h"

#include <QString>
#include <QtGlobal>

struct SetupRecord;

// The rating screen's state. Levels stay within -5..+5; counters only grow.
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

// One step of every level in use towards 0; a level at 0 stays there.
void fallBack(RatingState &state);

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
