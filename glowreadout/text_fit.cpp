#include "glowreadout/text_fit.h"

#include <algorithm>

namespace TextFit {

TFit FitToWindow(int clientWidth, int clientHeight, const std::function<QSize(int)>& measure) {
  int size = 8;
  for (; size < kMaxFontSize; ++size) {
    const QSize s = measure(size);
    if (s.width() > clientWidth - 5 || s.height() > clientHeight - 5) break;
  }
  size = std::max(kMinFontSize, size - 1);
  const QSize text = measure(size);
  int cw = clientWidth;
  int ch = clientHeight;
  if (size == kMinFontSize) {
    if (text.width() > cw - 5) cw = text.width() + 7;
    if (text.height() > ch - 5) ch = text.height() + 7;
  }
  if (text.width() + 10 < cw) cw = text.width() + 10;
  if (ch > text.height() + 10) ch = text.height() + 10;
  return {size, cw + kGripWidth, ch};
}

QPoint KeepOnDesktop(const QRect& frame, const QRect& desktop) {
  int left = frame.left();
  int top = frame.top();
  if (left + frame.width() > desktop.left() + desktop.width())
    left = desktop.left() + desktop.width() - frame.width();
  if (left < desktop.left()) left = desktop.left();
  if (top + frame.height() > desktop.top() + desktop.height())
    top = desktop.top() + desktop.height() - frame.height();
  if (top < desktop.top()) top = desktop.top();
  return {left, top};
}

}  // namespace TextFit
