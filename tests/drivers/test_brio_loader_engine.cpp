// The bootstrap-loader engine of the Brio drivers against the emulated
// loader on an in-process serial line: frames and checksums, the operations
// with the flash contents afterwards, refused passwords, unverified read
// replies and a device that vanishes while it is programmed.

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "drivers/brio/brio_boot_loader.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/fake_line_server.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const QByteArray& a) { return Bytes(a.begin(), a.end()); }

// A plain exchange over a serial device (one try, at least 50 ms): enough
// for the engine to talk to the loader; the drivers bring their own.
class LineLink : public TBrioLoaderLink {
 public:
  LineLink(SerialDevice& port, TBrioGeneration generation) : port_(port), generation_(generation) {}

  TBrioGeneration LoaderGeneration() const override { return generation_; }
  bool LoaderPortOpen() const override { return port_.IsOpen(); }
  QByteArray LoaderExchange(const QByteArray& request, int timeoutMs, int expected) override {
    ++exchanges;
    if (beforeExchange) beforeExchange(request);
    port_.Purge(SerialPurge::RxClear);
    LoaderSend(request);
    SerialTimeouts t;
    t.readInterval = 0;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = static_cast<std::uint32_t>(std::max(timeoutMs, 50));
    port_.SetTimeouts(t);
    Bytes got(static_cast<std::size_t>(expected));
    int n = 0;
    port_.Read(got, n);
    return QByteArray(reinterpret_cast<const char*>(got.data()), n);
  }
  void LoaderSend(const QByteArray& request) override {
    const Bytes b = ToBytes(request);
    int n = 0;
    port_.Write(b, n);
  }
  void LoaderEnableDtr() override { port_.SetDtr(true); }
  void LoaderSetEvenParity(bool even) override {
    settings.parity = even ? SerialLineSettings::Parity::Even : SerialLineSettings::Parity::None;
    port_.Configure(settings);
    parityChanges.push_back(even);
  }
  void LoaderClearQueues() override { port_.Purge(SerialPurge::RxClear | SerialPurge::TxClear); }
  void LoaderSleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void LoaderLog(const QString& text) override { log << text; }

  std::function<void(const QByteArray&)> beforeExchange;
  SerialLineSettings settings;
  QStringList log;
  std::vector<bool> parityChanges;
  int exchanges = 0;

 private:
  SerialDevice& port_;
  TBrioGeneration generation_;
};

class BrioLoaderEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_shared<BrioGen1Model>(BrioProfiles::Default(1));
    line_ = FakeSerialLine::Create();
    server_ = std::make_unique<FakeLineServer>(model_, line_);
    server_->Start();
    port_ = std::make_unique<FakeSerialDevice>(line_);
    ASSERT_EQ(port_->Open(QStringLiteral("fake")), SerialStatus::Ok);
    link_ = std::make_unique<LineLink>(*port_, TBrioGeneration::First);
    link_->settings.baudRate = 9600;
    link_->settings.parity = SerialLineSettings::Parity::None;
    link_->settings.dtrControl = SerialLineSettings::DtrControl::Disable;
    ASSERT_EQ(port_->Configure(link_->settings), SerialStatus::Ok);
    // Power the device and let its firmware start.
    ASSERT_EQ(port_->SetDtr(true), SerialStatus::Ok);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (model_->CurrentMode() != BrioDeviceModel::Mode::Application &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(model_->CurrentMode(), BrioDeviceModel::Mode::Application);
    loader_ = std::make_unique<TBrioBootLoader>(*link_);
  }
  void TearDown() override {
    if (port_) port_->Close();
    server_.reset();
  }
  void SetFaults(const std::function<void(BrioFaults&)>& change) {
    BrioFaults f = model_->Faults();
    change(f);
    model_->SetFaults(f);
  }
  Bytes Vectors() const { return model_->ReadMemory(0xFFE0, 32); }
  Bytes Memory(std::uint16_t address, std::size_t n) const { return model_->ReadMemory(address, n); }
  std::vector<Bytes> LoaderFrames() const {
    std::vector<Bytes> out;
    for (const BrioRequestRecord& r : model_->Requests())
      if (r.bytes.size() > 1) out.push_back(r.bytes);
    return out;
  }

  std::shared_ptr<BrioGen1Model> model_;
  std::shared_ptr<FakeSerialLine> line_;
  std::unique_ptr<FakeLineServer> server_;
  std::unique_ptr<FakeSerialDevice> port_;
  std::unique_ptr<LineLink> link_;
  std::unique_ptr<TBrioBootLoader> loader_;
};

struct ChecksumCase {
  const char* what;
  QByteArray frame;
  std::uint8_t low, high;
};

// The checksum bytes of the frames the drivers send, as the device's loader
// documentation computes them.
TEST(BrioLoaderFrames, ChecksumsOfTheDriversFrames) {
  const Bytes zeros(128, 0x00);
  const Bytes ones(32, 0xFF);
  const ChecksumCase cases[] = {
      {"password 32x00", TBrioBootLoader::BuildFrame(0x10, 0xFFE0, 32, std::span(zeros).first(32)), 0x9B,
       0x34},
      {"password 32xFF", TBrioBootLoader::BuildFrame(0x10, 0xFFE0, 32, ones), 0x9B, 0x34},
      {"erase 1000", TBrioBootLoader::BuildFrame(0x16, 0x1000, 0xA502), 0x79, 0x58},
      {"erase 1040", TBrioBootLoader::BuildFrame(0x16, 0x1040, 0xA502), 0x39, 0x58},
      {"erase 1080", TBrioBootLoader::BuildFrame(0x16, 0x1080, 0xA502), 0xF9, 0x58},
      {"erase C000", TBrioBootLoader::BuildFrame(0x16, 0xC000, 0xA502), 0x79, 0x88},
      {"erase FE00", TBrioBootLoader::BuildFrame(0x16, 0xFE00, 0xA502), 0x79, 0xB6},
      {"read C100", TBrioBootLoader::BuildFrame(0x14, 0xC100, 128), 0xFB, 0x2E},
      {"read C180", TBrioBootLoader::BuildFrame(0x14, 0xC180, 128), 0x7B, 0x2E},
      {"program 1000", TBrioBootLoader::BuildFrame(0x12, 0x1000, 128, zeros), 0x7B, 0x79},
      {"load PC F800", TBrioBootLoader::BuildFrame(0x1A, 0xF800, 0), 0x7B, 0x19},
  };
  for (const ChecksumCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes f = ToBytes(c.frame);
    ASSERT_GE(f.size(), 10u);
    EXPECT_EQ(f[f.size() - 2], c.low);
    EXPECT_EQ(f[f.size() - 1], c.high);
  }
  const Bytes program = ToBytes(TBrioBootLoader::BuildFrame(0x12, 0x1000, 128, zeros));
  EXPECT_EQ(Bytes(program.begin(), program.begin() + 8),
            (Bytes{0x80, 0x12, 0x84, 0x84, 0x00, 0x10, 0x80, 0x00}));
  EXPECT_EQ(program.size(), 138u);
  // An odd length is completed with a zero byte.
  const Bytes odd{0x80, 0x12, 0x05};
  EXPECT_EQ(TBrioBootLoader::BootloaderChecksum(odd), std::uint16_t(~(0x1280 ^ 0x0005) & 0xFFFF));
}

TEST(BrioLoaderFrames, SegmentNumbers) {
  struct Case {
    int segment;
    TBrioGeneration generation;
    std::optional<std::uint16_t> address;
  };
  const Case cases[] = {
      {0, TBrioGeneration::First, 0xFE00},     {31, TBrioGeneration::Second, 0xC000},
      {1, TBrioGeneration::Second, 0xFC00},    {1000, TBrioGeneration::First, 0x1000},
      {1000, TBrioGeneration::Second, 0x1000}, {1001, TBrioGeneration::Second, 0x1080},
      {1010, TBrioGeneration::First, 0x1040},  {1011, TBrioGeneration::First, 0x10C0},
      {1010, TBrioGeneration::Second, {}},     {1011, TBrioGeneration::Second, {}},
      {32, TBrioGeneration::First, {}},        {-1, TBrioGeneration::First, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.segment);
    EXPECT_EQ(TBrioBootLoader::SegmentAddress(c.segment, c.generation), c.address);
  }
}

TEST(BrioLoaderFrames, ReadRepliesAreVerified) {
  QByteArray data;
  for (int i = 0; i < 4; ++i) data.append(static_cast<char>(0x30 + i));
  QByteArray good = QByteArray("\x80\x00\x04\x04", 4) + data;
  const std::uint16_t sum = TBrioBootLoader::BootloaderChecksum(
      std::span(reinterpret_cast<const std::uint8_t*>(good.constData()), std::size_t(good.size())));
  good.append(static_cast<char>(sum & 0xFF));
  good.append(static_cast<char>(sum >> 8));
  EXPECT_EQ(TBrioBootLoader::ParseReadReply(good, 4), data);

  auto spoiled = [&](int index, char value) {
    QByteArray r = good;
    r[index] = value;
    return r;
  };
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(spoiled(0, '\x90'), 4));  // header
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(spoiled(2, '\x05'), 4));  // L1
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(spoiled(3, '\x03'), 4));  // L2
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(spoiled(5, '\x77'), 4));  // data
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(spoiled(9, '\x00'), 4));  // checksum
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(good.left(8), 4));        // the header and data only
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(good + '\x00', 4));
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(QByteArray(), 4));
  EXPECT_FALSE(TBrioBootLoader::ParseReadReply(good, 0));
}

// The first generation's configuration write: loader, password, erase of
// both 64-byte halves, one 128-byte block, restart at the reset vector.
TEST_F(BrioLoaderEngine, ProgramsTheConfigurationSegment) {
  const Bytes before = Memory(0x1000, 256);
  Bytes image(128);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = std::uint8_t(0x5A ^ (i * 7));
  const Bytes vectors = Vectors();
  const std::uint16_t reset = std::uint16_t(vectors[30] | (vectors[31] << 8));
  model_->ClearRequests();

  ASSERT_TRUE(loader_->StartBootloader());
  ASSERT_TRUE(loader_->SendBootloaderPassword(vectors));
  const int segments[] = {1000, 1010};
  ASSERT_TRUE(loader_->EraseSegments(segments));
  ASSERT_TRUE(loader_->ProgramBlock(0x1000, image));
  ASSERT_TRUE(loader_->LoadProgramCounter(reset));
  loader_->RestoreParity();

  EXPECT_EQ(Memory(0x1000, 128), image);
  EXPECT_EQ(Memory(0x1080, 128), Bytes(before.begin() + 128, before.end()));
  EXPECT_EQ(Memory(0xFFE0, 32), vectors);
  EXPECT_EQ(link_->parityChanges, (std::vector<bool>{true, false}));

  const std::vector<Bytes> frames = LoaderFrames();
  const std::vector<Bytes> expected = {
      ToBytes(TBrioBootLoader::BuildFrame(0x10, 0xFFE0, 32, vectors)),
      ToBytes(TBrioBootLoader::BuildFrame(0x16, 0x1000, 0xA502)),
      ToBytes(TBrioBootLoader::BuildFrame(0x16, 0x1040, 0xA502)),
      ToBytes(TBrioBootLoader::BuildFrame(0x12, 0x1000, 128, image)),
      ToBytes(TBrioBootLoader::BuildFrame(0x1A, reset, 0)),
  };
  ASSERT_EQ(frames.size(), expected.size() + 1);
  EXPECT_EQ(frames[0], (Bytes{0x3F, 0x01, 0x02, 0x03, 0x04}));
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(frames[i + 1], expected[i]) << i;

  EXPECT_EQ(link_->log, (QStringList{
                            "Start BSL",
                            "Start BSL erfolgreich",
                            "BSLsync erfolgreich",
                            "Übertragung Passwort erfolgreich",
                            "BSLsync erfolgreich",
                            "Erase Segment bei Addr. : 0x1000 erfolgreich",
                            "BSLsync erfolgreich",
                            "Erase Segment bei Addr. : 0x1040 erfolgreich",
                            "BSLsync erfolgreich",
                            "Flashen von 128bytes ab Adr.  0x1000 erfolgreich",
                            "BSLsync erfolgreich",
                        }));
  // The firmware runs again after the restart.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (model_->CurrentMode() != BrioDeviceModel::Mode::Application &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(model_->CurrentMode(), BrioDeviceModel::Mode::Application);
}

// A password that is not a whole vector table never reaches the line (the
// loader would take it as a wrong one and may erase the whole flash).
TEST_F(BrioLoaderEngine, PasswordOfTheWrongSizeIsNeverSent) {
  ASSERT_TRUE(loader_->StartBootloader());
  const Bytes flash = Memory(0xC000, 0x4000);
  model_->ClearRequests();
  const int before = link_->exchanges;
  const Bytes vectors = Vectors();
  EXPECT_FALSE(loader_->SendBootloaderPassword({}));
  EXPECT_FALSE(loader_->SendBootloaderPassword(std::span(vectors).first(31)));
  EXPECT_EQ(link_->exchanges, before);
  EXPECT_TRUE(model_->Requests().empty());
  EXPECT_FALSE(model_->PasswordAccepted());
  EXPECT_EQ(Memory(0xC000, 0x4000), flash);
  EXPECT_EQ(link_->log.last(), "Übertragung Passwort nicht erfolgreich");
}

// A device whose loader never answers: 21 SYNC tries, then no parity again.
TEST_F(BrioLoaderEngine, StartFailsWithoutAckAndRestoresParity) {
  SetFaults([](BrioFaults& f) { f.silent = true; });
  EXPECT_FALSE(loader_->StartBootloader());
  EXPECT_EQ(link_->exchanges, TBrioBootLoader::kStartTries);
  EXPECT_EQ(link_->parityChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(link_->log, (QStringList{"Start BSL", "Start BSL FEHLER"}));
}

TEST_F(BrioLoaderEngine, NakedFramesAreRetriedUpToTheirLimit) {
  ASSERT_TRUE(loader_->StartBootloader());
  ASSERT_TRUE(loader_->SendBootloaderPassword(Vectors()));
  // Three refusals, then the fourth try of the erase gets through.
  SetFaults([](BrioFaults& f) { f.nakLoaderFrames = 3; });
  EXPECT_TRUE(loader_->EraseSegment(1000));
  EXPECT_EQ(Memory(0x1000, 64), Bytes(64, 0xFF));
  // Four refusals use up every try.
  SetFaults([](BrioFaults& f) { f.nakLoaderFrames = 4; });
  const Bytes data(128, 0x00);
  EXPECT_FALSE(loader_->ProgramBlock(0x1000, data));
  EXPECT_EQ(link_->log.last(), "Flashen von 128bytes ab Adr.  0x1000 nicht erfolgreich");
  EXPECT_EQ(Memory(0x1000, 64), Bytes(64, 0xFF));
}

// Read replies are checked whole (header, lengths, checksum) and retried; a
// block that never reads back clean gives nothing.
TEST_F(BrioLoaderEngine, ReadBlockVerifiesAndRetries) {
  ASSERT_TRUE(loader_->StartBootloader());
  ASSERT_TRUE(loader_->SendBootloaderPassword(Vectors()));
  const Bytes stored = Memory(0x1080, 128);

  EXPECT_EQ(ToBytes(loader_->ReadBlock(0x1080, 128)), stored);
  EXPECT_EQ(link_->log.last(), "Lesen von 128bytes ab Adr.  0x1080 erfolgreich");

  // Faults on the replies to read frames only (the SYNC before stays clean),
  // one per read frame from the queue, or on every one.
  std::deque<BrioFaults> readFaults;
  bool spoilEvery = false;
  link_->beforeExchange = [&](const QByteArray& request) {
    if (request.size() < 2 || request[1] != '\x14') return;
    BrioFaults f;
    if (!readFaults.empty()) {
      f = readFaults.front();
      readFaults.pop_front();
    } else if (spoilEvery) {
      f.noiseBeforeReply = 1;
    }
    f.replyFaultLimit = 1;
    model_->SetFaults(f);
  };
  auto readFrames = [&] {
    int reads = 0;
    for (const Bytes& f : LoaderFrames()) reads += f[1] == 0x14;
    return reads;
  };
  // The first reply lacks its checksum bytes, the second has a stray byte
  // ahead of it: the third counts.
  readFaults.resize(2);
  readFaults[0].shortReplyBytes = 2;
  readFaults[1].noiseBeforeReply = 1;
  model_->ClearRequests();
  EXPECT_EQ(ToBytes(loader_->ReadBlock(0x1080, 128)), stored);
  EXPECT_EQ(readFrames(), 3);

  // Every reply has a stray byte ahead: four tries, then no data.
  spoilEvery = true;
  model_->ClearRequests();
  EXPECT_TRUE(loader_->ReadBlock(0x1080, 128).isEmpty());
  EXPECT_EQ(readFrames(), TBrioBootLoader::kReadTries);
  EXPECT_EQ(link_->log.last(), "Lesen von 128bytes ab Adr.  0x1080 nicht erfolgreich");
}

// The device vanishes in the middle of a block: the operation fails, and
// the flash holds the bytes that were programmed before and nothing after.
TEST_F(BrioLoaderEngine, DeviceVanishingWhileProgrammed) {
  ASSERT_TRUE(loader_->StartBootloader());
  ASSERT_TRUE(loader_->SendBootloaderPassword(Vectors()));
  const int segments[] = {1000, 1010};
  ASSERT_TRUE(loader_->EraseSegments(segments));
  Bytes image(128);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = std::uint8_t(i);
  SetFaults([](BrioFaults& f) { f.vanishAfterProgrammedBytes = 48; });
  EXPECT_FALSE(loader_->ProgramBlock(0x1000, image));
  EXPECT_EQ(Memory(0x1000, 48), Bytes(image.begin(), image.begin() + 48));
  EXPECT_EQ(Memory(0x1030, 80), Bytes(80, 0xFF));
}

}  // namespace
