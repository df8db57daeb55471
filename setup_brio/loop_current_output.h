#pragma once

#include <QString>
#include <functional>

// What the 4-20 mA loop-maintenance dialog sends: a current in tenths of a
// milliampere, 4.0 to 20.0 mA, sent at once for every valid change; text
// outside the range (or no number) is marked and sends nothing, the device
// keeping its previous current. Reset returns the output to normal
// operation (current 0).
//
// A showing sends nothing. Closing returns the output to normal operation
// when the close button was used or a current is still fixed, so no way out
// of the dialog leaves the loop at a test current.
class LoopCurrentOutput {
 public:
  static constexpr int kMin = 40;  // tenths of a mA
  static constexpr int kMax = 200;
  static constexpr int kStartValue = kMin;

  // Sends a current (mA) to the device; 0 returns the output to normal.
  std::function<void(float milliamperes)> Send;

  // A showing: the value to show (nothing is sent).
  int Show();
  // The text of the edit changed; false when it is not a valid current
  // (the dialog marks it).
  bool TextChanged(const QString& text);
  void Reset();
  // `closeButton`: the dialog's close button (always resets).
  void Close(bool closeButton);

  // Whether a test current is fixed now.
  bool Fixed() const { return fixed_; }
  static bool Parse(const QString& text, int& tenths);

 private:
  void Normal();

  bool fixed_ = false;
  bool showing_ = false;
};
