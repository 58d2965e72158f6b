#include "levelmeter.h"

namespace LevelMeter {

QColor segmentColor(int index)
{
    // Distance from the mark: 1 blue, 2 green, 3 yellow, 4 orange, 5 red.
    static const std::array<QColor, 5> byDistance = {QColor(0, 0, 254), QColor(0, 255, 1),
                                                     QColor(255, 255, 0), QColor(248, 108, 23),
                                                     QColor(254, 0, 0)};
    const int distance = index < SegmentCount / 2 ? SegmentCount / 2 - index
                                                  : index - SegmentCount / 2 + 1;
    return byDistance[distance - 1];
}

} // namespace LevelMeter
