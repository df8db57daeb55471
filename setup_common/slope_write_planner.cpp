#include "setup_common/slope_write_planner.h"

#include <algorithm>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

int Thousandths(double v) { return static_cast<int>(NumberText::Round(v * 1000.0)); }

}  // namespace

SlopeWritePlanner::TPlan SlopeWritePlanner::Plan(const TInput& in) {
  TPlan plan;
  plan.loTemp = in.loTemp;
  plan.hiTemp = in.hiTemp;
  plan.loOutput = in.loOutput;
  plan.hiOutput = in.hiOutput;
  const double dT = in.tempRaster > 0 ? in.tempRaster / 10.0 : 0.01;
  const int dA = in.outputRaster > 0 ? in.outputRaster * 100 : 10;  // thousandths
  const int outMin = Thousandths(in.outputMin);
  const int outMax = Thousandths(in.outputMax);

  // Both temperatures go to the device the same way, pushed or edited: in
  // degrees Celsius, or as the plain percentage in the percent mode.
  const auto temp = [&](Target target, double value) {
    TWrite w;
    w.target = target;
    w.temperature =
        in.percent ? value : SentinelUtils::UnitToCelsius(in.fahrenheit, static_cast<float>(value));
    plan.writes.push_back(w);
  };
  const auto output = [&](Target target, int thousandths) {
    TWrite w;
    w.target = target;
    w.output = thousandths;
    plan.writes.push_back(w);
  };

  if (in.pending & kLowTemp) {
    temp(Target::TempMin, plan.loTemp);
    if (plan.hiTemp < plan.loTemp) {
      plan.hiTemp = std::min(plan.loTemp + dT, std::max(in.tempMax, plan.loTemp));
      plan.pushed = true;
      temp(Target::TempMax, plan.hiTemp);
    }
  }
  if (in.pending & kHighTemp) {
    temp(Target::TempMax, plan.hiTemp);
    if (plan.loTemp > plan.hiTemp) {
      plan.loTemp = std::max(plan.hiTemp - dT, std::min(in.tempMin, plan.hiTemp));
      plan.pushed = true;
      temp(Target::TempMin, plan.loTemp);
    }
  }
  int lo = Thousandths(plan.loOutput);
  int hi = Thousandths(plan.hiOutput);
  if (in.pending & kLowOutput) {
    lo = std::clamp(lo, outMin, std::max(outMin, outMax));
    if (hi <= lo) {
      hi = lo + dA;
      if (hi > outMax) {
        hi = outMax;
        lo = outMax - dA;
      }
      output(Target::OutputMin, lo);
      output(Target::OutputMax, hi);
      plan.pushed = true;
    } else {
      output(Target::OutputMin, lo);
    }
  }
  if (in.pending & kHighOutput) {
    hi = std::clamp(hi, outMin, std::max(outMin, outMax));
    if (lo >= hi) {
      lo = hi - dA;
      if (lo < outMin) {
        lo = outMin;
        hi = outMin + dA;
      }
      output(Target::OutputMax, hi);
      output(Target::OutputMin, lo);
      plan.pushed = true;
    } else {
      output(Target::OutputMax, hi);
    }
  }
  plan.loOutput = lo / 1000.0;
  plan.hiOutput = hi / 1000.0;
  return plan;
}
