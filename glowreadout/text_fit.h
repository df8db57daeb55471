#pragma once

#include <QRect>
#include <QSize>
#include <functional>

// Fitting a display window to its value: the font grows with the window,
// then the window shrinks to the text (plus 30 pixels at the left for the
// grip image).
namespace TextFit {

// The text the font is fitted to.
inline constexpr char16_t kSampleText[] = u"9999.9\u00B0C";
inline constexpr int kGripWidth = 30;
inline constexpr int kMinFontSize = 7;
// Upper bound of the font-size search, so a huge window cannot make it run
// for long.
inline constexpr int kMaxFontSize = 1000;

struct TFit {
  int FontSize = kMinFontSize;
  int ClientWidth = 0;
  int ClientHeight = 0;
  bool operator==(const TFit&) const = default;
};

// `measure` gives the sample text's size at a font size. Sizes rise from 8
// until the text no longer fits the client area less 5 pixels; the size
// before (at least 7) is taken and the client area fitted around the text.
TFit FitToWindow(int clientWidth, int clientHeight, const std::function<QSize(int fontSize)>& measure);

// Keeps a window of `frame` on `desktop`: right edge inside (else moved
// left), left not before the desktop's left, bottom inside (else moved up),
// top not above the desktop's top.
QPoint KeepOnDesktop(const QRect& frame, const QRect& desktop);

}  // namespace TextFit
