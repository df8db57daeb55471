#include <gtest/gtest.h>

#include "test_brio_fixture.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_memory.h"

namespace {

using namespace BrioTest;
using namespace BrioWire::Loader;

constexpr std::uint8_t kAck = 0x90;
constexpr std::uint8_t kNakByte = 0xA0;

// Checksums of frames as the published loader expects them.
TEST(BrioLoaderWire, FrameChecksums) {
  struct Case {
    Bytes frame;
    std::uint8_t low, high;
  };
  const Bytes zeros32(32, 0x00);
  const Bytes ones32(32, 0xFF);
  const Bytes zeros128(128, 0x00);
  const std::vector<Case> cases = {
      {BuildFrame(kReceivePassword, 0xFFE0, 32, zeros32), 0x9B, 0x34},
      {BuildFrame(kReceivePassword, 0xFFE0, 32, ones32), 0x9B, 0x34},
      {BuildFrame(kErase, 0x1000, kEraseSegmentArgument), 0x79, 0x58},
      {BuildFrame(kErase, 0x1040, kEraseSegmentArgument), 0x39, 0x58},
      {BuildFrame(kErase, 0x1080, kEraseSegmentArgument), 0xF9, 0x58},
      {BuildFrame(kErase, 0xC000, kEraseSegmentArgument), 0x79, 0x88},
      {BuildFrame(kErase, 0xFE00, kEraseSegmentArgument), 0x79, 0xB6},
      {BuildFrame(kRead, 0xC100, 128), 0xFB, 0x2E},
      {BuildFrame(kRead, 0xC180, 128), 0x7B, 0x2E},
      {BuildFrame(kProgram, 0x1000, 128, zeros128), 0x7B, 0x79},
      {BuildFrame(kLoadProgramCounter, 0xF800, 0), 0x7B, 0x19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(Bytes(c.frame.begin(), c.frame.begin() + 8)));
    ASSERT_GE(c.frame.size(), 10u);
    EXPECT_EQ(c.frame[c.frame.size() - 2], c.low);
    EXPECT_EQ(c.frame.back(), c.high);
  }
  // The program frame carries L1 = L2 = n + 4.
  const Bytes program = BuildFrame(kProgram, 0x1000, 128, zeros128);
  EXPECT_EQ(program[2], 0x84);
  EXPECT_EQ(program[3], 0x84);
  EXPECT_EQ(program.size(), 8u + 128u + 2u);
}

TEST(BrioMemory, FlashErasesBySegmentAndProgrammingAndsBits) {
  struct Case {
    int infoSegment;
    std::uint16_t erase;
    std::uint16_t first, last;  // what the erase covers
  };
  for (const Case c : {Case{64, 0x1010, 0x1000, 0x103F}, Case{64, 0x10C5, 0x10C0, 0x10FF},
                       Case{128, 0x1010, 0x1000, 0x107F}, Case{128, 0x10FF, 0x1080, 0x10FF},
                       Case{64, 0xC1FF, 0xC000, 0xC1FF}, Case{128, 0xFFE0, 0xFE00, 0xFFFF}}) {
    SCOPED_TRACE(testing::Message() << c.infoSegment << " " << std::hex << c.erase);
    BrioMemory m(c.infoSegment);
    const Bytes zeros(0x10000 - 0x1000, 0x00);
    m.Load(0x1000, zeros);
    ASSERT_TRUE(m.EraseSegment(c.erase));
    for (std::uint32_t a = 0x1000; a <= 0xFFFF; ++a) {
      const bool inside = a >= c.first && a <= c.last;
      if (m.Byte(std::uint16_t(a)) != (inside ? 0xFF : 0x00)) FAIL() << "address " << std::hex << a;
    }
  }
  BrioMemory m(128);
  EXPECT_FALSE(m.EraseSegment(0x0200));  // RAM
  EXPECT_FALSE(m.EraseSegment(0x2000));  // nothing there
  m.EraseSegment(0x1000);
  EXPECT_TRUE(m.Program(0x1000, 0xF0));
  EXPECT_TRUE(m.Program(0x1000, 0x3C));
  EXPECT_EQ(m.Byte(0x1000), 0x30);  // 0xFF & 0xF0 & 0x3C
  EXPECT_TRUE(m.Program(0x0300, 0x12));
  EXPECT_TRUE(m.Program(0x0300, 0x34));
  EXPECT_EQ(m.Byte(0x0300), 0x34);  // RAM takes the byte
  EXPECT_FALSE(m.Program(0x2000, 0x00));
  // The firmware cannot store into flash.
  EXPECT_FALSE(m.Store(0x1001, 0x00));
  EXPECT_EQ(m.Byte(0x1001), 0xFF);
}

// A second-generation device: into the loader, the password, then the
// three blocks of the writers; flash checked afterwards.
TEST(BrioLoader, WritesConfigurationCalibrationAndExtendedBlocks) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  const Bytes vectors = d.model.ReadMemory(0xFFE0, 32);
  const Bytes upperBefore = d.model.ReadMemory(0xC100, 256);
  const Bytes config = Pattern(128, 0x10);
  const Bytes calibration = Pattern(128, 0x20);
  const Bytes extended = Pattern(256, 0x30);

  EXPECT_TRUE(d.Ask(Bytes(std::begin(kEnterLoader), std::end(kEnterLoader))).empty());
  EXPECT_EQ(d.model.CurrentMode(), BrioDeviceModel::Mode::Loader);
  // Still at no parity: the loader hears noise.
  const auto lost = d.model.LostBytes();
  EXPECT_TRUE(d.AskAndWait({kSync}).empty());
  EXPECT_EQ(d.model.LostBytes(), lost + 1);
  d.SetParity(Parity::Even);
  EXPECT_EQ(d.AskAndWait({kSync}), Bytes{kAck});
  EXPECT_EQ(d.AskAndWait({kSync}), Bytes{kAck});  // SYNC again before every operation

  EXPECT_EQ(d.Erase(0x1000), Bytes{kNakByte}) << "no password yet";
  EXPECT_EQ(d.Password(), Bytes{kAck});
  EXPECT_TRUE(d.model.PasswordAccepted());

  EXPECT_EQ(d.Erase(0x1000), Bytes{kAck});
  EXPECT_EQ(d.Program(0x1000, config), Bytes{kAck});
  EXPECT_EQ(d.Erase(0x1080), Bytes{kAck});
  EXPECT_EQ(d.Program(0x1080, calibration), Bytes{kAck});

  // The extended block: read back what the program does not own, erase
  // 0xC000 twice, program 512 bytes in three frames.
  const Bytes r1 = d.Read(0xC100, 128);
  const Bytes r2 = d.Read(0xC180, 128);
  ASSERT_EQ(r1.size(), 128u + 6u);
  EXPECT_EQ(Bytes(r1.begin(), r1.begin() + 4), (Bytes{0x80, 0x00, 0x80, 0x80}));
  EXPECT_EQ(r1, BuildReadReply(Bytes(upperBefore.begin(), upperBefore.begin() + 128)));
  Bytes segment = extended;
  segment.insert(segment.end(), r1.begin() + 4, r1.begin() + 4 + 128);
  segment.insert(segment.end(), r2.begin() + 4, r2.begin() + 4 + 128);
  ASSERT_EQ(segment.size(), 512u);
  EXPECT_EQ(d.Erase(0xC000), Bytes{kAck});
  EXPECT_EQ(d.Erase(0xC000), Bytes{kAck});
  EXPECT_EQ(d.Program(0xC000, Bytes(segment.begin(), segment.begin() + 200)), Bytes{kAck});
  EXPECT_EQ(d.Program(0xC0C8, Bytes(segment.begin() + 200, segment.begin() + 400)), Bytes{kAck});
  EXPECT_EQ(d.Program(0xC190, Bytes(segment.begin() + 400, segment.end())), Bytes{kAck});

  EXPECT_EQ(d.model.ReadMemory(0x1000, 128), config);
  EXPECT_EQ(d.model.ReadMemory(0x1080, 128), calibration);
  EXPECT_EQ(d.model.ReadMemory(0xC000, 256), extended);
  EXPECT_EQ(d.model.ReadMemory(0xC100, 256), upperBefore);
  EXPECT_EQ(d.model.ReadMemory(0xFFE0, 32), vectors);

  // Power cycle back into the application at 8N1: the new image is there.
  d.PowerOff();
  d.SetParity(Parity::None);
  d.PowerOn();
  EXPECT_EQ(d.model.CurrentMode(), BrioDeviceModel::Mode::Application);
  EXPECT_EQ(d.AskAndWait({'9', 'C', 'O', 'N', 'F'}), config);
  EXPECT_EQ(d.AskAndWait({'9', 'C', 'A', 'L', 'I'}), calibration);
  EXPECT_EQ(d.AskAndWait({0x0E}), Bytes(config.begin(), config.begin() + 3));
}

// The first generation erases 64-byte information segments: its writer
// erases 0x1000 and 0x1040, programs 128 bytes and restarts through load PC.
TEST(BrioLoader, FirstGenerationWriteAndRestartAtTheResetVector) {
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  const Bytes calibration = d.model.ReadMemory(0x1080, 128);
  // The image switches burst on (data byte 44 with 0x88, channels at 106).
  BrioProfile burst = BrioProfiles::Default(1);
  const std::uint16_t channels[] = {0x0200, 0x0204};
  BrioProfiles::SetBurstChannels(burst, channels);
  const Bytes config(burst.configuration.begin(), burst.configuration.end());
  d.EnterLoader();
  EXPECT_EQ(d.Password(), Bytes{kAck});
  EXPECT_EQ(d.Erase(0x1000), Bytes{kAck});
  EXPECT_EQ(d.model.ReadMemory(0x1000, 64), Bytes(64, 0xFF));
  EXPECT_NE(d.model.ReadMemory(0x1040, 64), Bytes(64, 0xFF));
  EXPECT_EQ(d.Erase(0x1040), Bytes{kAck});
  EXPECT_EQ(d.model.ReadMemory(0x1000, 128), Bytes(128, 0xFF));
  EXPECT_EQ(d.Program(0x1000, config), Bytes{kAck});
  const std::uint16_t reset =
      std::uint16_t(d.model.ReadMemory(0xFFFE, 1)[0] | d.model.ReadMemory(0xFFFF, 1)[0] << 8);
  EXPECT_EQ(d.Frame(kLoadProgramCounter, reset, 0), Bytes{kAck});
  EXPECT_EQ(d.model.CurrentMode(), BrioDeviceModel::Mode::Application);
  EXPECT_EQ(d.model.ReadMemory(0x1000, 128), config);
  EXPECT_EQ(d.model.ReadMemory(0x1080, 128), calibration);

  // The application starts streaming; it listens at 8N1 only.
  EXPECT_TRUE(d.model.Streaming());
  d.Wait(50ms);
  EXPECT_GT(d.model.LostReplyBytes(), 0u) << "frames at 8N1 are lost to a host at even parity";
  EXPECT_TRUE(d.AskAndWait({0x3C, 0x10, 0x00}).empty());
  EXPECT_TRUE(d.model.Streaming()) << "bytes at the wrong parity are noise, not input";
  d.SetParity(Parity::None);
  d.Ask({0x00});
  EXPECT_FALSE(d.model.Streaming());
  d.Wait(30ms);
  EXPECT_EQ(d.AskAndWait({0x3C, 0x10, 0x00}), Bytes{config[0]});
}

TEST(BrioLoader, ProgrammingWithoutEraseAndsIntoTheOldContents) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  const Bytes old = d.model.ReadMemory(0x1000, 128);
  const Bytes data = Pattern(128, 0x77);
  d.EnterLoader();
  d.Password();
  EXPECT_EQ(d.Program(0x1000, data), Bytes{kAck});
  Bytes expected(128);
  for (std::size_t i = 0; i < 128; ++i) expected[i] = old[i] & data[i];
  EXPECT_EQ(d.model.ReadMemory(0x1000, 128), expected);
}

// Bad frames are refused with NAK and change nothing; noise and zero bytes
// between frames are ignored; a frame cut short is dropped after a pause.
TEST(BrioLoader, BadFramesAreRefused) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  const Bytes flash = d.model.ReadMemory(0x1000, 256);
  d.EnterLoader();
  ASSERT_EQ(d.Password(), Bytes{kAck});

  Bytes badChecksum = BuildFrame(kErase, 0x1000, kEraseSegmentArgument);
  badChecksum.back() ^= 0x01;
  Bytes unequalLengths = BuildFrame(kErase, 0x1000, kEraseSegmentArgument);
  unequalLengths[3] = 0x05;
  const Bytes badArgument = BuildFrame(kErase, 0x1000, 0x1234);
  const Bytes outside = BuildFrame(kErase, 0x2000, kEraseSegmentArgument);
  const Bytes unknown = BuildFrame(0x1E, 0x0000, 0x0000);
  const Bytes shortData = BuildFrame(kProgram, 0x1000, 4, Bytes{1, 2});  // argument says 4, 2 came

  struct Case {
    const char* what;
    Bytes frame;
    BrioRequestOutcome outcome;
  };
  for (const Case& c : {Case{"checksum", badChecksum, BrioRequestOutcome::BadFrame},
                        Case{"L1 != L2", unequalLengths, BrioRequestOutcome::BadFrame},
                        Case{"erase argument", badArgument, BrioRequestOutcome::Refused},
                        Case{"outside flash", outside, BrioRequestOutcome::Refused},
                        Case{"unknown command", unknown, BrioRequestOutcome::Refused},
                        Case{"length", shortData, BrioRequestOutcome::Refused}}) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(d.AskAndWait({kSync}), Bytes{kAck});
    EXPECT_EQ(d.AskAndWait(c.frame), Bytes{kNakByte});
    EXPECT_EQ(d.LastRequest().outcome, c.outcome);
  }
  EXPECT_EQ(d.model.ReadMemory(0x1000, 256), flash);

  // Zero bytes and noise between frames are not answered.
  EXPECT_TRUE(d.AskAndWait({0x00, 0x00, 0x00, 0x00, 0x00, 0x55, 0x90}).empty());
  // A frame whose rest never comes is dropped; the next SYNC is answered.
  const Bytes erase = BuildFrame(kErase, 0x1000, kEraseSegmentArgument);
  EXPECT_TRUE(d.AskAndWait(Bytes(erase.begin(), erase.begin() + 6), 200ms).empty());
  EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Incomplete);
  EXPECT_EQ(d.AskAndWait({kSync}), Bytes{kAck});
  EXPECT_EQ(d.model.ReadMemory(0x1000, 256), flash);
}

// A wrong password is refused and, as on the chip family's loaders, erases
// all flash (the password becomes 32 x 0xFF); a right one is then needed.
TEST(BrioLoader, WrongPasswordIsRefusedAndErasesFlash) {
  for (const bool massErase : {true, false}) {
    SCOPED_TRACE(massErase);
    BrioOptions options;
    options.massEraseOnBadPassword = massErase;
    Bench<BrioGen2Model> d(BrioProfiles::Default(2), options);
    d.PowerOn();
    const Bytes flash = d.model.ReadMemory(0x1000, 256);
    d.EnterLoader();
    Bytes wrong = d.model.ReadMemory(0xFFE0, 32);
    wrong[5] ^= 0x40;
    EXPECT_EQ(d.Frame(kReceivePassword, 0xFFE0, 32, wrong), Bytes{kNakByte});
    EXPECT_FALSE(d.model.PasswordAccepted());
    EXPECT_EQ(d.Erase(0x1000), Bytes{kNakByte});
    if (massErase) {
      EXPECT_EQ(d.model.ReadMemory(0x1000, 256), Bytes(256, 0xFF));
      EXPECT_EQ(d.model.ReadMemory(0xFFE0, 32), Bytes(32, 0xFF));
    } else {
      EXPECT_EQ(d.model.ReadMemory(0x1000, 256), flash);
    }
    EXPECT_EQ(d.Password(), Bytes{kAck});
  }
}

// The device vanishes in the middle of a block: flash shows exactly how far
// programming got.
TEST(BrioLoader, VanishesMidProgramming) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  const Bytes config = Pattern(128, 0x01);
  const Bytes calibration = Pattern(128, 0x02);
  d.EnterLoader();
  d.Password();
  BrioFaults f;
  f.vanishAfterProgrammedBytes = 150;
  d.model.SetFaults(f);
  EXPECT_EQ(d.Erase(0x1000), Bytes{kAck});
  EXPECT_EQ(d.Program(0x1000, config), Bytes{kAck});
  EXPECT_EQ(d.Erase(0x1080), Bytes{kAck});
  EXPECT_TRUE(d.Program(0x1080, calibration).empty());
  EXPECT_TRUE(d.model.HasVanished());
  EXPECT_TRUE(d.link.vanished);
  EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Vanished);
  EXPECT_EQ(d.model.ReadMemory(0x1000, 128), config);
  Bytes expected(calibration.begin(), calibration.begin() + 22);
  expected.resize(128, 0xFF);
  EXPECT_EQ(d.model.ReadMemory(0x1080, 128), expected);
}

TEST(BrioLoader, RefusedFramesAreNotCarriedOut) {
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  const Bytes flash = d.model.ReadMemory(0x1000, 64);
  d.EnterLoader();
  d.Password();
  BrioFaults f;
  f.nakLoaderFrames = 2;
  d.model.SetFaults(f);
  EXPECT_EQ(d.Erase(0x1000), Bytes{kNakByte});
  EXPECT_EQ(d.Erase(0x1000), Bytes{kNakByte});
  EXPECT_EQ(d.model.ReadMemory(0x1000, 64), flash);
  EXPECT_EQ(d.Erase(0x1000), Bytes{kAck});
  EXPECT_EQ(d.model.ReadMemory(0x1000, 64), Bytes(64, 0xFF));
}

// Power lost in the loader: the device restarts into its application, the
// flash keeps what was written.
TEST(BrioLoader, PowerCycleLeavesTheLoader) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  d.EnterLoader();
  d.Password();
  d.Erase(0x1000);
  d.PowerOff();
  EXPECT_EQ(d.model.CurrentMode(), BrioDeviceModel::Mode::Off);
  EXPECT_TRUE(d.AskAndWait({kSync}).empty());
  d.PowerOn();
  EXPECT_TRUE(d.AskAndWait({kSync}).empty()) << "the application is at 8N1";
  d.SetParity(Parity::None);
  EXPECT_EQ(d.AskAndWait({'9', 'C', 'O', 'N', 'F'}), Bytes(128, 0xFF));
}

}  // namespace
