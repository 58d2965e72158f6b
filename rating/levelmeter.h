#pragma once

#include "scale.h"

#include <QColor>

#include <array>

// Which of a meter's ten segments a level lights. Segments are numbered from the top row
// (index 0, red, +5) to the bottom row (index 9, red, -5); the mark for 0 lies between
// indexes 4 and 5.
namespace LevelMeter {

// One segment a step each way from 0.
constexpr int SegmentCount = 2 * Scale::Top;

// The level a segment stands for: +5 at the top row down to +1, then -1 down to -5.
constexpr int segmentLevel(int index)
{
    return index < SegmentCount / 2 ? SegmentCount / 2 - index : SegmentCount / 2 - 1 - index;
}

// An upper segment is lit for a level at least as high as its own, a lower one for a level at
// least as low. Level 0 lights nothing, and the two halves are never lit at once.
constexpr bool isLit(int level, int index)
{
    const int own = segmentLevel(index);
    return own > 0 ? level >= own : level <= own;
}

// Blue next to the mark, then green, yellow, orange, and red at either end.
QColor segmentColor(int index);

// Top of each segment's row in twips; rows are 360 apart and skip the mark.
constexpr std::array<int, SegmentCount> RowTops = {1080, 1440, 1800, 2160, 2520,
                                                   3240, 3600, 3960, 4320, 4680};

} // namespace LevelMeter
