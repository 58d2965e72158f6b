#pragma once

#include "controllermap.h"
#include "eventlog.h"

#include <QLabel>
#include <QObject>

class QWidget;

// A game controller on the rating screen: its buttons and sticks as ControllerMap says, and
// "The controller was disconnected" on the screen from the moment it goes until it is back.
class ControllerInput : public QObject
{
    Q_OBJECT
public:
    ControllerInput(QWidget &screen, GameController &controller, InputMode input,
                    bool twoVariables);

signals:
    void pressRequested(Rating::Button button, RunEvent::Source source);
    void levelRequested(int variable, int level, RunEvent::Source source);
    // The controller came (Connected) or went (Disconnected); the levels stay where they are.
    void deviceChanged(RunEvent::Source change);

private:
    ControllerMap m_map;
    QLabel *m_gone;
};

inline const QString ControllerGone = QStringLiteral("The controller was disconnected");
