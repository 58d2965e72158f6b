#pragma once

#include <QRect>
#include <QSize>
#include <QtMath>

// Window and control geometry is given in twips (1/1440 inch); at 96 dpi 15 twips make one
// pixel. Qt's own high-DPI scaling takes it from there.
namespace Twips {

constexpr double PerPixel = 15.0;

inline int toPixels(double twips)
{
    return qRound(twips / PerPixel);
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

} // namespace Twips
