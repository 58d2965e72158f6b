#include "frameblend.h"

#include <algorithm>
#include <cmath>

namespace {

// In 1/65536: how much of a sample stays and what is added to it, for one colour of the layer.
// A layer has few colours (a band, lines, text), so each is worked out once and reused while
// the colour repeats: the loops over every pixel multiply once and add once.
struct Step
{
    int keep = 65535; // transparent: the sample stays as it was
    int add = 32768;  // and is rounded, not cut

    uchar apply(uchar sample) const
    {
        return static_cast<uchar>(std::clamp((sample * keep + add) >> 16, 0, 255));
    }
};

int fixed(double value)
{
    return static_cast<int>(std::lround(value * 65536.0));
}

} // namespace

namespace FrameBlend {

void over(const I420 &frame, const QImage &layer, int top)
{
    const double kr = frame.kr;
    const double kb = frame.kb;
    const double kg = 1.0 - kr - kb;
    // From 0..255 RGB to the frame's range, in premultiplied colour: the offsets scale with
    // alpha. Cb = (B - Y) / (2 (1 - kb)) and Cr = (R - Y) / (2 (1 - kr)), both around 128.
    const double lumaScale = frame.fullRange ? 1.0 : 219.0 / 255.0;
    const double lumaOffset = frame.fullRange ? 0.0 : 16.0;
    const double chromaScale = frame.fullRange ? 1.0 : 224.0 / 255.0;
    // colour: premultiplied red, green, blue and alpha, each 0..255, as the mean of a block.
    const auto luma = [&](double r, double g, double b, double a) {
        return Step{fixed(1.0 - a / 255.0) - (a == 0 ? 1 : 0),
                    fixed(lumaOffset * a / 255.0 + lumaScale * (kr * r + kg * g + kb * b)) + 32768};
    };
    const auto chroma = [&](double mine, double k, double r, double g, double b, double a) {
        return Step{fixed(1.0 - a / 255.0) - (a == 0 ? 1 : 0),
                    fixed(128.0 * a / 255.0 +
                          chromaScale * (mine - (kr * r + kg * g + kb * b)) / (2 * (1 - k))) +
                        32768};
    };

    const int bottom = std::min(frame.height, top + layer.height());
    const int width = std::min(frame.width, layer.width());
    const int first = std::max(top, 0);
    QRgb last = 0;
    Step step;
    for (int y = first; y < bottom; ++y) {
        const auto *source = reinterpret_cast<const QRgb *>(layer.constScanLine(y - top));
        uchar *samples = frame.planes[0] + qsizetype(y) * frame.strides[0];
        for (int x = 0; x < width; ++x) {
            const QRgb p = source[x];
            if (p != last) {
                step = luma(qRed(p), qGreen(p), qBlue(p), qAlpha(p));
                last = p;
            }
            samples[x] = step.apply(samples[x]);
        }
    }
    // Each chroma sample stands for a 2x2 block: the layer's mean over it, rows outside the
    // layer counting as transparent.
    QRgb lastBlock[4] = {};
    int lastCount = 0;
    Step blueStep, redStep;
    for (int cy = first / 2; cy < (bottom + 1) / 2; ++cy) {
        uchar *blue = frame.planes[1] + qsizetype(cy) * frame.strides[1];
        uchar *red = frame.planes[2] + qsizetype(cy) * frame.strides[2];
        const QRgb *rows[2] = {};
        for (int k = 0; k < 2; ++k) {
            const int y = 2 * cy + k;
            if (y >= top && y < bottom)
                rows[k] = reinterpret_cast<const QRgb *>(layer.constScanLine(y - top));
        }
        const int lines = std::min(2, frame.height - 2 * cy);
        for (int cx = 0; cx < (width + 1) / 2; ++cx) {
            const int columns = std::min(2, width - 2 * cx);
            QRgb block[4] = {};
            for (int k = 0; k < 2; ++k) {
                for (int x = 0; rows[k] && x < columns; ++x)
                    block[2 * k + x] = rows[k][2 * cx + x];
            }
            const int count = lines * columns;
            if (count != lastCount || !std::equal(block, block + 4, lastBlock)) {
                double a = 0, r = 0, g = 0, b = 0;
                for (const QRgb p : block) {
                    a += qAlpha(p);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
                a /= count;
                r /= count;
                g /= count;
                b /= count;
                blueStep = chroma(b, kb, r, g, b, a);
                redStep = chroma(r, kr, r, g, b, a);
                std::copy(block, block + 4, lastBlock);
                lastCount = count;
            }
            blue[cx] = blueStep.apply(blue[cx]);
            red[cx] = redStep.apply(red[cx]);
        }
    }
}

} // namespace FrameBlend
