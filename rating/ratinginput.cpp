#include "ratinginput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>

namespace Rating {

namespace {

constexpr int Notch = 120;

} // namespace

std::optional<Button> buttonForKey(int key, Qt::KeyboardModifiers modifiers, bool twoVariables)
{
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    // The keypad's 8 and 2 arrive as digits with Num Lock on and as arrows with it off.
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (key == Qt::Key_Up || (keypad && key == Qt::Key_8))
        return Button::Increase1;
    if (key == Qt::Key_Down || (keypad && key == Qt::Key_2))
        return Button::Decrease1;
    if (twoVariables && key == Qt::Key_W)
        return Button::Increase2;
    if (twoVariables && key == Qt::Key_S)
        return Button::Decrease2;
    return std::nullopt;
}

std::array<QString, 4> keyTips(InputMode input)
{
    // One hand per variable: arrows and the wheel for the first, W and S and the wheel's tilt
    // for the second.
    std::array<QString, 4> tips = {QStringLiteral("Up arrow, or the mouse wheel turned up"),
                                   QStringLiteral("Down arrow, or the mouse wheel turned down"),
                                   QStringLiteral("W, or the mouse wheel tilted right"),
                                   QStringLiteral("S, or the mouse wheel tilted left")};
    if (input == InputMode::Position) {
        for (std::size_t i = 0; i < tips.size(); ++i)
            tips[i] += (i % 2 == 0 ? QStringLiteral(": a tenth higher")
                                   : QStringLiteral(": a tenth lower")) +
                       QStringLiteral("; hold to go on. The level stays where you leave it.");
    }
    return tips;
}

int WheelSteps::add(int delta)
{
    m_pending += delta;
    const int notches = m_pending / Notch;
    m_pending -= notches * Notch;
    return notches;
}

} // namespace Rating

RatingInput::RatingInput(QWidget &screen, bool twoVariables, bool repeats)
    : QObject(&screen), m_screen(&screen), m_twoVariables(twoVariables), m_repeats(repeats)
{
    // On the application, so that the event is seen before whichever control would take it.
    qApp->installEventFilter(this);
}

bool RatingInput::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::Wheel)
        return false;
    // Widgets only: the window gets the same event first and hands it on.
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!m_screen || !widget || !m_screen->isVisible() ||
        (widget != m_screen && !m_screen->isAncestorOf(widget)))
        return false;

    if (type == QEvent::Wheel) {
        const QPoint delta = static_cast<QWheelEvent *>(event)->angleDelta();
        for (int notch = m_vertical.add(delta.y()); notch != 0; notch -= notch > 0 ? 1 : -1)
            emit pressRequested(notch > 0 ? Rating::Button::Increase1 : Rating::Button::Decrease1,
                                RunEvent::Source::Wheel);
        // Tilted right the wheel reports a negative x: that raises the second level.
        for (int notch = m_horizontal.add(delta.x()); m_twoVariables && notch != 0;
             notch -= notch > 0 ? 1 : -1)
            emit pressRequested(notch < 0 ? Rating::Button::Increase2 : Rating::Button::Decrease2,
                                RunEvent::Source::Wheel);
        return true;
    }
    auto *key = static_cast<QKeyEvent *>(event);
    const auto button = Rating::buttonForKey(key->key(), key->modifiers(), m_twoVariables);
    if (!button)
        return false;
    if (type == QEvent::KeyPress && (m_repeats || !key->isAutoRepeat()))
        emit pressRequested(*button, RunEvent::Source::Key);
    return true;
}

#include "moc_ratinginput.cpp"
