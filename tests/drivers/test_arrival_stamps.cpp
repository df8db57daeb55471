// Arrival stamps: batches of received bytes with their arrival times turned
// into byte stamps and, through the Brio burst parser, into record times.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "drivers/arrival_stamps.h"
#include "drivers/brio/brio_burst_parser.h"
#include "platform/clock.h"
#include "transport/ring_buffer.h"

namespace {

struct Batch {
  int count;
  std::int64_t arrival;  // clock counts
};

struct Case {
  const char* name;
  int baudRate;
  std::vector<Batch> batches;
  std::int64_t startCount;
  std::vector<std::int64_t> stamps;  // per byte, clock counts
};

// A one-channel Brio frame stream (AA AA hi lo), value k in frame k.
std::vector<std::uint8_t> Frames(int bytes) {
  std::vector<std::uint8_t> out;
  for (int k = 0; static_cast<int>(out.size()) < bytes; ++k)
    for (std::uint8_t b :
         {std::uint8_t{0xAA}, std::uint8_t{0xAA}, std::uint8_t{0x01}, static_cast<std::uint8_t>(k)})
      out.push_back(b);
  out.resize(static_cast<std::size_t>(bytes));
  return out;
}

class Records : public TBrioBurstParser::Listener {
 public:
  void OnFrame(const TBrioBurstFrame& f) override { times.push_back(f.Time); }
  std::vector<double> times;
};

TEST(ArrivalStamps, BatchesGiveByteStampsAndRecordTimes) {
  constexpr std::int64_t kByteAt9600 = Clock::Frequency() * 10 / 9600;
  const Case cases[] = {
      // The first batch is time zero: all its bytes carry its arrival.
      {"first batch at its arrival",
       ArrivalStamps::kStartAtArrival,
       {{4, 1000}, {4, 1400}, {4, 1800}, {4, 2200}, {4, 2600}},
       1000,
       {1000, 1000, 1000, 1000, 1100, 1200, 1300, 1400, 1500, 1600,
        1700, 1800, 1900, 2000, 2100, 2200, 2300, 2400, 2500, 2600}},
      // The first batch is taken to have started its line time earlier.
      {"first batch back-dated by its line time",
       9600,
       {{2, 10 * kByteAt9600}, {2, 12 * kByteAt9600}},
       8 * kByteAt9600,
       {9 * kByteAt9600, 10 * kByteAt9600, 11 * kByteAt9600, 12 * kByteAt9600}},
      // Steps of 2.5 and 0.5 counts: halves round to even.
      {"halves round to even", ArrivalStamps::kStartAtArrival, {{1, 0}, {2, 5}, {2, 6}}, 0, {0, 2, 5, 5, 6}},
      // A batch stamped before the previous one (a clock read out of order)
      // stays at the previous arrival, and the next batch spreads from there.
      {"never before the previous batch",
       ArrivalStamps::kStartAtArrival,
       {{2, 100}, {2, 300}, {2, 200}, {2, 500}},
       100,
       {100, 100, 200, 300, 300, 300, 400, 500}},
      // One late batch carrying several frames spreads them over its gap.
      {"one batch of many frames",
       ArrivalStamps::kStartAtArrival,
       {{1, 0}, {20, 2000}},
       0,
       {0,    100,  200,  300,  400,  500,  600,  700,  800,  900, 1000,
        1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1900, 2000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int total = 0;
    for (const Batch& b : c.batches) total += b.count;
    const std::vector<std::uint8_t> bytes = Frames(total);

    TRingBuffer ring;
    ring.SetCount(1000);
    bool first = true;
    std::int64_t last = 0;
    int at = 0;
    for (const Batch& b : c.batches) {
      ArrivalStamps::Put(ring, bytes.data() + at, b.count, b.arrival, c.baudRate, first, last);
      at += b.count;
    }
    EXPECT_FALSE(first);
    EXPECT_EQ(ring.StartCount(), c.startCount);
    ASSERT_EQ(c.stamps.size(), static_cast<std::size_t>(total));

    // Record times: a frame is confirmed by the next one's sync, and its
    // time is the stamp of its last data byte.
    std::vector<double> expectedRecords;
    for (std::size_t end = 3; end + 2 < c.stamps.size(); end += 4)
      expectedRecords.push_back(static_cast<double>(c.stamps[end] - c.startCount) / Clock::Frequency());

    std::vector<double> stamps;
    TRingBufferEntry e;
    while (ring.Available() > 0) {
      ring.Get(e);
      stamps.push_back(e.Time);
    }
    ASSERT_EQ(stamps.size(), c.stamps.size());
    for (std::size_t i = 0; i < stamps.size(); ++i)
      EXPECT_DOUBLE_EQ(stamps[i], static_cast<double>(c.stamps[i] - c.startCount) / Clock::Frequency())
          << "byte " << i;

    // The same batches through the one-channel parser.
    TRingBuffer parsed;
    parsed.SetCount(1000);
    first = true;
    last = 0;
    at = 0;
    TBrioBurstParser parser;
    parser.SetChannelCount(1);
    Records records;
    for (const Batch& b : c.batches) {
      ArrivalStamps::Put(parsed, bytes.data() + at, b.count, b.arrival, c.baudRate, first, last);
      at += b.count;
    }
    while (parser.Pass(parsed, records) > 0) {
    }
    // The parser keeps the last frames until four frames' worth wait.
    ASSERT_LE(records.times.size(), expectedRecords.size());
    for (std::size_t i = 0; i < records.times.size(); ++i)
      EXPECT_DOUBLE_EQ(records.times[i], expectedRecords[i]) << "record " << i;
  }
}

TEST(ArrivalStamps, EmptyBatchChangesNothing) {
  TRingBuffer ring;
  ring.SetCount(10);
  bool first = true;
  std::int64_t last = 7;
  ArrivalStamps::Put(ring, nullptr, 0, 100, ArrivalStamps::kStartAtArrival, first, last);
  EXPECT_TRUE(first);
  EXPECT_EQ(last, 7);
  EXPECT_EQ(ring.Available(), 0u);
}

}  // namespace
