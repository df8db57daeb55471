// Raw burst words of the single-colour family into the current values.

#include <gtest/gtest.h>

#include "measurement/channel_conversion.h"

namespace {

using ChannelConversion::TArgoBurstLayout;
namespace CV = ChannelValues;

struct BurstCase {
  const char* name;
  std::array<std::uint16_t, 8> slots;
  TArgoBurstLayout layout;
  bool objectPercent;
  TChannelValues expected;
};

// Expected values per channel: TObj, TInt, TBox, TAct, T2C, T1C, Tau, Eps, mVin, Vcc, TAmb.
const BurstCase kBurstCases[] = {
    {"single colour",
     {1250, 1200, 1300, 2000, 77, 77, 77, 77},
     TArgoBurstLayout::Standard,
     false,
     {25.0f, 20.0f, 30.0f, 100.0f, 0, 0, 0, 0, 0, 0, 0}},
    {"single colour ignores the percent mode",
     {1250, 1200, 1300, 2000},
     TArgoBurstLayout::Standard,
     true,
     {25.0f, 20.0f, 30.0f, 100.0f, 0, 0, 0, 0, 0, 0, 0}},
    {"ratio as temperatures",
     {11000, 9000, 1300, 1955, 8000},
     TArgoBurstLayout::Ratio,
     false,
     {1000.0f, 0, 30.0f, 95.5f, 800.0f, 700.0f, 95.5f, 0, 0, 0, 0}},
    {"ratio object as percentage",
     {1955, 9000, 1300, 1800, 8000},
     TArgoBurstLayout::Ratio,
     true,
     {95.5f, 0, 30.0f, 80.0f, 800.0f, 700.0f, 80.0f, 0, 0, 0, 0}},
    {"ratio percentage at the ends of the word",
     {0, 1000, 1000, 65535, 1000},
     TArgoBurstLayout::Ratio,
     true,
     {-100.0f, 0, 0, 6453.5f, 0, 0, 6453.5f, 0, 0, 0, 0}},
    {"fast bursts carry object and actual",
     {1250, 2000, 9999, 9999},
     TArgoBurstLayout::Fast,
     false,
     {25.0f, 0, 0, 100.0f, 0, 0, 0, 0, 0, 0, 0}},
};

TEST(ChannelConversionTest, BurstRecordsGiveTheChannelValues) {
  for (const BurstCase& c : kBurstCases) {
    SCOPED_TRACE(c.name);
    const TChannelValues v = ChannelConversion::ConvertArgoBurstRecord(c.slots, c.layout, c.objectPercent);
    for (std::size_t ch = 0; ch < CV::kCount; ++ch)
      EXPECT_NEAR(v[ch], c.expected[ch], 1e-3) << "channel " << ch;
  }
}

TEST(ChannelConversionTest, OnlyTheRatioModelInDisplayMode2ShowsAPercentage) {
  struct Case {
    int family;
    std::uint8_t mode;
    bool percent;
  };
  const Case cases[] = {{2, 2, true},  {2, 0, false}, {2, 1, false}, {2, 3, false},
                        {2, 4, false}, {1, 2, false}, {5, 2, false}, {0, 2, false}};
  for (const Case& c : cases)
    EXPECT_EQ(ChannelConversion::ObjectIsPercent(c.family, c.mode), c.percent)
        << "family " << c.family << " mode " << int(c.mode);
}

}  // namespace
