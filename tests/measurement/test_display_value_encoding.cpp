// The value word handed to the external displays: raw number in bits 0-15,
// flags in bits 16-23, and no number at all for a channel without a value.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "measurement/display_value_encoding.h"

namespace {

struct EncodeCase {
  const char* name;
  int kind;
  float value;
  TDisplayValueContext context;
  bool hasValue;
  std::uint32_t wParam;
};

constexpr TDisplayValueContext kCelsius{false, false, false};
constexpr TDisplayValueContext kFahrenheit{true, false, false};
constexpr TDisplayValueContext kHighRes{false, true, false};
constexpr TDisplayValueContext kHighResF{true, true, false};
constexpr TDisplayValueContext kPercentObject{true, false, true};

const EncodeCase kCases[] = {
    // Valid values, exactly as the displays expect them.
    {"object 25 C", 1, 25.0f, kCelsius, true, 1250},
    {"object 25 C shown in F", 1, 25.0f, kFahrenheit, true, 0x204E2},
    {"object high resolution", 1, 25.0f, kHighRes, true, 0x130D4},
    {"internal high resolution in F", 2, 25.0f, kHighResF, true, 0x330D4},
    {"ambient high resolution", 10, 21.37f, kHighRes, true, 0x10000 | 12137},
    {"box keeps one decimal at high resolution", 4, 25.0f, kHighResF, true, 0x204E2},
    {"single colour value in F", 5, 800.0f, kFahrenheit, true, 0x20000 | 9000},
    {"quotient value", 6, 1234.5f, kCelsius, true, 13345},
    {"attenuation is percent, never F", 7, 95.5f, kFahrenheit, true, 1050531},
    {"mV input in V", 8, 123.45f, kCelsius, true, 536633},
    {"supply voltage in V", 9, 24.0f, kFahrenheit, true, 0x80000 | 2400},
    {"emissivity", 11, 95.0f, kCelsius, true, 2098102},
    {"ratio object as percentage", 1, 95.5f, kPercentObject, true, 1050531},
    {"high resolution at its top", 1, 555.35f, kHighRes, true, 0x1FFFF},
    // Values that do not fit the word stay out of the flags.
    {"high resolution above 555.35 C goes with one decimal", 1, 600.0f, kHighRes, true, 7000},
    {"same in F", 3, 1200.0f, kHighResF, true, 0x20000 | 13000},
    {"below -100 C is clamped to the bottom", 1, -150.0f, kCelsius, true, 0},
    {"below -100 C in F keeps only its flag", 2, -150.0f, kHighResF, true, 0x20000},
    {"far above the word is clamped to its top", 4, 7000.0f, kFahrenheit, true, 0x2FFFF},
    {"negative voltage", 9, -1.0f, kCelsius, true, 0x80000},
    {"-50 C", 2, -50.0f, kCelsius, true, 500},
    // No value: nothing is sent as a number.
    {"box the device does not have", 4, 32768.0f, kFahrenheit, false, 0},
    {"high resolution box marker", 1, 32768.0f, kHighRes, false, 0},
    {"reader failure value", 2, -9999.0f, kCelsius, false, 0},
    {"not a number", 1, std::numeric_limits<float>::quiet_NaN(), kCelsius, false, 0},
    {"infinite", 7, std::numeric_limits<float>::infinity(), kCelsius, false, 0},
    {"unknown kind 0", 0, 25.0f, kCelsius, false, 0},
    {"unknown kind 12", 12, 25.0f, kCelsius, false, 0},
};

TEST(DisplayValueEncodingTest, EncodesEveryKind) {
  for (const EncodeCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const TDisplayValueMessage m = DisplayValueEncoding::Encode(c.kind, c.value, c.context);
    EXPECT_EQ(m.HasValue, c.hasValue);
    EXPECT_EQ(m.WParam, c.wParam) << std::hex << m.WParam << " expected " << c.wParam;
    // Nothing ever reaches above the flag byte.
    EXPECT_EQ(m.WParam >> 24, 0u);
  }
}

TEST(DisplayValueEncodingTest, PackClampsTheRawNumberBeforeTheFlags) {
  struct Case {
    double raw;
    std::uint8_t flags;
    std::uint32_t wParam;
  };
  const Case cases[] = {{1250.0, 0x00, 1250},         {65535.0, 0x01, 0x1FFFF}, {65536.0, 0x01, 0x1FFFF},
                        {328680.0, 0x00, 0xFFFF},     {-1.0, 0x10, 0x100000},   {-99990.0, 0x3F, 0x3F0000},
                        {std::nan(""), 0x02, 0x20000}};
  for (const Case& c : cases) EXPECT_EQ(DisplayValueEncoding::Pack(c.raw, c.flags), c.wParam) << c.raw;
}

TEST(DisplayValueEncodingTest, RawAndFlagsReadBack) {
  const TDisplayValueMessage m = DisplayValueEncoding::Encode(1, 25.0f, kHighResF);
  EXPECT_EQ(m.Raw(), 12500);
  EXPECT_EQ(m.Flags(), DisplayValueFlags::TwoDecimals | DisplayValueFlags::Fahrenheit);
}

}  // namespace
