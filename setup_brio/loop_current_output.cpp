#include "setup_brio/loop_current_output.h"

#include "platform/number_text.h"

bool LoopCurrentOutput::Parse(const QString& text, int& tenths) {
  int value = 0;
  if (!NumberText::TryStrToInt(text.trimmed(), value) || value < kMin || value > kMax) return false;
  tenths = value;
  return true;
}

int LoopCurrentOutput::Show() {
  showing_ = true;
  return kStartValue;
}

bool LoopCurrentOutput::TextChanged(const QString& text) {
  int tenths = 0;
  if (!Parse(text, tenths)) return false;
  if (!showing_) return true;
  fixed_ = true;
  if (Send) Send(static_cast<float>(tenths) / 10.0f);
  return true;
}

void LoopCurrentOutput::Reset() {
  if (showing_) Normal();
}

void LoopCurrentOutput::Close(bool closeButton) {
  if (showing_ && (closeButton || fixed_)) Normal();
  showing_ = false;
}

void LoopCurrentOutput::Normal() {
  fixed_ = false;
  if (Send) Send(0.0f);
}
