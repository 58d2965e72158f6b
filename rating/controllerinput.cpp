#include "controllerinput.h"

#include "controls.h"

ControllerInput::ControllerInput(QWidget &screen, GameController &controller, InputMode input,
                                 bool twoVariables)
    : QObject(&screen), m_map(input, twoVariables), m_gone(new QLabel(&screen))
{
    // Under the clip's length, beside the buttons.
    Controls::placeLabel(*m_gone, "controllerGone", ControllerGone, 240, 6900, 3000, 255);
    m_gone->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_gone->hide();
    connect(&controller, &GameController::buttonChanged, this,
            [this](GameController::Button button, bool down) {
                if (const auto pressed = m_map.button(button, down))
                    emit pressRequested(*pressed, RunEvent::Source::Controller);
            });
    connect(&controller, &GameController::axisChanged, this,
            [this](GameController::Axis axis, int value) {
                if (const auto move = m_map.axis(axis, value))
                    emit levelRequested(move->variable, move->level, RunEvent::Source::Controller);
            });
    connect(&controller, &GameController::connectedChanged, this, [this](bool connected) {
        // A button held as it went counts again once it is back.
        m_map.release();
        m_gone->setVisible(!connected);
        emit deviceChanged(connected ? RunEvent::Source::Connected
                                     : RunEvent::Source::Disconnected);
    });
}

#include "moc_controllerinput.cpp"
