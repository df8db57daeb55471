#pragma once

#include <QColor>
#include <cstdint>

// Colours as the settings and the chart keep them: 0x00BBGGRR.
struct BgrColor {
  static QColor ToQColor(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
  }
  static std::uint32_t FromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
  }
};
