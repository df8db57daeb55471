#include <gtest/gtest.h>

#include "setup_common/slope_write_planner.h"

namespace {

using Planner = SlopeWritePlanner;
using T = Planner::Target;

Planner::TWrite Temp(T target, double t) { return {target, t, 0}; }
Planner::TWrite Out(T target, int thousandths) { return {target, 0.0, thousandths}; }

struct PlanCase {
  const char* name;
  Planner::TInput in;
  std::vector<Planner::TWrite> writes;
  double loTemp, hiTemp, loOutput, hiOutput;
};

Planner::TInput Input(int pending, double loT, double hiT, double loO, double hiO) {
  Planner::TInput in;
  in.pending = pending;
  in.loTemp = loT;
  in.hiTemp = hiT;
  in.loOutput = loO;
  in.hiOutput = hiO;
  return in;
}

TEST(SlopeWritePlannerTest, Table) {
  auto raster = Input(Planner::kLowTemp, 500, 400, 0, 10);
  raster.tempRaster = 5;
  auto outRaster = Input(Planner::kLowOutput, 0, 1000, 6, 5);
  outRaster.outputRaster = 5;
  auto fahrenheit = Input(Planner::kLowTemp | Planner::kHighTemp, 32, 212, 0, 10);
  fahrenheit.fahrenheit = true;
  // The pushed temperature goes out unscaled like the edited one.
  auto percent = Input(Planner::kLowTemp, 60, 50, 0, 10);
  percent.percent = true;
  percent.tempMin = -50;
  percent.tempMax = 100;
  auto percentHigh = Input(Planner::kHighTemp, 60, 50, 0, 10);
  percentHigh.percent = true;
  percentHigh.tempMin = -50;
  percentHigh.tempMax = 100;
  auto mA = Input(Planner::kHighOutput, 0, 1000, 4, 3);
  mA.outputMin = 4;
  mA.outputMax = 20;
  auto tempAtEnd = Input(Planner::kLowTemp, 900, 800, 0, 10);

  const PlanCase cases[] = {
      {"plain low temperature",
       Input(Planner::kLowTemp, 100, 900, 0, 10),
       {Temp(T::TempMin, 100)},
       100,
       900,
       0,
       10},
      {"low temperature above high pushes high",
       Input(Planner::kLowTemp, 500, 400, 0, 10),
       {Temp(T::TempMin, 500), Temp(T::TempMax, 500.01)},
       500,
       500.01,
       0,
       10},
      {"push by the raster's gap",
       raster,
       {Temp(T::TempMin, 500), Temp(T::TempMax, 500.5)},
       500,
       500.5,
       0,
       10},
      {"pushed temperature stays in its limits",
       tempAtEnd,
       {Temp(T::TempMin, 900), Temp(T::TempMax, 900)},
       900,
       900,
       0,
       10},
      {"high temperature below low pushes low",
       Input(Planner::kHighTemp, 500, 400, 0, 10),
       {Temp(T::TempMax, 400), Temp(T::TempMin, 399.99)},
       399.99,
       400,
       0,
       10},
      {"equal temperatures stay equal",
       Input(Planner::kLowTemp, 500, 500, 0, 10),
       {Temp(T::TempMin, 500)},
       500,
       500,
       0,
       10},
      {"fahrenheit written in celsius",
       fahrenheit,
       {Temp(T::TempMin, 0), Temp(T::TempMax, 100)},
       32,
       212,
       0,
       10},
      {"percent low push unscaled",
       percent,
       {Temp(T::TempMin, 60), Temp(T::TempMax, 60.01)},
       60,
       60.01,
       0,
       10},
      {"percent high push unscaled",
       percentHigh,
       {Temp(T::TempMax, 50), Temp(T::TempMin, 49.99)},
       49.99,
       50,
       0,
       10},
      {"plain high output",
       Input(Planner::kHighOutput, 0, 1000, 0, 7.5),
       {Out(T::OutputMax, 7500)},
       0,
       1000,
       0,
       7.5},
      {"equal outputs push high",
       Input(Planner::kLowOutput, 0, 1000, 5, 5),
       {Out(T::OutputMin, 5000), Out(T::OutputMax, 5010)},
       0,
       1000,
       5,
       5.01},
      {"low output above high with raster",
       outRaster,
       {Out(T::OutputMin, 6000), Out(T::OutputMax, 6500)},
       0,
       1000,
       6,
       6.5},
      {"high output below low pushes low",
       Input(Planner::kHighOutput, 0, 1000, 5, 4),
       {Out(T::OutputMax, 4000), Out(T::OutputMin, 3990)},
       0,
       1000,
       3.99,
       4},
      {"high output at the range start pushes the other way",
       mA,
       {Out(T::OutputMax, 4010), Out(T::OutputMin, 4000)},
       0,
       1000,
       4,
       4.01},
      {"low output at the top pushes the other way",
       Input(Planner::kLowOutput, 0, 1000, 10, 10),
       {Out(T::OutputMin, 9990), Out(T::OutputMax, 10000)},
       0,
       1000,
       9.99,
       10},
      {"low output clamped into range",
       Input(Planner::kLowOutput, 0, 1000, 12, 5),
       {Out(T::OutputMin, 9990), Out(T::OutputMax, 10000)},
       0,
       1000,
       9.99,
       10},
      {"high output at the bottom pushes the other way",
       Input(Planner::kHighOutput, 0, 1000, 3, -1),
       {Out(T::OutputMax, 10), Out(T::OutputMin, 0)},
       0,
       1000,
       0,
       0.01},
      {"all four in order",
       Input(15, 100, 200, 1, 2),
       {Temp(T::TempMin, 100), Temp(T::TempMax, 200), Out(T::OutputMin, 1000), Out(T::OutputMax, 2000)},
       100,
       200,
       1,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto plan = Planner::Plan(c.in);
    ASSERT_EQ(plan.writes.size(), c.writes.size());
    for (std::size_t i = 0; i < c.writes.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(plan.writes[i].target, c.writes[i].target);
      EXPECT_NEAR(plan.writes[i].temperature, c.writes[i].temperature, 1e-3);
      EXPECT_EQ(plan.writes[i].output, c.writes[i].output);
    }
    EXPECT_NEAR(plan.loTemp, c.loTemp, 1e-6);
    EXPECT_NEAR(plan.hiTemp, c.hiTemp, 1e-6);
    EXPECT_NEAR(plan.loOutput, c.loOutput, 1e-9);
    EXPECT_NEAR(plan.hiOutput, c.hiOutput, 1e-9);
    EXPECT_LE(plan.loTemp, plan.hiTemp);
    EXPECT_LT(plan.loOutput, plan.hiOutput);
  }
}

}  // namespace
