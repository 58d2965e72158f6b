#include "levelmeter.h"

#include <cstdlib>

namespace LevelMeter {

QColor segmentColor(int index)
{
    static const std::array<QColor, 5> byDistance = {QColor(0, 0, 254), QColor(0, 255, 1),
                                                     QColor(255, 255, 0), QColor(248, 108, 23),
                                                     QColor(254, 0, 0)};
    return byDistance[static_cast<std::size_t>(std::abs(segmentLevel(index)) - 1)];
}

} // namespace LevelMeter
