#pragma once

#include "eventlog.h"
#include "levelpad.h"

#include <QObject>
#include <QPointer>

#include <array>

class QPushButton;
class QWidget;
struct SetupRecord;

// The mouse in a position run: a drag (or a click) on a meter sets its level where the pointer
// is, and with two variables the pad, in the four buttons' place, sets both. The buttons move a
// level a tenth and repeat while held.
class PositionInput : public QObject
{
    Q_OBJECT
public:
    // buttons: Command1, Command2, Command4, Command5; meters: the frames of meters 1 and 2,
    // placed, over which the grips go.
    PositionInput(QWidget &screen, const SetupRecord &record,
                  const std::array<QPushButton *, 4> &buttons,
                  const std::array<const QWidget *, 2> &meters);

    // Shows the levels (tenths) on the pad.
    void showLevels(int level1, int level2);

signals:
    // A level in tenths, the source being the mouse; the pad asks for both, the first first.
    void levelRequested(int variable, int level, RunEvent::Source source);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::array<QPointer<QWidget>, 2> m_grips;
    QPointer<LevelPad> m_pad;
};
