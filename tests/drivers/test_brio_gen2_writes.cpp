// The second-generation writers and burst start against the emulator's
// bootstrap loader: flash contents afterwards, the guards that keep an
// unread password off the line, and a device vanishing mid-programming.

#include <gtest/gtest.h>

#include "test_brio_gen2_fixture.h"

namespace briotest {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes Data(const TBrioImage<N>& image) {
  return Bytes(image.Data.begin(), image.Data.end());
}

template <std::size_t N>
void Fill(TBrioImage<N>& image, std::uint8_t seed) {
  for (std::size_t i = 0; i < N; ++i) image.Data[i] = static_cast<std::uint8_t>(seed + 7 * i);
}

class BrioGen2WriteTest : public BrioGen2Test {
 protected:
  void ReadEverything() {
    OpenAndPowerOn();
    driver_->Identify();
    driver_->ReadAllImages();
    ASSERT_TRUE(driver_->ConfigImage(1).Loaded);
    ASSERT_TRUE(driver_->VectorImage().Loaded);
    Deliver();
    sink_.got.clear();
    model_->ClearRequests();
  }
  int LoaderRequests() const {
    int n = 0;
    for (const auto& r : model_->Requests()) n += r.loader ? 1 : 0;
    return n;
  }
};

TEST_F(BrioGen2WriteTest, Briov2ImagesLandInFlashAndTheRestOfTheSegmentStays) {
  StartDevice(QStringLiteral("briov2"));
  ReadEverything();
  const Bytes untouched = model_->ReadMemory(0xC100, 256);
  BrioConfigImage config = driver_->ConfigImage(2);
  BrioExtendedImage extended = driver_->ExtendedImage();
  BrioCalibrationImage calibration = driver_->CalibrationImage(1);
  Fill(config, 0x11);
  Fill(extended, 0x22);
  Fill(calibration, 0x33);
  driver_->SetLogFile(true);
  ASSERT_TRUE(driver_->WriteBriov2Images(config, extended, calibration))
      << LogText().right(3000).toStdString();
  EXPECT_EQ(model_->ReadMemory(0x1000, 128), Data(config));
  EXPECT_EQ(model_->ReadMemory(0xC000, 256), Data(extended));
  EXPECT_EQ(model_->ReadMemory(0xC100, 256), untouched);
  EXPECT_EQ(model_->ReadMemory(0x1080, 128), Data(calibration));
  // Back in the application at 8N1 with the device powered.
  EXPECT_EQ(line_->Settings().parity, SerialLineSettings::Parity::None);
  EXPECT_TRUE(line_->Dtr());
  EXPECT_FALSE(driver_->Connected());
  EXPECT_TRUE(driver_->ConnectPollActive());
  Deliver();
  EXPECT_EQ(sink_.Count(MsgBrioDeviceFound), 0);
  EXPECT_EQ(sink_.Count(MsgBrioDisconnected), 0);
  // The device answers again after the restart.
  ASSERT_TRUE(test_support::WaitForEvents([&] { return driver_->Connected(); }, 5000));
}

TEST_F(BrioGen2WriteTest, FourToTwentyWritersZeroBytes40And41OnTheirOwnCopy) {
  struct Case {
    const char* name;
    bool (*write)(TpyreonBrio_mA&, const BrioConfigImage&, const BrioCalibrationImage&);
    bool zeroed;
    bool calibration;
  };
  const Case cases[] = {
      {"Dazo4_20",
       [](TpyreonBrio_mA& d, const BrioConfigImage& c, const BrioCalibrationImage&) {
         return d.WriteDazo4_20Configuration(c);
       },
       true, false},
      {"Kora",
       [](TpyreonBrio_mA& d, const BrioConfigImage& c, const BrioCalibrationImage&) {
         return d.WriteKoraConfiguration(c);
       },
       false, false},
      {"ConfigurationAndCalibration",
       [](TpyreonBrio_mA& d, const BrioConfigImage& c, const BrioCalibrationImage& k) {
         return d.WriteConfigurationAndCalibration(c, k);
       },
       true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartDevice(QStringLiteral("brio-2w"));
    ReadEverything();
    BrioConfigImage config = driver_->ConfigImage(1);
    BrioCalibrationImage calibration = driver_->CalibrationImage(1);
    Fill(config, 0x45);
    Fill(calibration, 0x67);
    const Bytes before = Data(config);
    const Bytes oldCalibration = model_->ReadMemory(0x1080, 128);
    ASSERT_TRUE(c.write(*driver_, config, calibration));
    Bytes expected = before;
    if (c.zeroed) expected[40] = expected[41] = 0;
    EXPECT_EQ(model_->ReadMemory(0x1000, 128), expected);
    EXPECT_EQ(Data(config), before);
    EXPECT_EQ(model_->ReadMemory(0x1080, 128), c.calibration ? Data(calibration) : oldCalibration);
    TearDown();
  }
}

// The loader's progress while the writers program: one report per loader
// step that succeeded, ending at 100 %; the step count follows from the
// segments written.
TEST_F(BrioGen2WriteTest, ProgressCountsTheLoaderSteps) {
  struct Case {
    const char* name;
    const char* profile;
    bool (*write)(TpyreonBrio_mA&);
    int steps;  // start + password + 2 per configuration or calibration block + 7 for the extended one
  };
  const Case cases[] = {
      {"configuration", "brio-2w",
       [](TpyreonBrio_mA& d) { return d.WriteDazo4_20Configuration(d.ConfigImage(1)); }, 4},
      {"calibration", "brio-2w",
       [](TpyreonBrio_mA& d) { return d.WriteCalibrationImage(d.CalibrationImage(1)); }, 4},
      {"configuration and calibration", "brio-2w",
       [](TpyreonBrio_mA& d) {
         return d.WriteConfigurationAndCalibration(d.ConfigImage(1), d.CalibrationImage(1));
       },
       6},
      {"configuration, extended and calibration", "briov2",
       [](TpyreonBrio_mA& d) {
         return d.WriteBriov2Images(d.ConfigImage(1), d.ExtendedImage(), d.CalibrationImage(1));
       },
       13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartDevice(QString::fromLatin1(c.profile));
    ReadEverything();
    std::vector<int> progress;
    driver_->SetProgressHandler([&](int percent) { progress.push_back(percent); });
    ASSERT_TRUE(c.write(*driver_));
    std::vector<int> expected;
    for (int k = 1; k <= c.steps; ++k) expected.push_back(k * 100 / c.steps);
    EXPECT_EQ(progress, expected);
    TearDown();
  }
}

// A device vanishing mid-programming leaves the progress short of 100 %.
TEST_F(BrioGen2WriteTest, ProgressStopsShortWhenTheDeviceVanishes) {
  StartDevice(QStringLiteral("brio-2w"));
  ReadEverything();
  SetFaults([](BrioFaults& f) { f.vanishAfterProgrammedBytes = 100; });
  std::vector<int> progress;
  driver_->SetProgressHandler([&](int percent) { progress.push_back(percent); });
  EXPECT_FALSE(
      driver_->WriteConfigurationAndCalibration(driver_->ConfigImage(1), driver_->CalibrationImage(1)));
  // Start, password and the first erase came through; the block did not.
  EXPECT_EQ(progress, (std::vector<int>{16, 33, 50}));
}

TEST_F(BrioGen2WriteTest, NothingIsSentWithoutImagesReadInThisConnection) {
  StartDevice(QStringLiteral("briov2"));
  ReadEverything();
  BrioConfigImage config = driver_->ConfigImage(1);
  BrioCalibrationImage calibration = driver_->CalibrationImage(1);
  const Bytes flash = model_->ReadMemory(0x1000, 256);
  // The port reopened: the images, the password among them, are stale.
  ASSERT_TRUE(driver_->OpenPort());
  ASSERT_TRUE(driver_->PowerOnHandshake(true));
  model_->ClearRequests();
  EXPECT_FALSE(driver_->WriteKoraImages(config, calibration));
  EXPECT_FALSE(driver_->StartBurst(0x0200, 0x0202, 0x0204));
  std::array<std::uint16_t, 8> codes{0x0200};
  EXPECT_FALSE(driver_->StartBurstExtended(codes));
  EXPECT_TRUE(model_->Requests().empty());
  EXPECT_EQ(model_->ReadMemory(0x1000, 256), flash);
  // With the vector image read but not the configuration: still nothing.
  ASSERT_TRUE(driver_->ReadVectorImage());
  model_->ClearRequests();
  EXPECT_FALSE(driver_->WriteBriov2Configuration(config));
  EXPECT_TRUE(model_->Requests().empty());
}

TEST_F(BrioGen2WriteTest, VanishingMidProgrammingFailsAndFlashShowsWhatWasWritten) {
  StartDevice(QStringLiteral("brio-2w"));
  ReadEverything();
  SetFaults([](BrioFaults& f) { f.vanishAfterProgrammedBytes = 100; });
  BrioConfigImage config = driver_->ConfigImage(1);
  BrioCalibrationImage calibration = driver_->CalibrationImage(1);
  Fill(config, 0x21);
  Fill(calibration, 0x43);
  const Bytes oldCalibration = model_->ReadMemory(0x1080, 128);
  EXPECT_FALSE(driver_->WriteConfigurationAndCalibration(config, calibration));
  Bytes expected = Data(config);
  expected[40] = expected[41] = 0;
  expected.resize(100);
  expected.resize(128, 0xFF);
  EXPECT_EQ(model_->ReadMemory(0x1000, 128), expected);
  // The calibration block was never reached.
  EXPECT_EQ(model_->ReadMemory(0x1080, 128), oldCalibration);
}

TEST_F(BrioGen2WriteTest, BurstStartProgramsTheChannelsAndStreams) {
  struct Case {
    const char* profile;
    bool extended;
    std::array<std::uint16_t, 8> codes;
    int frameLength;
    std::vector<std::uint16_t> streamed;
  };
  const Case cases[] = {
      {"brio-2w", false, {0x0200, 0x0202, 0x0204}, 8, {0x0200, 0x0202, 0x0204}},
      {"briov2", false, {0x0200, 0x0202, 0}, 6, {0x0200, 0x0202}},
      // "F" devices: codes from 0x0270 on move down by 4.
      {"duna-2w2m-v2", true, {0x0200, 0x0270, 0x026F}, 8, {0x0200, 0x026C, 0x026F}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    StartDevice(QString::fromLatin1(c.profile));
    ReadEverything();
    const bool ok = c.extended ? driver_->StartBurstExtended(c.codes)
                               : driver_->StartBurst(c.codes[0], c.codes[1], c.codes[2]);
    ASSERT_TRUE(ok);
    EXPECT_EQ(driver_->BurstFrameLength(), c.frameLength);
    EXPECT_EQ(BrioProfiles::BurstChannels(2, model_->Profile().featureWord, model_->ReadMemory(0x1000, 128)),
              c.streamed);
    ASSERT_TRUE(test_support::WaitForEvents([&] { return driver_->BurstCount() >= 5; }, 10000));
    Deliver();
    EXPECT_EQ(sink_.Count(MsgBrioBurstStart), 1);
    TBrioV2BurstRecord e;
    driver_->GetNextBurstEntry(e);
    EXPECT_EQ(e.Time, 0.0f);
    TearDown();
    sink_.got.clear();
  }
}

}  // namespace
}  // namespace briotest
