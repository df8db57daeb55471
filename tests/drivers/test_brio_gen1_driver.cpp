// The first-generation Brio driver against the emulated device on an
// in-process serial line (DTR and parity carried): requests per operation,
// image reads, power-on, loop output and the configuration write through
// the bootstrap loader with the flash contents checked afterwards.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <stdexcept>
#include <vector>

#include "drivers/brio/pyreon_brio.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "platform/folders.h"
#include "platform/logger.h"
#include "tests/drivers/fixtures/brio_gen1_on_fake_line.h"
#include "tests/support/wait_for.h"
#include "transport/com_port.h"

namespace {

using briotest::Bytes;
using test_support::WaitFor;
using test_support::WaitForEvents;

constexpr int kComPort = 9;
const QString kLinePath = QStringLiteral("brio-gen1-test-line");

class BrioGen1Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSerialDevice::Register(kLinePath, device_.line);
    ASSERT_TRUE(dir_.isValid());
    const QString ports = dir_.filePath(QStringLiteral("ports.ini"));
    QFile f(ports);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Ports]\r\nCOM9=" + kLinePath.toUtf8() + "\r\n");
    f.close();
    qputenv("THERMASENTINEL_PORTS", ports.toUtf8());
    Folders::SetProgramFolderForTesting(dir_.path());

    driver_ = std::make_unique<TpyreonBrio>();
    driver_->SetComPort(kComPort);
    driver_->OnError = [this](QObject*, int code) { errors_.push_back(code); };
    driver_->OnLoadConfigData = [this](QObject*, bool ok) { loads_.push_back(ok); };
    driver_->OnLoadIntVector = [this](QObject*, bool ok) { loads_.push_back(ok); };
    driver_->OnLoadCaliData = [this](QObject*, bool ok) { loads_.push_back(ok); };
    driver_->OnAllLoaded = [this](QObject*) { ++allLoaded_; };
  }
  void TearDown() override {
    driver_.reset();
    device_.server.reset();
    FakeSerialDevice::Unregister(kLinePath);
    qunsetenv("THERMASENTINEL_PORTS");
    Folders::SetProgramFolderForTesting(QString());
  }
  // Opens the port and powers the device (DTR high) until its firmware runs.
  void OpenAndPower() {
    ASSERT_TRUE(driver_->OpenPort());
    driver_->Port()->SetDTR(true);
    ASSERT_TRUE(device_.WaitForFirmware());
    model_->ClearRequests();
  }
  void SetFaults(const std::function<void(BrioFaults&)>& change) { device_.SetFaults(change); }
  std::vector<Bytes> Requests() const { return device_.Requests(); }
  Bytes Memory(std::uint16_t address, std::size_t n) const { return device_.Memory(address, n); }
  void Poke(std::uint16_t address, const Bytes& bytes) { model_->WriteMemory(address, bytes); }

  QTemporaryDir dir_;
  briotest::Gen1OnFakeLine device_;
  std::shared_ptr<BrioGen1Model> model_ = device_.model;
  std::unique_ptr<TpyreonBrio> driver_;
  std::vector<int> errors_;
  std::vector<bool> loads_;
  int allLoaded_ = 0;
};

struct RequestCase {
  const char* what;
  std::function<void(TpyreonBrio&)> call;
  std::vector<Bytes> expected;
};

TEST_F(BrioGen1Driver, RequestsPerOperation) {
  const RequestCase cases[] = {
      {"target temperature", [](TpyreonBrio& d) { d.ReadTargetTemperature(); }, {{0x3E, 0x02, 0x00}}},
      {"internal temperature", [](TpyreonBrio& d) { d.ReadInternalTemperature(); }, {{0x3E, 0x02, 0x02}}},
      {"actual temperature", [](TpyreonBrio& d) { d.ReadActualTemperature(); }, {{0x3E, 0x02, 0x04}}},
      {"memory byte",
       [](TpyreonBrio& d) { d.ReadMemoryByte(0x0FF0); },
       {{0x3C, 0x0F, 0xF0}, {0x3C, 0x0F, 0xF0}}},
      {"verified write",
       [](TpyreonBrio& d) { d.WriteMemoryByteVerified(0x0264, 0x02); },
       {{0x3D, 0x02, 0x64, 0x02}, {0x3D, 0x02, 0x64, 0x02}}},
      {"loop output 25.0",
       [](TpyreonBrio& d) { d.SetLoopOutputTemperature(25.0f); },
       {{0x3A, 0x02, 0x12, 0x04, 0xE2}}},
      {"loop output tie to even",
       [](TpyreonBrio& d) { d.SetLoopOutputTemperature(2.25f); },
       {{0x3A, 0x02, 0x12, 0x03, 0xFE}}},
      {"loop output above the word range",
       [](TpyreonBrio& d) { d.SetLoopOutputTemperature(7000.0f); },
       {{0x3A, 0x02, 0x12, 0xFF, 0xFF}}},
      {"loop output below the word range",
       [](TpyreonBrio& d) { d.SetLoopOutputTemperature(-200.0f); },
       {{0x3A, 0x02, 0x12, 0x00, 0x00}}},
      {"serial number",
       [](TpyreonBrio& d) { d.ReadSerialNumber(); },
       {{0x3C, 0x10, 0x82},
        {0x3C, 0x10, 0x82},
        {0x3C, 0x10, 0x83},
        {0x3C, 0x10, 0x83},
        {0x3C, 0x10, 0x84},
        {0x3C, 0x10, 0x84}}},
      // Last: its answer is not awaited and would spoil the next exchange's first try.
      {"leave loop maintenance",
       [](TpyreonBrio& d) { d.LeaveLoopMaintenance(); },
       {{0x3D, 0x02, 0x61, 0x80}}},
  };
  OpenAndPower();
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.what);
    model_->ClearRequests();
    c.call(*driver_);
    ASSERT_TRUE(WaitFor([&] { return model_->Requests().size() >= c.expected.size(); }));
    EXPECT_EQ(Requests(), c.expected);
  }
  EXPECT_TRUE(errors_.empty());
}

TEST_F(BrioGen1Driver, ValuesFromMemory) {
  OpenAndPower();
  Poke(0x0204, {0x00, 0x00});    // little-endian word in memory
  const std::uint16_t w = 1234;  // 23.4 degrees
  Poke(0x0204, {std::uint8_t(w & 0xFF), std::uint8_t(w >> 8)});
  EXPECT_NEAR(driver_->ReadActualTemperature(), 23.4f, 1e-4);
  Poke(0x1082, {0x00, 0x2A, 0xF8});
  EXPECT_EQ(driver_->ReadSerialNumber(), 11000);
  EXPECT_EQ(driver_->WriteMemoryByteVerified(0x0264, 0x02), 0x02);
  EXPECT_EQ(Memory(0x0264, 1), Bytes{0x02});
}

// Every image equals the device's memory; a word whose exchange failed is
// asked again instead of being left out.
TEST_F(BrioGen1Driver, ImagesReadWholeEvenAfterAFailedWord) {
  OpenAndPower();
  // One whole exchange (all its tries) of the first vector word goes unanswered.
  SetFaults([](BrioFaults& f) { f.ignoreRequests = TpyreonBrio::kTries; });
  driver_->ReadAllImages();
  ASSERT_TRUE(driver_->CalibrationImage().Loaded);
  ASSERT_TRUE(driver_->ConfigImage().Loaded);
  ASSERT_TRUE(driver_->VectorImage().Loaded);
  EXPECT_EQ(Bytes(driver_->CalibrationImage().Data.begin(), driver_->CalibrationImage().Data.end()),
            Memory(0x1080, 128));
  EXPECT_EQ(Bytes(driver_->ConfigImage().Data.begin(), driver_->ConfigImage().Data.end()),
            Memory(0x1000, 128));
  EXPECT_EQ(Bytes(driver_->VectorImage().Data.begin(), driver_->VectorImage().Data.end()),
            Memory(0xFFE0, 32));
  EXPECT_EQ(errors_, std::vector<int>{5});
  EXPECT_EQ(loads_, (std::vector<bool>{true, true, true}));
}

TEST_F(BrioGen1Driver, ReadsFromTheFirstFailedWordOn) {
  OpenAndPower();
  driver_->ReadCalibrationImage();
  ASSERT_TRUE(driver_->CalibrationImage().Loaded);
  model_->ClearRequests();
  SetFaults([](BrioFaults& f) { f.ignoreRequests = TpyreonBrio::kTries; });
  driver_->ReadVectorImage();
  const std::vector<Bytes> requests = Requests();
  // The first word's ten tries, then the same word again, then the rest.
  ASSERT_EQ(requests.size(), std::size_t(TpyreonBrio::kTries + 16));
  for (int i = 0; i <= TpyreonBrio::kTries; ++i)
    EXPECT_EQ(requests[std::size_t(i)], (Bytes{0x3E, 0xFF, 0xE0})) << i;
  EXPECT_EQ(requests.back(), (Bytes{0x3E, 0xFF, 0xFE}));
  // The failed exchange cleared the images of this connection.
  EXPECT_FALSE(driver_->CalibrationImage().Loaded);
  EXPECT_TRUE(driver_->VectorImage().Loaded);
}

TEST_F(BrioGen1Driver, PowerOnConfiguresTheDevice) {
  OpenAndPower();
  Poke(0x025F, {0x01});
  EXPECT_TRUE(driver_->PowerOnDevice(true));
  EXPECT_EQ(Memory(0x025F, 1), Bytes{0x11});
  EXPECT_EQ(Memory(0x0261, 1), Bytes{0x80});
  EXPECT_TRUE(driver_->ConnectPollActive());
  const std::vector<Bytes> expected = {
      {0x3D, 0x02, 0x61, 0x8C}, {0x3D, 0x02, 0x61, 0x8C}, {0x3C, 0x02, 0x5F},       {0x3C, 0x02, 0x5F},
      {0x3D, 0x02, 0x5F, 0x11}, {0x3D, 0x02, 0x5F, 0x11}, {0x3D, 0x02, 0x61, 0x80}, {0x3D, 0x02, 0x61, 0x80}};
  EXPECT_EQ(Requests(), expected);
}

// The device goes away before its mode is restored: no success is reported
// for a device left in its configuring mode.
TEST_F(BrioGen1Driver, PowerOnFailsWhenTheRestoringWritesFail) {
  OpenAndPower();
  // The fifth request (the first restoring write) finds the device gone.
  SetFaults([](BrioFaults& f) { f.vanishAfterRequests = 5; });
  EXPECT_FALSE(driver_->PowerOnDevice(true));
  EXPECT_EQ(Memory(0x0261, 1), Bytes{0x8C});
}

TEST_F(BrioGen1Driver, PowerOnWithThePortClosed) {
  EXPECT_FALSE(driver_->PowerOnDevice(false));
  EXPECT_EQ(errors_, std::vector<int>{3});
}

// The configuration write after a full read: loader, password, both
// halves erased, one block, restart; the segment equals the image and
// nothing else in flash changed.
TEST_F(BrioGen1Driver, WriteConfigurationProgramsTheSegment) {
  OpenAndPower();
  driver_->ReadAllImages();
  ASSERT_EQ(allLoaded_, 1);
  const Bytes flashBefore = Memory(0x1000, 0x100);
  const Bytes mainBefore = Memory(0xC000, 0x4000);
  BrioConfigImage image = driver_->ConfigImage();
  for (std::size_t i = 0; i < image.Data.size(); ++i)
    image.Data[i] = std::uint8_t(image.Data[i] ^ (i * 3 + 1));
  model_->ClearRequests();
  std::vector<int> progress;
  driver_->OnProgress = [&](QObject*, int percent) { progress.push_back(percent); };
  ASSERT_TRUE(driver_->WriteConfiguration(image));
  // Six loader steps: start, password, two segments, the block, the restart.
  EXPECT_EQ(progress, (std::vector<int>{16, 33, 50, 66, 83, 100}));
  EXPECT_EQ(Memory(0x1000, 128), Bytes(image.Data.begin(), image.Data.end()));
  EXPECT_EQ(Memory(0x1080, 128), Bytes(flashBefore.begin() + 128, flashBefore.end()));
  EXPECT_EQ(Memory(0xC000, 0x4000), mainBefore);
  EXPECT_FALSE(driver_->Connected());
  EXPECT_TRUE(driver_->ConnectPollActive());
  EXPECT_EQ(driver_->Port()->Parity().Bits(), prNone);
  // The restarted firmware answers at 8N1 again.
  ASSERT_TRUE(WaitFor([&] { return model_->CurrentMode() == BrioDeviceModel::Mode::Application; }));
  model_->ClearRequests();
  EXPECT_GT(driver_->ReadTargetTemperature(), -9999.0f);
}

// Without the vector table of this connection nothing at all goes out.
TEST_F(BrioGen1Driver, WriteConfigurationNeedsTheImagesOfThisConnection) {
  OpenAndPower();
  driver_->ReadConfigurationImage();
  BrioConfigImage image = driver_->ConfigImage();
  ASSERT_TRUE(image.Loaded);
  model_->ClearRequests();
  EXPECT_FALSE(driver_->WriteConfiguration(image));  // vectors never read
  driver_->ReadVectorImage();
  ASSERT_TRUE(driver_->VectorImage().Loaded);
  model_->ClearRequests();
  image.Loaded = false;
  EXPECT_FALSE(driver_->WriteConfiguration(image));  // an image not read from the device
  // Reopening forgets what the last connection read.
  ASSERT_TRUE(driver_->OpenPort());
  image.Loaded = true;
  EXPECT_FALSE(driver_->WriteConfiguration(image));
  // The vector table alone does not do: the segment was not read either.
  driver_->Port()->SetDTR(true);
  ASSERT_TRUE(device_.WaitForFirmware());
  driver_->ReadVectorImage();
  ASSERT_TRUE(driver_->VectorImage().Loaded);
  model_->ClearRequests();
  EXPECT_FALSE(driver_->WriteConfiguration(image));
  EXPECT_TRUE(Requests().empty());
  EXPECT_FALSE(model_->PasswordAccepted());
  EXPECT_NE(model_->CurrentMode(), BrioDeviceModel::Mode::Loader);
}

// The device vanishes while its configuration block is programmed: the
// write fails, the flash holds what was programmed up to then.
TEST_F(BrioGen1Driver, DeviceVanishingMidProgramming) {
  OpenAndPower();
  driver_->ReadAllImages();
  BrioConfigImage image = driver_->ConfigImage();
  for (std::size_t i = 0; i < image.Data.size(); ++i) image.Data[i] = std::uint8_t(i);
  SetFaults([](BrioFaults& f) { f.vanishAfterProgrammedBytes = 40; });
  EXPECT_FALSE(driver_->WriteConfiguration(image));
  EXPECT_EQ(Memory(0x1000, 40), Bytes(image.Data.begin(), image.Data.begin() + 40));
  EXPECT_EQ(Memory(0x1028, 88), Bytes(88, 0xFF));
  EXPECT_EQ(driver_->Port()->Parity().Bits(), prNone);
}

// Burst start: the channel list goes into the configuration segment, the
// device restarts into streaming, and the queued entries carry the values
// it sent, in order, timed from the first frame.
TEST_F(BrioGen1Driver, StartBurstStreamsTheChannelsBeforeTheFirstZero) {
  OpenAndPower();
  driver_->ReadAllImages();
  const Bytes configBefore = Memory(0x1000, 128);
  int starts = 0;
  driver_->OnBusrtStart = [&](QObject*) { ++starts; };
  ASSERT_TRUE(driver_->StartBurst(0x0200, 0, 0x0204, 0, 0));
  EXPECT_EQ(driver_->BurstFrameLength(), 4);
  const Bytes config = Memory(0x1000, 128);
  EXPECT_EQ(Bytes(config.begin() + 106, config.begin() + 118),
            (Bytes{0x00, 0x02, 0x00, 0x00, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(config[44], configBefore[44] | 0x88);
  EXPECT_EQ(Bytes(config.begin(), config.begin() + 44),
            Bytes(configBefore.begin(), configBefore.begin() + 44));

  ASSERT_TRUE(WaitForEvents([&] { return driver_->BurstCount() >= 20; }, 10000));
  EXPECT_EQ(starts, 1);
  std::vector<TBrioBurstRecord> got;
  TBrioBurstRecord entry;
  while (driver_->GetNextBurstEntry(entry)) got.push_back(entry);
  EXPECT_FLOAT_EQ(got.front().Time, 0.0f);
  for (std::size_t i = 1; i < got.size(); ++i) EXPECT_GT(got[i].Time, got[i - 1].Time);
  // The entries are a run of the frames the device sent.
  const std::vector<BrioSentFrame> sent = model_->SentFrames();
  std::size_t offset = 0;
  auto matches = [&](std::size_t at) {
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (at + i >= sent.size() || sent[at + i].values.size() != 1) return false;
      if (sent[at + i].values[0] != got[i].Values[0] || got[i].Values[1] != 0) return false;
    }
    return true;
  };
  while (offset < sent.size() && !matches(offset)) ++offset;
  EXPECT_LT(offset, 3u) << "entries do not match the frames sent";
  // An empty queue gives a zero entry.
  EXPECT_FALSE(driver_->GetNextBurstEntry(entry));
  EXPECT_EQ(entry.Values[0], 0);
  EXPECT_FLOAT_EQ(entry.Time, 0.0f);
}

// A failure while an entry is taken (here: its log line cannot be written)
// is logged as such and loses nothing: the entry comes with the next call.
TEST_F(BrioGen1Driver, AFailingBurstEntryIsLoggedAndKept) {
  driver_->SetLogFile(true);
  OpenAndPower();
  driver_->ReadAllImages();
  ASSERT_TRUE(driver_->StartBurst(0x0200, 0, 0x0204, 0, 0));
  ASSERT_TRUE(WaitForEvents([&] { return driver_->BurstCount() >= 3; }, 10000));
  // No events run from here on, so the queue only changes by the calls below.
  const int queued = driver_->BurstCount();

  QStringList lines;
  bool failNext = true;
  const Logger::Sink previous = Logger::SetSink([&](const Logger::Record& r) {
    lines << r.text;
    if (failNext && r.text.startsWith(QStringLiteral("Burst Auslesen"))) {
      failNext = false;
      throw std::runtime_error("log unavailable");
    }
  });
  TBrioBurstRecord entry;
  const bool first = driver_->GetNextBurstEntry(entry);
  const int afterFailure = driver_->BurstCount();
  const bool second = driver_->GetNextBurstEntry(entry);
  Logger::SetSink(previous);

  EXPECT_FALSE(first);
  EXPECT_EQ(afterFailure, queued);
  EXPECT_TRUE(lines.contains(QStringLiteral("EXCEPTION in PYREON Brio GETNEXTBURSTENTRY !")))
      << lines.join('|').toStdString();
  EXPECT_TRUE(second);
  EXPECT_FLOAT_EQ(entry.Time, 0.0f);
  EXPECT_EQ(driver_->BurstCount(), queued - 1);
}

// A burst start before the images were read sends nothing: it would program
// an image the device never gave.
TEST_F(BrioGen1Driver, StartBurstNeedsTheImagesOfThisConnection) {
  OpenAndPower();
  driver_->ReadConfigurationImage();
  const Bytes flash = Memory(0x1000, 0x100);
  model_->ClearRequests();
  EXPECT_FALSE(driver_->StartBurst(0x0200, 0x0202, 0x0204, 0, 0));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(Memory(0x1000, 0x100), flash);
  EXPECT_FALSE(driver_->BurstParserActive());
}

// The connect poll finds the powered device; loop maintenance powers it up
// into mode 0x90 and holds the poll.
TEST_F(BrioGen1Driver, ConnectPollAndLoopMaintenance) {
  int connects = 0;
  driver_->OnConnect = [&](QObject*) { ++connects; };
  OpenAndPower();
  EXPECT_TRUE(driver_->ConnectPollActive());
  ASSERT_TRUE(WaitForEvents([&] { return connects == 1; }, 5000));
  EXPECT_TRUE(driver_->Connected());
  EXPECT_FALSE(driver_->ConnectPollActive());
  model_->ClearRequests();

  driver_->EnterLoopMaintenance();
  EXPECT_TRUE(driver_->HoldPoll());
  ASSERT_TRUE(WaitFor([&] { return model_->Requests().size() >= 2; }));
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x3D, 0x02, 0x61, 0x90}, {0x3D, 0x02, 0x64, 0x02}}));
  EXPECT_EQ(Memory(0x0261, 1), Bytes{0x90});
  EXPECT_EQ(Memory(0x0264, 1), Bytes{0x02});
}

// The log file holds the port's and the loader's lines as written; a text
// starting with character 1 deletes it.
TEST_F(BrioGen1Driver, LogFileOfAConfigurationWrite) {
  driver_->SetLogFile(true);
  OpenAndPower();
  driver_->ReadAllImages();
  ASSERT_TRUE(driver_->WriteConfiguration(driver_->ConfigImage()));
  QFile log(driver_->LogFileName());
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(log.readAll());
  log.close();
  for (const char* line :
       {"\tCom Port 9 öffnen\n", "\tCom Port 9 geöffnet\n", "\tStart BSL\n", "\tStart BSL erfolgreich\n",
        "\tBSLsync erfolgreich\n", "\tÜbertragung Passwort erfolgreich\n",
        "\tErase Segment bei Addr. : 0x1000 erfolgreich\n",
        "\tErase Segment bei Addr. : 0x1040 erfolgreich\n",
        "\tFlashen von 128bytes ab Adr.  0x1000 erfolgreich\n",
        "\tSenden :\tSende : 3E 10 80 \t\t\t Versuch : 0\n", "\tSende : 3E 10 80 \t\t\tEmpfangen : "})
    EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line;
  driver_->WriteLog(QString(QChar(1)));
  EXPECT_FALSE(QFile::exists(driver_->LogFileName()));
}

}  // namespace
