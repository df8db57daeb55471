// Byte-level rules of the single-colour protocol and the burst frame parser.

#include <gtest/gtest.h>

#include <QByteArray>
#include <vector>

#include "drivers/argo/argo_burst_parser.h"
#include "drivers/argo/argo_codec.h"
#include "platform/clock.h"
#include "transport/ring_buffer.h"

namespace {

QByteArray B(std::initializer_list<int> v) {
  QByteArray b;
  for (int x : v) b.append(static_cast<char>(x));
  return b;
}

TEST(ArgoCodec, FramingChecksumExceptionsAndPrefix) {
  struct Case {
    QByteArray request;
    int address;
    QByteArray framed;
  };
  const Case cases[] = {
      {B({0x84, 0x03, 0xE8}), 0, B({0x84, 0x03, 0xE8, 0x6F})},
      {B({0x4A, 0xFF}), 0, B({0x4A, 0xFF, 0xB5})},
      {B({0x45, 0x00}), 0, B({0x45, 0x00})},
      {B({0x23, 0x2B}), 0, B({0x23, 0x2B})},
      {B({0x81, 0x05}), 0, B({0x81, 0x05})},
      {B({0x8F}), 0, B({0x8F})},
      {B({0x62}), 0, B({0x62})},
      {B({0x52, 0x01}), 0, B({0x52, 0x01, 0x53})},
      {B({0x01}), 5, B({0xB5, 0x01})},
      {B({0x84, 0x04, 0x4C}), 1, B({0xB1, 0x84, 0x04, 0x4C, 0xCC})},
      {B({0x01}), 79, B({0xFF, 0x01})},
      {B({0x01}), 80, B({0x01})},
      {B({0x01}), -3, B({0x01})},
      {QByteArray(), 5, QByteArray()},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArgoCodec::FrameRequest(c.request, c.address), c.framed) << c.request.toHex().constData();
}

TEST(ArgoCodec, TimeWords) {
  TArgoModelInfo plain, ms, hundredths;
  ms.Time_in_ms = true;
  hundredths.FWrev = 5002;
  struct Case {
    const TArgoModelInfo* model;
    float seconds;
    std::uint16_t word;
  };
  const Case encode[] = {
      {&ms, 0.05f, 0x8032},    {&ms, 999.9f, 9999},           {&plain, 999.9f, 9999},    {&plain, 0.04f, 0},
      {&plain, 0.06f, 0x8001}, {&hundredths, 327.67f, 32767}, {&hundredths, 1.25f, 125}, {&ms, 0.0f, 0},
  };
  for (const Case& c : encode)
    EXPECT_EQ(ArgoCodec::EncodeTimeValue(c.seconds, *c.model), c.word) << c.seconds;
  EXPECT_FLOAT_EQ(ArgoCodec::DecodeTimeValue(0x8032, ms), 0.05f);
  EXPECT_FLOAT_EQ(ArgoCodec::DecodeTimeValue(9999, plain), 999.9f);
  EXPECT_FLOAT_EQ(ArgoCodec::DecodeTimeValue(125, hundredths), 1.25f);
  EXPECT_FLOAT_EQ(ArgoCodec::DecodeTimeValue(0x8001, plain), 0.1f);
  EXPECT_FLOAT_EQ(ArgoCodec::MaxTimeValue(hundredths), 327.67f);
}

TEST(ArgoCodec, EncodingsRefuseWhatTheWordCannotCarry) {
  std::uint16_t w = 0;
  EXPECT_TRUE(ArgoCodec::EncodeT(-50.0f, w));
  EXPECT_EQ(w, 500);
  EXPECT_TRUE(ArgoCodec::EncodeT(-100.0f, w));
  EXPECT_FALSE(ArgoCodec::EncodeT(-150.0f, w));
  EXPECT_FALSE(ArgoCodec::EncodeH(6553.6f, w));
  EXPECT_FALSE(ArgoCodec::EncodeG(1.99999f, w));
  EXPECT_FALSE(ArgoCodec::EncodeM(std::nanf(""), w));
  EXPECT_TRUE(ArgoCodec::EncodeM(1.1f, w));
  EXPECT_EQ(w, 1100);
}

TEST(ArgoCodec, HeadCodes) {
  std::uint32_t v = 0;
  EXPECT_TRUE(ArgoCodec::ParseHeadCodeGroup(QStringLiteral("0G0V"), v));
  EXPECT_EQ(v, 16415u);
  EXPECT_TRUE(ArgoCodec::ParseHeadCodeGroup(QStringLiteral("0g0V"), v));
  EXPECT_EQ(v, 16415u);
  EXPECT_TRUE(ArgoCodec::ParseHeadCodeGroup(QStringLiteral("0-G 0V"), v));
  EXPECT_EQ(v, 16415u);
  EXPECT_FALSE(ArgoCodec::ParseHeadCodeGroup(QStringLiteral("10G0V"), v));
  EXPECT_EQ(ArgoCodec::HeadCodeGroupText(16415), QStringLiteral("0G0V"));
  EXPECT_EQ(ArgoCodec::HeadCodeGroupText(0xFFFFFF), QStringLiteral("VVVV"));
  const auto s = ArgoCodec::SplitHeadCodeShort({0xFFFFF, 0x00003, 0x00001});
  EXPECT_EQ(s[0], 15u);
  EXPECT_EQ(s[3], 0x7FFu);
  EXPECT_EQ(s[7], 16u);
  const auto l = ArgoCodec::SplitHeadCodeLarge({0x00001, 0xF0000, 0x0000F, 0, 0xFFFFF});
  EXPECT_EQ(l[0], 1u);
  EXPECT_EQ(l[5], 0xFFu);
  EXPECT_EQ(l[11], 0x7FFu);
  EXPECT_EQ(l[12], 0xFFu);
}

TEST(ArgoCodec, AlarmModesAndBurstSlots) {
  for (int p = 0; p < 256; ++p) {
    const TArgoAlarmMode m = ArgoCodec::UnpackAlarmMode(static_cast<std::uint8_t>(p));
    if (m.Source != 3 || (p & 0xE0) == 0) {
      EXPECT_EQ(ArgoCodec::UnpackAlarmMode(ArgoCodec::PackAlarmMode(m)), m);
    }
  }
  EXPECT_EQ(ArgoCodec::PackAlarmMode({2, 1, 0, 5}), 0x85);
  const std::array<std::uint8_t, 8> slots{1, 2, 0, 5, 0, 0, 0, 0};
  EXPECT_EQ(ArgoCodec::BurstChannelCount(slots), 2);
  EXPECT_EQ(ArgoCodec::PackBurstSlots(slots), (std::array<std::uint8_t, 4>{0x12, 0x05, 0, 0}));
  EXPECT_EQ(ArgoCodec::UnpackBurstSlots(ArgoCodec::PackBurstSlots(slots)), slots);
}

TEST(ArgoCodec, ModelInfo) {
  TArgoModelInfo info;
  info.FWrev = 2510;
  const std::uint8_t reply[6] = {4, 0x87, 0x11, 0x94, 0x52, 0x08};
  ArgoCodec::DecodeModelInfo(reply, info);
  EXPECT_EQ(info.ModelType, 6);
  EXPECT_EQ(info.ModelRange, 2);
  EXPECT_TRUE(info.Laser);
  EXPECT_EQ(info.HeadCodeSize, 2);
  EXPECT_TRUE(info.Time_in_ms);
  EXPECT_FALSE(info.Time_in_10ms);
  EXPECT_TRUE(info.AlHysteresis);
  EXPECT_FLOAT_EQ(info.LoRangeTemp, 350.0f);
  EXPECT_FLOAT_EQ(info.HiRangeTemp, 2000.0f);
  EXPECT_EQ(info.FWrev, 2510);
  EXPECT_TRUE(info.ModelStr.startsWith(QStringLiteral("Laser-")));
}

// --- Burst frame parser -------------------------------------------------------------

class Collect : public ArgoBurstParser::Listener {
 public:
  void OnFrame(const TArgoBurstRecord& r) override { records.push_back(r); }
  void OnBadFrame() override { ++bad; }
  std::vector<TArgoBurstRecord> records;
  int bad = 0;
};

struct ParserCase {
  const char* name;
  int channels;
  std::vector<int> stream;
  std::vector<std::vector<std::uint16_t>> values;  // records expected, first values only
  int bad;
};

TEST(ArgoBurstParser, CutsFramesAtTheirSyncBytes) {
  const ParserCase cases[] = {
      {"plain",
       2,
       {0xAA, 0xAA, 1, 2, 3, 4, 0xAA, 0xAA, 5, 6, 7, 8, 0xAA, 0xAA, 9, 9, 9, 9},
       {{0x0102, 0x0304}, {0x0506, 0x0708}},
       0},
      {"third sync byte",
       2,
       {0xAA, 0xAA, 0xAA, 1, 2, 3, 4, 0xAA, 0xAA, 0xAA, 5, 6, 7, 8, 0xAA, 0xAA, 0xAA, 9, 9, 9, 9},
       {{0x0102, 0x0304}, {0x0506, 0x0708}},
       0},
      {"garbage first",
       2,
       {7, 0xAA, 3, 0xAA, 0xAA, 1, 2, 3, 4, 0xAA, 0xAA, 5, 6, 7, 8, 0xAA, 0xAA},
       {{0x0102, 0x0304}},
       0},
      {"next sync one byte late",
       2,
       {0xAA, 0xAA, 1, 2, 3, 4, 0, 0xAA, 0xAA, 5, 6, 7, 8, 0xAA, 0xAA, 1, 1, 1, 1, 0xAA, 0xAA, 2, 2, 2, 2},
       {{0x0506, 0x0708}, {0x0101, 0x0101}},
       1},
      {"last data byte 0xAA",
       2,
       {0xAA, 0xAA, 1, 2, 3, 0xAA, 0xAA, 0xAA, 5, 6, 7, 8, 0xAA, 0xAA, 0, 0, 0, 0},
       {{0x0102, 0x03AA}, {0x0506, 0x0708}},
       0},
      {"one channel",
       1,
       {0xAA, 0xAA, 1, 2, 0xAA, 0xAA, 3, 4, 0xAA, 0xAA, 5, 6, 0xAA, 0xAA, 7, 8},
       {{0x0102}, {0x0304}, {0x0506}},
       0},
  };
  for (const ParserCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Fed in every chunk size, so frames split across passes as they may.
    for (std::size_t chunk = 1; chunk <= c.stream.size(); ++chunk) {
      TRingBuffer ring;
      ring.SetCount(5000);
      ArgoBurstParser parser;
      parser.SetChannelCount(c.channels);
      Collect out;
      for (std::size_t i = 0; i < c.stream.size(); i += chunk) {
        for (std::size_t k = i; k < i + chunk && k < c.stream.size(); ++k)
          ring.Put(static_cast<std::uint8_t>(c.stream[k]), static_cast<std::int64_t>(k) * 1000000);
        parser.Pass(ring, out);
      }
      parser.Pass(ring, out);
      ASSERT_EQ(out.records.size(), c.values.size()) << "chunk " << chunk;
      for (std::size_t r = 0; r < c.values.size(); ++r)
        for (std::size_t k = 0; k < c.values[r].size(); ++k)
          EXPECT_EQ(out.records[r].Values[k], c.values[r][k]);
      for (const auto& r : out.records)
        for (std::size_t k = static_cast<std::size_t>(c.channels); k < 8; ++k) EXPECT_EQ(r.Values[k], 0);
      EXPECT_EQ(out.bad, c.bad);
    }
  }
}

TEST(ArgoBurstParser, EndsAfterTicksWithoutDataOrSync) {
  TRingBuffer ring;
  ring.SetCount(5000);
  ArgoBurstParser parser;
  parser.SetChannelCount(2);
  Collect out;
  for (int tick = 1; tick < ArgoBurstParser::kNoDataTicks; ++tick)
    EXPECT_EQ(parser.Pass(ring, out), ArgoBurstParser::PassResult::Waiting);
  EXPECT_EQ(parser.Pass(ring, out), ArgoBurstParser::PassResult::EndNoData);

  parser.Reset();
  ArgoBurstParser::PassResult result = ArgoBurstParser::PassResult::Parsed;
  int passes = 0;
  while (result != ArgoBurstParser::PassResult::EndNoSync && passes < 100) {
    for (int i = 0; i < 20; ++i) ring.Put(0x55, 0);
    result = parser.Pass(ring, out);
    ++passes;
  }
  EXPECT_EQ(result, ArgoBurstParser::PassResult::EndNoSync);
  EXPECT_EQ(passes, ArgoBurstParser::kNoSyncPasses + 1);
  EXPECT_TRUE(out.records.empty());
}

}  // namespace
