// The Brio emulators started with chosen flash contents (the configuration
// segment, calibration words, the output range) from code and from the
// command line, the flash shown after the loader wrote it, and the RAM
// cells of loop maintenance as a host sets them on the wire.

#include <gtest/gtest.h>

#include "test_brio_fixture.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_wire.h"
#include "tools/devsim/model_registry.h"

namespace {

using namespace BrioTest;

std::uint16_t WordAt(const Bytes& block, int offset) {
  return std::uint16_t(block.at(std::size_t(offset)) | block.at(std::size_t(offset) + 1) << 8);
}

std::array<std::uint8_t, 128> Counting() {
  std::array<std::uint8_t, 128> block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = std::uint8_t(0xA0 ^ i);
  return block;
}

TEST(BrioSeededBlocks, ProfileSettersReachFlashAndTheWire) {
  BrioProfile p = BrioProfiles::Default(1);
  const auto block = Counting();
  BrioProfiles::SetConfiguration(p, block);
  BrioProfiles::SetOutputRange(p, 0.0, 350.0);
  ASSERT_TRUE(BrioProfiles::SetCalibrationWord(p, BrioWire::kGen1ConverterSpan, 3276));
  ASSERT_TRUE(BrioProfiles::SetCalibrationWord(p, BrioWire::kGen1ConverterZero, std::uint16_t(-12)));
  EXPECT_FALSE(BrioProfiles::SetCalibrationWord(p, 0x10FF, 1));
  EXPECT_FALSE(BrioProfiles::SetCalibrationWord(p, 0x107E, 1));
  EXPECT_FALSE(BrioProfiles::SetConfigurationWord(p, 127, 1));
  // The block starts with the emissivity and the transmission: the serial
  // number stays in the calibration segment.
  EXPECT_EQ(p.serial, 11000u);

  Bench<BrioGen1Model> d(p);
  d.PowerOn();
  const Bytes config = d.model.Configuration();
  ASSERT_EQ(config.size(), 128u);
  for (int i = 0; i < 118; ++i) EXPECT_EQ(config[std::size_t(i)], block[std::size_t(i)]) << i;
  EXPECT_EQ(d.model.OutputRangeLowWord(), 1000);
  EXPECT_EQ(d.model.OutputRangeHighWord(), 4500);
  EXPECT_EQ(WordAt(d.model.Calibration(), BrioWire::kGen1ConverterSpan - 0x1080), 3276);
  // On the wire as the device holds them (word reads answer high byte first).
  EXPECT_EQ(d.AskAndWait({0x3E, 0x10, 0x76}, 2ms), (Bytes{0x03, 0xE8}));
  EXPECT_EQ(d.AskAndWait({0x3E, 0x10, 0xD2}, 2ms), (Bytes{0xFF, 0xF4}));
  EXPECT_EQ(d.AskAndWait({0x3C, 0x10, 0x00}, 2ms), Bytes{0xA0});
  EXPECT_EQ(d.AskAndWait({0x3C, 0x10, 0x84}, 2ms), Bytes{0xF8});
}

TEST(BrioSeededBlocks, LoopMaintenanceCellsAsTheHostSetsThem) {
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  EXPECT_EQ(d.model.OperatingMode(), BrioWire::kModeNormal);
  EXPECT_EQ(d.model.LoopStartByte(), 0x00);
  d.AskAndWait({0x3D, 0x02, 0x61, 0x90}, 2ms);
  d.AskAndWait({0x3D, 0x02, 0x64, 0x02}, 2ms);
  d.AskAndWait({0x3A, 0x02, 0x12, 0x0A, 0xBE}, 2ms);
  EXPECT_EQ(d.model.OperatingMode(), BrioWire::kModeLoop);
  EXPECT_EQ(d.model.LoopStartByte(), 0x02);
  EXPECT_EQ(d.model.LoopOutputWord(), 0x0ABE);
  d.AskAndWait({0x3D, 0x02, 0x61, 0x80}, 2ms);
  EXPECT_EQ(d.model.OperatingMode(), BrioWire::kModeNormal);
  // A power cycle starts the firmware afresh.
  d.PowerOff();
  d.PowerOn();
  EXPECT_EQ(d.model.LoopStartByte(), 0x00);
  EXPECT_EQ(d.model.LoopOutputWord(), BrioWire::EncodeTemperature(0.0));
}

TEST(BrioSeededBlocks, LoaderWrittenConfigurationIsShown) {
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  d.EnterLoader();
  ASSERT_EQ(d.Password(), Bytes{BrioWire::Loader::kAck});
  ASSERT_EQ(d.Erase(0x1000), Bytes{BrioWire::Loader::kAck});
  ASSERT_EQ(d.Erase(0x1040), Bytes{BrioWire::Loader::kAck});
  const auto block = Counting();
  ASSERT_EQ(d.Program(0x1000, Bytes(block.begin(), block.end())), Bytes{BrioWire::Loader::kAck});
  EXPECT_EQ(d.model.Configuration(), Bytes(block.begin(), block.end()));
}

TEST(BrioSeededBlocks, CommandLineOptions) {
  RegisterBrioGen1Model();
  RegisterBrioGen2Model();
  QString hex;
  for (const std::uint8_t b : Counting()) hex += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
  QString error;
  auto m = ModelRegistry::Create(
      QStringLiteral("brio"),
      {QStringLiteral("--config"), hex, QStringLiteral("--serial=11000"),
       QStringLiteral("--output-range=-30,1000"), QStringLiteral("--cal-w"), QStringLiteral("3300"),
       QStringLiteral("--cal-s=-40"), QStringLiteral("--variant=1"),
       QStringLiteral("--input-scaling1=0x1234"), QStringLiteral("--input-scaling2=0x5678"),
       QStringLiteral("--config-word=44=0x0102"), QStringLiteral("--cal-word=0x10F0=0xBEEF")},
      &error);
  ASSERT_TRUE(m) << error.toStdString();
  auto* g1 = dynamic_cast<BrioGen1Model*>(m.get());
  ASSERT_NE(g1, nullptr);
  const Bytes config = g1->Configuration();
  const Bytes cal = g1->Calibration();
  EXPECT_EQ(config[3], 0xA3);
  // The serial goes to the calibration segment; the block keeps its bytes.
  EXPECT_EQ(g1->ReadMemory(0x1000, 3), (Bytes{0xA0, 0xA1, 0xA2}));
  EXPECT_EQ(g1->ReadMemory(0x1082, 3), (Bytes{0x00, 0x2A, 0xF8}));
  EXPECT_EQ(WordAt(config, 118), 700);
  EXPECT_EQ(WordAt(config, 120), 11000);
  EXPECT_EQ(WordAt(config, 44), 0x0102);
  EXPECT_EQ(WordAt(cal, 0x50), 3300);
  EXPECT_EQ(WordAt(cal, 0x52), std::uint16_t(-40));
  EXPECT_EQ(WordAt(cal, 0x56), 1);
  EXPECT_EQ(WordAt(cal, 0x4C), 0x1234);
  EXPECT_EQ(WordAt(cal, 0x3E), 0x5678);
  EXPECT_EQ(WordAt(cal, 0x70), 0xBEEF);

  struct Bad {
    const char* model;
    QStringList options;
  };
  for (const Bad& b :
       {Bad{"brio", {QStringLiteral("--config"), QStringLiteral("00ff")}},
        Bad{"brio", {QStringLiteral("--config"), hex.left(254) + QStringLiteral("zz")}},
        Bad{"brio", {QStringLiteral("--config-word=127=1")}},
        Bad{"brio", {QStringLiteral("--cal-word=0x1000=1")}}, Bad{"brio", {QStringLiteral("--cal-s=40000")}},
        Bad{"brio", {QStringLiteral("--output-range=10")}},
        Bad{"brio", {QStringLiteral("--output-range=-200,10")}},
        Bad{"brio2", {QStringLiteral("--cal-w=3300")}},
        Bad{"brio2", {QStringLiteral("--output-range=0,350")}}}) {
    SCOPED_TRACE(b.options.join(QLatin1Char(' ')).toStdString());
    error.clear();
    EXPECT_FALSE(ModelRegistry::Create(QString::fromLatin1(b.model), b.options, &error));
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(BrioSeededBlocks, SecondGenerationLoopCurrentStaysVisible) {
  Bench<BrioGen2Model> d(*BrioProfiles::Find(2, QStringLiteral("brio-2w")));
  d.PowerOn();
  EXPECT_EQ(d.model.LoopOutput(), -1);
  EXPECT_EQ(d.AskAndWait({0x81, 0x78}, 5ms).size(), 1u);
  EXPECT_EQ(d.model.LoopOutput(), 120);
  EXPECT_EQ(d.AskAndWait({0x82}, 5ms).size(), 1u);
  EXPECT_EQ(d.model.LoopOutput(), -1);
}

}  // namespace
