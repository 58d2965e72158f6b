#pragma once

#include "gamecontroller.h"
#include "inputmode.h"
#include "ratingstate.h"

#include <optional>
#include <set>

// What a game controller does on the rating screen. Steps: the D-pad's up and down press the
// first variable's increase and decrease, the top and bottom face buttons the second's, once
// for each time a button goes down however long it is held. Position: the left stick's vertical
// axis is the first variable (up is +5), the right stick's the second; in two dimensions (a
// two-variable position run) the left stick alone, across for the first and up for the second.
class ControllerMap
{
public:
    ControllerMap(InputMode input, bool twoVariables) : m_input(input), m_two(twoVariables) {}

    // The press a button's change makes, if any.
    std::optional<Rating::Button> button(GameController::Button button, bool down);

    struct Move
    {
        int variable;
        int level; // tenths
    };
    // The controller went: no button is held any more.
    void release() { m_held.clear(); }

    // The level an axis's value sets, if the axis drives one in this run.
    std::optional<Move> axis(GameController::Axis axis, int value) const;

    // An axis's value as a level in tenths: a tenth of the reach around the centre reads as 0,
    // and the rest of the way to either end spreads over 0.1 to 5.0. upwards: the axis's
    // negative end (the device's up) is +5.
    static int levelOf(int value, bool upwards);

private:
    InputMode m_input;
    bool m_two;
    std::set<GameController::Button> m_held;
};
