#pragma once

#include "eventlog.h"
#include "ratingstate.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <optional>

class QWidget;

namespace Rating {

// The button a key stands for: Up arrow and keypad 8 raise the first level, Down arrow and
// keypad 2 lower it; W and S raise and lower the second, in two-variable runs only. A key with
// Ctrl, Alt or Meta held is some other command, never a press.
std::optional<Button> buttonForKey(int key, Qt::KeyboardModifiers modifiers, bool twoVariables);

// The tooltips of Command1, Command2, Command4 and Command5: the keys and the wheel that press
// them, and in a position run what a press does.
std::array<QString, 4> keyTips(InputMode input);

// A wheel turns in notches of 120 units; high-resolution wheels and touchpads send parts of one,
// which add up. Turning back undoes what was not yet a notch.
class WheelSteps
{
public:
    // The whole notches the wheel has turned with this delta: positive up (or right), negative
    // down (or left).
    int add(int delta);

private:
    int m_pending = 0;
};

} // namespace Rating

// Keys and the mouse wheel anywhere on a screen, whatever control has the focus, turned into
// presses. The keys' own work is not done: a focused button does not move the focus on an
// arrow, and the player's slider never moves on the wheel. A key held down is one press, or
// where repeats is set (position runs, where holding is the point) one press for each of the
// system's repeats; Space and Return keep their meaning on the focused button.
class RatingInput : public QObject
{
    Q_OBJECT
public:
    RatingInput(QWidget &screen, bool twoVariables, bool repeats = false);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void pressRequested(Rating::Button button, RunEvent::Source source);

private:
    QPointer<QWidget> m_screen;
    bool m_twoVariables;
    bool m_repeats;
    Rating::WheelSteps m_vertical;
    Rating::WheelSteps m_horizontal;
};
