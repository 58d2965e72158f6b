#include "controllermap.h"

#include <algorithm>
#include <cstdlib>

std::optional<Rating::Button> ControllerMap::button(GameController::Button button, bool down)
{
    if (!down) {
        m_held.erase(button);
        return std::nullopt;
    }
    // A button held down counts once, whatever the device repeats.
    if (m_input != InputMode::Steps || !m_held.insert(button).second)
        return std::nullopt;
    switch (button) {
    case GameController::Button::DpadUp:
        return Rating::Button::Increase1;
    case GameController::Button::DpadDown:
        return Rating::Button::Decrease1;
    case GameController::Button::FaceTop:
        return m_two ? std::optional(Rating::Button::Increase2) : std::nullopt;
    case GameController::Button::FaceBottom:
        return m_two ? std::optional(Rating::Button::Decrease2) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<ControllerMap::Move> ControllerMap::axis(GameController::Axis axis, int value) const
{
    using Axis = GameController::Axis;
    if (m_input != InputMode::Position)
        return std::nullopt;
    if (m_two && axis == Axis::LeftX)
        return Move{1, levelOf(value, false)};
    if (m_two && axis == Axis::LeftY)
        return Move{2, levelOf(value, true)};
    if (!m_two && axis == Axis::LeftY)
        return Move{1, levelOf(value, true)};
    if (m_two && axis == Axis::RightY)
        return Move{2, levelOf(value, true)};
    return std::nullopt;
}

int ControllerMap::levelOf(int value, bool upwards)
{
    constexpr int reach = GameController::AxisReach;
    constexpr int deadZone = reach / 10;
    constexpr int top = Input::TopTenth;
    // -32768, one further than the positive end, is the end all the same.
    const int distance = std::min(std::abs(value), reach);
    if (distance <= deadZone)
        return 0;
    const int span = reach - deadZone;
    // To the nearest tenth, halves up.
    const int level = (2 * (distance - deadZone) * top + span) / (2 * span);
    const bool positive = upwards ? value < 0 : value > 0;
    return positive ? level : -level;
}
