#include "positioninput.h"

#include "controls.h"
#include "ratingstate.h"
#include "setuprecord.h"

#include <QMouseEvent>
#include <QPushButton>

PositionInput::PositionInput(QWidget &screen, const SetupRecord &record,
                             const std::array<QPushButton *, 4> &buttons,
                             const std::array<const QWidget *, 2> &meters)
    : QObject(&screen)
{
    // Holding is the point: a held button goes on moving its level.
    for (QPushButton *button : buttons)
        button->setAutoRepeat(true);

    const bool two = record.Variable2Enabled;
    const struct
    {
        const char *name;
        const QString &variable;
        const char *stick;
    } grips[] = {{"meterGrip1", record.Variable, two ? "left stick across" : "left stick"},
                 {"meterGrip2", record.Variable2, "right stick"}};
    for (std::size_t i = 0; i < m_grips.size(); ++i) {
        // Above the meter's segments, so that it takes the mouse wherever they are lit.
        auto *grip = new QWidget(&screen);
        grip->setObjectName(QLatin1String(grips[i].name));
        grip->setGeometry(meters[i]->geometry());
        grip->setCursor(Qt::SizeVerCursor);
        grip->setToolTip(QStringLiteral("Drag or click to set %1; it stays where you leave it. "
                                        "Controller: %2.")
                             .arg(grips[i].variable, QLatin1String(grips[i].stick)));
        grip->installEventFilter(this);
        grip->raise();
        grip->setVisible(i == 0 || two);
        m_grips[i] = grip;
    }
    if (!two)
        return;
    // Two dimensions with one hand: the pad takes the four buttons' place.
    m_pad = new LevelPad(&screen);
    Controls::place(*m_pad, "LevelPad", 5040, 5520, 1575, 1575);
    m_pad->setNames(record.Variable, record.Variable2);
    m_pad->setAccessibleName(
        QStringLiteral("Pad of %1 across and %2 up").arg(record.Variable, record.Variable2));
    m_pad->setToolTip(QStringLiteral("Click or drag: %1 across, %2 up; they stay where you "
                                     "leave them. Controller: left stick.")
                          .arg(record.Variable, record.Variable2));
    connect(m_pad, &LevelPad::levelsRequested, this, [this](int level1, int level2) {
        emit levelRequested(1, level1, RunEvent::Source::Mouse);
        emit levelRequested(2, level2, RunEvent::Source::Mouse);
    });
    for (QPushButton *button : buttons)
        button->hide();
}

void PositionInput::showLevels(int level1, int level2)
{
    if (m_pad)
        m_pad->setLevels(level1, level2);
}

bool PositionInput::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseMove)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    auto *grip = static_cast<QWidget *>(watched);
    if (!(mouse->buttons() & Qt::LeftButton))
        return false;
    const int fromBottom = grip->height() - 1 - qRound(mouse->position().y());
    emit levelRequested(grip == m_grips[0] ? 1 : 2,
                        Rating::levelAlong(fromBottom, grip->height() - 1),
                        RunEvent::Source::Mouse);
    return true;
}

#include "moc_positioninput.cpp"
