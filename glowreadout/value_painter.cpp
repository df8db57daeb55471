#include "glowreadout/value_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <array>

#include "platform/display_link_protocol.h"

namespace ValuePainter {

QFont DisplayFont(int pointSize) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setHintingPreference(QFont::PreferNoHinting);
  // Points at 96 dots per inch, whatever the screen claims: the fitting
  // then gives the same window on every screen.
  font.setPixelSize(std::max(1, (pointSize * 96 + 36) / 72));
  return font;
}

QImage Render(const QSize& size, const QString& text, const TStyle& style) {
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
  image.fill(style.Transparent ? QColor(Qt::transparent) : QColor(Qt::white));
  if (!style.TextVisible) return image;
  QPainter p(&image);
  p.setFont(style.Font);
  const QFontMetrics fm(style.Font);
  const int x = image.width() - fm.horizontalAdvance(text) - 5;
  const int y = image.height() - fm.height() - 5 + fm.ascent();
  if (style.Contrast) {
    static constexpr std::array<QPoint, 8> kAround{
        {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}}};
    p.setPen(Qt::black);
    for (const QPoint& d : kAround) p.drawText(x + d.x(), y + d.y(), text);
  }
  p.setPen(style.Color);
  p.drawText(x, y, text);
  return image;
}

QColor FromColorRef(std::uint32_t colorRef) {
  return QColor(DisplayLink::ColorRefRed(colorRef), DisplayLink::ColorRefGreen(colorRef),
                DisplayLink::ColorRefBlue(colorRef));
}

std::uint32_t ToColorRef(const QColor& color) {
  return DisplayLink::ColorRef(color.red(), color.green(), color.blue());
}

}  // namespace ValuePainter
