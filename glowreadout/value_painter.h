#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>

// Draws a display's value text into its bitmap: the background (see-through
// when transparent, white otherwise), then the text in the bottom-right
// corner with a 5-pixel margin, in contrast mode first in black at its
// eight one-pixel neighbours.
namespace ValuePainter {

struct TStyle {
  QFont Font;
  QColor Color;
  bool Contrast = false;
  bool Transparent = false;
  bool TextVisible = true;
};

// The display's font at `pointSize`: Arial (or the system's sans serif),
// unhinted and sized in pixels (points at 96 dpi), so its digits scale
// smoothly and measure alike on every screen and platform plugin.
QFont DisplayFont(int pointSize);

// The bitmap of `size` showing `text`.
QImage Render(const QSize& size, const QString& text, const TStyle& style);

// 0x00BBGGRR -> colour, and back.
QColor FromColorRef(std::uint32_t colorRef);
std::uint32_t ToColorRef(const QColor& color);

}  // namespace ValuePainter
