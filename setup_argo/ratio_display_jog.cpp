#include "setup_argo/ratio_display_jog.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/number_text.h"

namespace {

constexpr std::array<RatioDisplayJog::TValueRange, RatioDisplayJog::ImageCount> kValueRanges = {{
    {0.05, 1.0, 1000.0, 3},   // emissivity
    {0.8, 1.2, 1000.0, 3},    // slope
    {0.75, 1.25, 1000.0, 3},  // gain 1C
    {0.9, 1.1, 1000.0, 3},    // gain 2C
    {-50.0, 99.0, 10.0, 1},   // attenuation limit
}};

bool ValidImage(int image) { return image >= 0 && image < RatioDisplayJog::ImageCount; }

}  // namespace

const RatioDisplayJog::TValueRange& RatioDisplayJog::ValueRange(int image) {
  return kValueRanges[static_cast<std::size_t>(std::clamp(image, 0, ImageCount - 1))];
}

int RatioDisplayJog::StepForOffset(int d) {
  const int a = std::abs(d);
  const int step = a < 10 ? 0 : a < 30 ? 1 : a < 50 ? 10 : a < 70 ? 50 : 100;
  return d > 0 ? -step : step;
}

int RatioDisplayJog::StateForStep(int step) {
  const int a = std::abs(step);
  const int state = a == 0 ? 0 : a <= 1 ? 1 : a <= 10 ? 2 : a <= 50 ? 3 : 4;
  return step < 0 ? -state : state;
}

double RatioDisplayJog::Stepped(int image, double value, int step) {
  const TValueRange& range = ValueRange(image);
  // Rounded to the edit's decimals, so repeated steps do not drift.
  const double scale = std::pow(10.0, range.decimals);
  const double next = std::round((value + step / range.divisor) * scale) / scale;
  return std::clamp(next, range.minimum, range.maximum);
}

int RatioDisplayJog::Side(double y, int height) {
  const double centre = height / 2.0;
  return y < centre ? 1 : y > centre ? -1 : 0;
}

void RatioDisplayJog::MouseDown(int image, double y, int height, long long nowMs) {
  if (!ValidImage(image)) return;
  if (pressArmed_) {
    pressTime_ = nowMs;
    pressArmed_ = false;
  }
  pressSide_[static_cast<std::size_t>(image)] = Side(y, height);
}

int RatioDisplayJog::MouseMove(int image, double y, int height) {
  if (!ValidImage(image)) return 0;
  const int d = static_cast<int>(NumberText::Round(y - height / 2.0));
  const int step = StepForOffset(d);
  steps_[static_cast<std::size_t>(image)] = step;
  if (step != 0)
    active_ = image;
  else if (image == Epsilon)
    active_ = -1;
  return StateForStep(step);
}

std::optional<RatioDisplayJog::TTick> RatioDisplayJog::Tick(double value) const {
  if (!ValidImage(active_)) return std::nullopt;
  return TTick{active_, Stepped(active_, value, steps_[static_cast<std::size_t>(active_)])};
}

std::optional<double> RatioDisplayJog::MouseUp(int image, double y, int height, long long nowMs,
                                               double value) {
  if (!ValidImage(image)) return std::nullopt;
  pressArmed_ = true;
  steps_.fill(0);
  if (active_ == image) active_ = -1;
  const int pressSide = pressSide_[static_cast<std::size_t>(image)];
  pressSide_[static_cast<std::size_t>(image)] = 0;
  if (nowMs - pressTime_ >= kClickMs || pressSide == 0 || Side(y, height) != pressSide) return std::nullopt;
  return Stepped(image, value, pressSide);
}
