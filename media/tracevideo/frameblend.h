#pragma once

#include <QImage>

// A picture with alpha laid over a video frame in its own planes, so that neither is converted:
// 4:2:0 YUV (I420) as decoders give it and encoders take it.
namespace FrameBlend {

struct I420
{
    uchar *planes[3]; // Y, U, V
    int strides[3];
    int width;
    int height;
    // Luma weights of red and blue (0.2126 and 0.0722 for BT.709, 0.299 and 0.114 for BT.601).
    double kr;
    double kb;
    bool fullRange; // 0..255, otherwise Y 16..235 and U, V 16..240
};

// Lays layer (Format_ARGB32_Premultiplied, as wide as the frame) over the frame's rows from top
// on. A pixel that layer leaves transparent is not touched; where the layer's alpha covers only
// part of a 2x2 block, the block's colour moves by that part.
void over(const I420 &frame, const QImage &layer, int top);

} // namespace FrameBlend
