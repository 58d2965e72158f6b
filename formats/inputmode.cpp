#include "inputmode.h"

#include <algorithm>
#include <cstdlib>

namespace Input {

QString name(InputMode mode)
{
    return mode == InputMode::Position ? QStringLiteral("position") : QStringLiteral("steps");
}

std::optional<InputMode> fromName(const QString &name)
{
    if (name == QLatin1String("steps"))
        return InputMode::Steps;
    if (name == QLatin1String("position"))
        return InputMode::Position;
    return std::nullopt;
}

QByteArray levelText(int level, InputMode mode)
{
    if (mode == InputMode::Steps)
        return QByteArray::number(level);
    // -0.5 keeps its sign, which the whole part alone (0) would lose.
    const int magnitude = std::abs(level);
    return (level < 0 ? "-" : "") + QByteArray::number(magnitude / TenthsPerStep) + '.' +
           QByteArray::number(magnitude % TenthsPerStep);
}

std::optional<int> parseLevel(const QByteArray &text, bool *decimal)
{
    const bool negative = text.startsWith('-');
    const QByteArray digits = text.mid(negative ? 1 : 0);
    const qsizetype point = digits.indexOf('.');
    // One or two digits before the point, exactly one after it.
    const QByteArray whole = point < 0 ? digits : digits.left(point);
    const QByteArray tenth = point < 0 ? QByteArray() : digits.mid(point + 1);
    const auto allDigits = [](const QByteArray &part) {
        return !part.isEmpty() && part.size() <= 2 &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!allDigits(whole) || (point >= 0 && (tenth.size() != 1 || !allDigits(tenth))))
        return std::nullopt;
    *decimal = point >= 0;
    int value = whole.toInt() * (point >= 0 ? TenthsPerStep : 1) + (point >= 0 ? tenth.toInt() : 0);
    value = negative ? -value : value;
    if (!contains(value, *decimal ? InputMode::Position : InputMode::Steps))
        return std::nullopt;
    return value;
}

} // namespace Input
