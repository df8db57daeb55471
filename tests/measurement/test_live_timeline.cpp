// The live measurement's time axis: the zero at the end of the start delay,
// the delay's progress, the chart time of every record and poll sample and
// the cycle between samples.

#include <gtest/gtest.h>

#include <vector>

#include "measurement/live_timeline.h"

namespace {

// One record of a burst: its time from the driver and when the window took it.
struct Record {
  double time;
  std::int64_t nowMs;
};

// What the record does: a sample at `time`, the progress (-1: unchanged).
struct Step {
  bool sample;
  double time;
  int progress;
};

struct BurstCase {
  const char* name;
  double startDelay;
  std::vector<Record> records;
  std::vector<Step> steps;
};

const BurstCase kBurstCases[] = {
    {"no delay: the first record is the zero, the next ones are samples",
     0.0,
     {{0.000, 1000}, {0.010, 1010}, {0.020, 1020}},
     {{false, 0, -1}, {true, 0.010, 0}, {true, 0.020, -1}}},
    {"the driver's count need not start at 0",
     0.0,
     {{5.000, 0}, {5.250, 0}, {5.500, 1}},
     {{false, 0, -1}, {true, 0.250, 0}, {true, 0.500, -1}}},
    {"a delay holds records back and moves the zero to the last of them",
     1.0,
     {{0.0, 10000}, {0.25, 10250}, {0.5, 10500}, {0.75, 10750}, {1.0, 11000}, {1.25, 11250}},
     {{false, 0, -1}, {false, 0, 25}, {false, 0, 50}, {false, 0, 75}, {true, 0.25, 0}, {true, 0.5, -1}}},
    {"the delay counts on the clock the records were taken at, not their times",
     2.0,
     {{0.0, 0}, {0.001, 100}, {0.002, 1999}, {0.003, 2000}, {0.004, 2500}},
     {{false, 0, -1}, {false, 0, 5}, {false, 0, 100}, {true, 0.001, 0}, {true, 0.002, -1}}},
    {"a batch taken at once after the delay",
     0.5,
     {{0.0, 0}, {0.1, 600}, {0.2, 600}, {0.3, 600}},
     {{false, 0, -1}, {true, 0.1, 0}, {true, 0.2, -1}, {true, 0.3, -1}}},
    {"a delay rounds to the millisecond", 0.0004, {{0.0, 7}, {0.1, 7}}, {{false, 0, -1}, {true, 0.1, 0}}},
};

class LiveTimelineBurst : public ::testing::TestWithParam<BurstCase> {};

TEST_P(LiveTimelineBurst, Records) {
  const BurstCase& c = GetParam();
  TLiveTimeline t;
  t.StartBurst(c.startDelay);
  ASSERT_EQ(c.records.size(), c.steps.size());
  std::int64_t samples = 0;
  for (std::size_t i = 0; i < c.records.size(); ++i) {
    const TLiveTimeline::TRecordStep step = t.TakeRecord(c.records[i].time, c.records[i].nowMs);
    EXPECT_EQ(step.Sample, c.steps[i].sample) << "record " << i;
    if (step.Sample) {
      EXPECT_NEAR(step.Time, c.steps[i].time, 1e-9) << "record " << i;
    }
    EXPECT_EQ(step.Progress, c.steps[i].progress) << "record " << i;
    samples += step.Sample ? 1 : 0;
  }
  EXPECT_EQ(t.Records(), static_cast<std::int64_t>(c.records.size()));
  EXPECT_EQ(t.Samples(), samples);
}

INSTANTIATE_TEST_SUITE_P(Cases, LiveTimelineBurst, ::testing::ValuesIn(kBurstCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// A new start forgets the previous measurement's zero, delay and counts.
TEST(LiveTimeline, StartsAfresh) {
  TLiveTimeline t;
  t.StartBurst(10.0);
  t.TakeRecord(100.0, 0);
  t.TakeRecord(101.0, 10);
  t.StartBurst(0.0);
  EXPECT_EQ(t.Records(), 0);
  EXPECT_FALSE(t.TakeRecord(3.0, 20).Sample);
  const TLiveTimeline::TRecordStep step = t.TakeRecord(3.5, 20);
  EXPECT_TRUE(step.Sample);
  EXPECT_DOUBLE_EQ(step.Time, 0.5);
  EXPECT_EQ(step.Progress, 0);
}

// Poll mode: the zero is the start; a reading's arrival time gives the
// chart time.
TEST(LiveTimeline, PollTimesCountFromTheStart) {
  const struct {
    double start, reading, time;
  } cases[] = {{1000.0, 1000.0, 0.0}, {1000.0, 1000.5, 0.5}, {12.25, 15.0, 2.75}, {0.0, 3600.0, 3600.0}};
  for (const auto& c : cases) {
    TLiveTimeline t;
    t.StartPoll(c.start);
    EXPECT_DOUBLE_EQ(t.PollTime(c.reading), c.time) << c.start << " " << c.reading;
  }
}

// The cycle is the mean time between the samples of a batch, from the last
// sample of the batch before (the measurement's zero for the first).
TEST(LiveTimeline, CycleBetweenBatches) {
  const struct {
    double time;
    int records;
    double cycle;
  } batches[] = {{0.640, 64, 0.010}, {1.280, 64, 0.010}, {1.300, 1, 0.020}, {1.300, 0, 0.0}, {2.300, 2, 0.5}};
  TLiveTimeline t;
  t.StartBurst(0.0);
  for (const auto& b : batches) EXPECT_NEAR(t.Cycle(b.time, b.records), b.cycle, 1e-12) << b.time;
}

}  // namespace
