#pragma once

#include <QObject>

// A game controller or joystick, as the rating screen hears of it. The adapter reads the device
// away from the interface thread and delivers these signals on the thread the object lives on.
// Joysticks that are no known game controller report their first two axes as the left stick and
// their first four buttons as the four buttons below.
class GameController : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    enum class Button
    {
        DpadUp,
        DpadDown,
        FaceTop,
        FaceBottom
    };
    enum class Axis
    {
        LeftX,
        LeftY,
        RightX,
        RightY
    };
    // An axis's reach each way from its centre; down and right are positive, as the devices
    // report them.
    static constexpr int AxisReach = 32767;

    // Whether a controller is plugged in now.
    virtual bool isConnected() const = 0;

signals:
    void buttonChanged(GameController::Button button, bool down);
    void axisChanged(GameController::Axis axis, int value);
    void connectedChanged(bool connected);
};
