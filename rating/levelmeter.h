#pragma once

#include <QColor>

#include <array>

// Which of a meter's ten segments a level lights. Segments are numbered from the top row
// (index 0, red, +5) to the bottom row (index 9, red, -5); the mark for 0 lies between
// indexes 4 and 5.
namespace LevelMeter {

constexpr int SegmentCount = 10;

// Upper segment k (1 = blue next to the mark .. 5 = red at the top) is lit for a level of at
// least k, lower segment k for a level of at most -k. Level 0 lights nothing.
constexpr bool isLit(int level, int index)
{
    if (index < SegmentCount / 2)
        return level >= SegmentCount / 2 - index;
    return level <= -(index - SegmentCount / 2 + 1);
}

QColor segmentColor(int index);

// Top of each segment's row in twips; rows are 360 apart and skip the mark.
constexpr std::array<int, SegmentCount> RowTops = {1080, 1440, 1800, 2160, 2520,
                                                   3240, 3600, 3960, 4320, 4680};

} // namespace LevelMeter
