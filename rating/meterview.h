#pragma once

#include "levelmeter.h"

#include <QFrame>
#include <QString>

#include <array>

// A level meter's widgets on the rating screen: its frame and its ten segments, named from RedPos
// at the top to RedNeg at the bottom (with the suffix: "2" for meter 2), each in its colour.
namespace MeterView {

using Segments = std::array<QFrame, LevelMeter::SegmentCount>;

// The segments become children of the frame's parent; left in twips.
void build(Segments &segments, QFrame &frame, const char *frameName, int left, const char *suffix,
           const QString &variable);

} // namespace MeterView
