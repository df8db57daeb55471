#pragma once

#include <array>
#include <optional>

// The five jog images of the ratio dialog (emissivity, slope, the two
// gains, attenuation limit): a drag away from an image's centre steps the
// value every 250 ms, faster the farther out; a short click steps it by one
// unit. Pure logic with the times handed in; the dialog draws and writes.
class RatioDisplayJog {
 public:
  enum Image { Epsilon, Slope, Gain1C, Gain2C, TauMin, ImageCount };
  static constexpr int kTickMs = 250;
  static constexpr int kClickMs = 500;

  struct TValueRange {
    double minimum, maximum;
    double divisor;  // a step of n changes the value by n / divisor
    int decimals;
  };
  static const TValueRange& ValueRange(int image);

  // The step for a vertical offset from the centre (d = round(y - h / 2)):
  // |d| < 10: 0; 10..29: 1; 30..49: 10; 50..69: 50; 70 and more: 100;
  // negative below the centre (d > 0).
  static int StepForOffset(int d);
  // The image's state for a step: 0, +-1 .. +-4 for 0, 1, 10, 50, 100.
  static int StateForStep(int step);
  // value + step / divisor, clamped to the image's range.
  static double Stepped(int image, double value, int step);

  // Left button pressed on `image` at `y` (height `height`) at `nowMs`.
  void MouseDown(int image, double y, int height, long long nowMs);
  // The mouse moved with the left button down; returns the state to draw.
  int MouseMove(int image, double y, int height);
  // The 250 ms tick: the image whose value moves (none stops the timer) and
  // its new value from `value` (the edit's current value).
  struct TTick {
    int image = -1;
    double value = 0.0;
  };
  std::optional<TTick> Tick(double value) const;
  // The timer runs (a non-zero step started it; a zero step on the
  // emissivity jog stops it, on the others it runs on with step 0).
  int ActiveImage() const { return active_; }
  // Released: the jog ends; a click (under 500 ms, released on the press's
  // side of the centre) gives the value one unit step from `value`.
  std::optional<double> MouseUp(int image, double y, int height, long long nowMs, double value);

  int StepOf(int image) const { return steps_[static_cast<std::size_t>(image)]; }

 private:
  static int Side(double y, int height);

  std::array<int, ImageCount> steps_{};
  std::array<int, ImageCount> pressSide_{};
  bool pressArmed_ = true;
  long long pressTime_ = 0;
  int active_ = -1;
};
