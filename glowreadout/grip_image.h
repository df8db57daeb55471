#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// The grip symbol shown at a display's left edge while the mouse is over
// it: a framed square holding four arrows pointing out from a centre mark.
namespace GripImage {

inline constexpr int kSize = 26;

// The symbol in black on white.
QImage Mask();
// The symbol in `color` on white (white itself is replaced by blue, so the
// symbol stays visible): the picture filled with the colour, OR'ed with the
// mask.
QImage Tint(const QColor& color);
// The grip shows while the mouse cursor lies within `frame`, edges included.
bool Shown(const QRect& frame);

}  // namespace GripImage
