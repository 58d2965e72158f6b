#include "ratingstate.h"

#include "setuprecord.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace Rating {

namespace {

void count(qint16 &counter)
{
    if (counter < std::numeric_limits<qint16>::max())
        ++counter;
}

void stepTowards(qint16 &level, qint16 bound)
{
    if (level < bound)
        ++level;
    else if (level > bound)
        --level;
}

} // namespace

void press(RatingState &state, Button button)
{
    switch (button) {
    case Button::Increase1:
        count(state.IncreaseClicks1);
        stepTowards(state.Level1, qint16(Scale::Top));
        break;
    case Button::Decrease1:
        count(state.DecreaseClicks1);
        stepTowards(state.Level1, qint16(Scale::Bottom));
        break;
    case Button::Increase2:
        count(state.IncreaseClicks2);
        stepTowards(state.Level2, qint16(Scale::Top));
        break;
    case Button::Decrease2:
        count(state.DecreaseClicks2);
        stepTowards(state.Level2, qint16(Scale::Bottom));
        break;
    }
}

void fallBack(RatingState &state)
{
    stepTowards(state.Level1, 0);
    if (state.TwoVariables)
        stepTowards(state.Level2, 0);
}

bool moveTo(RatingState &state, int variable, int level)
{
    level = std::clamp(level, -Input::TopTenth, Input::TopTenth);
    qint16 &current = variable == 1 ? state.Level1 : state.Level2;
    if (level == current)
        return false;
    const bool up = level > current;
    count(variable == 1 ? (up ? state.IncreaseClicks1 : state.DecreaseClicks1)
                        : (up ? state.IncreaseClicks2 : state.DecreaseClicks2));
    current = static_cast<qint16>(level);
    return true;
}

int meterLevel(int level, InputMode input)
{
    const int unit = Input::unit(input);
    const int whole = (std::abs(level) + unit / 2) / unit;
    return level < 0 ? -whole : whole;
}

int levelAlong(int offset, int length)
{
    constexpr int top = Input::TopTenth;
    if (length <= 0)
        return 0;
    const int span = 2 * top;
    // Rounded to the nearest tenth, halves upwards, in whole numbers.
    const int level = -top + (2 * offset * span + length) / (2 * length);
    return std::clamp(level, -top, top);
}

Captions captions(const SetupRecord &record)
{
    const QString increase = QStringLiteral("Increase ");
    const QString decrease = QStringLiteral("Decrease ");
    const QString levelOf = QStringLiteral("Level of ");
    Captions c;
    c.increase1 = increase + record.Variable;
    c.decrease1 = decrease + record.Variable;
    if (record.Variable2Enabled) {
        c.increase2 = increase + record.Variable2;
        c.decrease2 = decrease + record.Variable2;
        c.title = levelOf + record.Variable + QStringLiteral(" vs. ") + record.Variable2;
    } else {
        c.title = levelOf + record.Variable;
    }
    return c;
}

} // namespace Rating
