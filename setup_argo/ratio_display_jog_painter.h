#pragma once

#include <QColor>
#include <QImage>

// Draws a jog image in one of its nine states: a grooved face with two
// black triangles (0), or one triangle up (1..4) or down (-1..-4) coloured
// by speed: yellow, aqua, lime, red.
class RatioDisplayJogPainter {
 public:
  static void DrawJog(QImage& image, int state, const QColor& buttonFace);
  static QColor StateColour(int state);
};
