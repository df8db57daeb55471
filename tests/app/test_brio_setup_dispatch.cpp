// The Brio families' setup and loop-maintenance commands: which dialog and
// which write a device type code gets (tables), and the whole command
// against the emulated devices: the dialog starts from the device's images,
// OK writes the edited images to the device's flash and reports the result
// before the device is reconnected, Cancel writes nothing.

#include <gtest/gtest.h>

#include <QObject>
#include <QTemporaryDir>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "app/brio_loop_maintenance.h"
#include "app/brio_setup_dispatch.h"
#include "setup_brio/brio_setup_write_back.h"
#include "app/modal_result.h"
#include "drivers/brio/brio_notify.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/wait_for.h"

namespace {

using Routine = TBrioSetupWriteBack::TRoutine;
using SetupKind = TBrioSetupDispatch::TDialogKind;
using LoopKind = TBrioLoopMaintenance::TDialogKind;
using Bytes = std::vector<std::uint8_t>;

TBrioSetupImages ImagesWith(std::uint16_t calibrationVersion, std::uint16_t featureWord,
                            bool duna2W2Mv2 = false) {
  TBrioSetupImages images;
  images.Calibration.Data[0] = static_cast<std::uint8_t>(calibrationVersion & 0xFF);
  images.Calibration.Data[1] = static_cast<std::uint8_t>(calibrationVersion >> 8);
  images.FeatureWord = featureWord;
  images.IsDuna2W2Mv2 = duna2W2Mv2;
  return images;
}

TEST(BrioSetupChoice, DialogAndWriteByDeviceTypeCode) {
  struct Case {
    std::uint8_t code;
    std::uint16_t version;
    std::uint16_t features;
    bool duna2W2Mv2;
    SetupKind dialog;
    LoopKind loop;
    Routine routine;
  };
  const Case cases[] = {
      {0, 1000, 0, false, SetupKind::None, LoopKind::None, Routine::None},
      {1, 1000, 0, false, SetupKind::None, LoopKind::None, Routine::None},
      {2, 1000, 0, false, SetupKind::None, LoopKind::None, Routine::None},
      {3, 0, 0, false, SetupKind::Brio, LoopKind::Brio, Routine::Configuration},
      {4, 5000, 0, false, SetupKind::Brio, LoopKind::Brio, Routine::Configuration},
      // 4-20 mA models: the calibration layout their dialog edits.
      {5, 1000, 0, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::ConfigurationAndCalibration},
      {6, 1999, 0, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::ConfigurationAndCalibration},
      {7, 2500, 0x1000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::ConfigurationAndCalibration},
      {7, 10500, 0x1000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20,
       Routine::ConfigurationAndCalibration},
      {5, 2000, 0, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::ConfigurationAndNewCalibration},
      {6, 2999, 0x2000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20,
       Routine::ConfigurationAndNewCalibration},
      {7, 3000, 0x2000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20,
       Routine::ConfigurationAndNewCalibration},
      // The new-layout bit decides before the old firmware's default.
      {7, 1500, 0x2000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20,
       Routine::ConfigurationAndNewCalibration},
      {7, 1999, 0x3000, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20,
       Routine::ConfigurationAndNewCalibration},
      {5, 3000, 0, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::None},
      {7, 65535, 0x0001, false, SetupKind::Dazo4_20, LoopKind::Dazo4_20, Routine::None},
      {8, 1018, 0x4081, false, SetupKind::Briov2, LoopKind::Briov2, Routine::Briov2Images},
      {9, 3000, 0x0480, false, SetupKind::Briov2, LoopKind::Briov2, Routine::Briov2Images},
      {10, 1000, 0x0800, false, SetupKind::Kora, LoopKind::Dazo4_20, Routine::KoraImages},
      {11, 1000, 0x8080, true, SetupKind::Kora, LoopKind::Dazo4_20,
       Routine::KoraConfigurationThenCalibration},
      {12, 1000, 0, false, SetupKind::None, LoopKind::None, Routine::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "code " << int(c.code) << " version " << c.version << " features " << c.features);
    EXPECT_EQ(TBrioSetupDispatch::DialogKindOf(c.code), c.dialog);
    EXPECT_EQ(TBrioLoopMaintenance::DialogKindOf(c.code), c.loop);
    EXPECT_EQ(TBrioSetupWriteBack::Choose(c.code, ImagesWith(c.version, c.features, c.duna2W2Mv2)),
              c.routine);
  }
  EXPECT_EQ(TBrioSetupWriteBack::ResultKey(true), QStringLiteral("OK!"));
  EXPECT_EQ(TBrioSetupWriteBack::ResultKey(false), QStringLiteral("Failed!"));
}

// A dialog whose commands and the command's registry: only the kinds set
// have a dialog.
TEST(BrioSetupChoice, OnlyDialogsThatExistAreOffered) {
  struct Stub : TBrioSetupDialog {
    void SetImages(const TBrioSetupImages&, const TBrioSetupContext&) override {}
    void ParamsToControls() override {}
    void btnDefaultClick() override {}
    void SelectFirstPage() override {}
    int ShowModal() override { return mrCancel; }
    TBrioSetupImages Images() const override { return {}; }
  } kora;
  TBrioSetupDispatch dispatch;
  for (std::uint8_t code = 0; code <= 12; ++code) EXPECT_EQ(dispatch.DialogFor(code), nullptr) << int(code);
  dispatch.SetDialog(SetupKind::Kora, &kora);
  for (std::uint8_t code = 0; code <= 12; ++code)
    EXPECT_EQ(dispatch.DialogFor(code), code == 10 || code == 11 ? &kora : nullptr) << int(code);
}

// A setup dialog driven by the test: it keeps what it was given and gives
// back its images with `edit` applied, closing with `result`.
class ScriptedSetupDialog : public TBrioSetupDialog {
 public:
  void SetImages(const TBrioSetupImages& images, const TBrioSetupContext& context) override {
    given = images;
    context_ = context;
    edited = images;
  }
  void ParamsToControls() override {
    ++decodes;
    if (decodeThrows) throw std::runtime_error("undecodable image");
  }
  void btnDefaultClick() override { ++defaults; }
  void SelectFirstPage() override { ++firstPage; }
  int ShowModal() override {
    ++shows;
    if (edit) edit(edited);
    return result;
  }
  TBrioSetupImages Images() const override { return edited; }

  TBrioSetupImages given;
  TBrioSetupContext context_;
  TBrioSetupImages edited;
  std::function<void(TBrioSetupImages&)> edit;
  int result = mrOk;
  bool decodeThrows = false;
  int decodes = 0, defaults = 0, firstPage = 0, shows = 0;
};

template <std::size_t N>
void Fill(TBrioImage<N>& image, std::uint8_t seed) {
  for (std::size_t i = 0; i < N; ++i) image.Data[i] = static_cast<std::uint8_t>(seed + 7 * i);
}

template <std::size_t N>
Bytes Data(const TBrioImage<N>& image) {
  return Bytes(image.Data.begin(), image.Data.end());
}

constexpr int kPort = 9;

class BrioSetupDevice : public ::testing::Test {
 protected:
  void TearDown() override {
    if (family_) family_->Shutdown(200, 2000);
    family_.reset();
    emulator_.Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }

  // Starts profile `name` and connects its family until every image was read.
  void Connect(int generation, const char* name, std::uint16_t calibrationVersion = 0) {
    ASSERT_TRUE(emulator_.Start(generation, QString::fromLatin1(name), dir_.path(), kPort));
    if (calibrationVersion != 0) {
      const std::uint8_t word[2] = {static_cast<std::uint8_t>(calibrationVersion & 0xFF),
                                    static_cast<std::uint8_t>(calibrationVersion >> 8)};
      emulator_.Model().WriteMemory(0x1080, std::span<const std::uint8_t>(word, 2));
    }
    code_ = static_cast<std::uint8_t>(emulator_.Profile().deviceTypeCode);
    bool loaded = false;
    if (generation == 1) {
      family_ = std::make_unique<BrioFamily>(nullptr, code_);
      DeviceFamily& f = *family_;
      f.OnComOpen = [&f] { f.PowerOn({}); };
      f.OnConnect = [&f] { f.ReadConfiguration({}); };
      f.OnAllLoaded = [&] { loaded = true; };
    } else {
      family_ = std::make_unique<BrioMaFamily>(nullptr);
      DeviceFamily& f = *family_;
      f.OnBrioNotify = [&](std::uint16_t msg, std::uint32_t, std::int32_t) {
        if (msg == MsgBrioPortOpened) f.PowerOn({});
        if (msg == MsgBrioDeviceFound) f.ReadConfiguration({});
        if (msg == MsgBrioAllLoaded) loaded = true;
      };
    }
    family_->Open(kPort, 0, 0, {});
    ASSERT_TRUE(test_support::WaitForEvents([&] { return loaded; }, 30000));
    ASSERT_TRUE(family_->Snapshot().ImagesLoaded);
    // Nothing of the connection reaches the test any more.
    family_->OnComOpen = family_->OnConnect = family_->OnAllLoaded = nullptr;
    family_->OnBrioNotify = nullptr;
  }

  Bytes Flash(std::uint16_t address, std::size_t length) const {
    return emulator_.Model().ReadMemory(address, length);
  }

  // Runs the setup command with `dialog` until it finished.
  void RunSetup(ScriptedSetupDialog& dialog) {
    dispatch_.SetDialog(TBrioSetupDispatch::DialogKindOf(code_), &dialog);
    TBrioSetupContext context;
    context.DeviceName = QStringLiteral("Device");
    context.RangeHigh = 1600.0f;
    TBrioSetupDispatch::THooks hooks;
    hooks.Written = [this](const QString& key) {
      events_.push_back(QStringLiteral("written ") + key);
      reconnectPending_ = true;
    };
    hooks.Reconnect = [this] { events_.push_back(QStringLiteral("reconnect")); };
    hooks.Finished = [this](bool accepted) {
      events_.push_back(accepted ? QStringLiteral("finished OK") : QStringLiteral("finished"));
      finished_ = true;
    };
    ASSERT_TRUE(dispatch_.Run(code_, *family_, context, &owner_, std::move(hooks)));
    ASSERT_TRUE(test_support::WaitForEvents([&] { return finished_; }, 60000));
  }

  QTemporaryDir dir_;
  test_support::BrioEmulator emulator_;
  std::unique_ptr<DeviceFamily> family_;
  std::uint8_t code_ = 0;
  QObject owner_;
  TBrioSetupDispatch dispatch_;
  QStringList events_;
  bool finished_ = false;
  bool reconnectPending_ = false;
};

// One model line: what OK writes into the device's flash.
struct WriteCase {
  const char* name;
  int generation;
  const char* profile;
  std::uint16_t calibrationVersion;                    // 0: the profile's
  bool config, calibration, newCalibration, extended;  // which edits reach the flash
  bool zeroBytes40;                                    // the writer clears configuration bytes 40 and 41
  const char* result;
};

class BrioSetupWrites : public BrioSetupDevice, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(BrioSetupWrites, OkWritesTheEditedImagesReportsAndReconnects) {
  const WriteCase& c = GetParam();
  Connect(c.generation, c.profile, c.calibrationVersion);
  if (HasFatalFailure()) return;
  const Bytes configBefore = Flash(0x1000, 128);
  const Bytes calibrationBefore = Flash(0x1080, 128);
  const Bytes extendedBefore = Flash(0xC000, 256);

  ScriptedSetupDialog dialog;
  // Every byte edited but the calibration version, which names the layout.
  dialog.edit = [](TBrioSetupImages& images) {
    const std::uint16_t version = images.CalibrationVersion();
    Fill(images.Config, 0x21);
    Fill(images.Calibration, 0x43);
    Fill(images.NewCalibration, 0x65);
    Fill(images.Extended, 0x87);
    images.Calibration.Data[0] = static_cast<std::uint8_t>(version & 0xFF);
    images.Calibration.Data[1] = static_cast<std::uint8_t>(version >> 8);
  };
  RunSetup(dialog);

  // The dialog started from the device's own images.
  EXPECT_EQ(Data(dialog.given.Config), configBefore);
  EXPECT_EQ(Data(dialog.given.Calibration), calibrationBefore);
  EXPECT_EQ(dialog.context_.DeviceType, code_);
  EXPECT_EQ(dialog.shows, 1);
  EXPECT_EQ(dialog.firstPage, 1);
  EXPECT_EQ(dialog.defaults, 0);
  if (c.extended) {
    EXPECT_EQ(Data(dialog.given.Extended), extendedBefore);
  }

  Bytes config = c.config ? Data(dialog.edited.Config) : configBefore;
  if (c.config && c.zeroBytes40) config[40] = config[41] = 0;
  EXPECT_EQ(Flash(0x1000, 128), config);
  const Bytes calibration = c.calibration      ? Data(dialog.edited.Calibration)
                            : c.newCalibration ? Data(dialog.edited.NewCalibration)
                                               : calibrationBefore;
  EXPECT_EQ(Flash(0x1080, 128), calibration);
  EXPECT_EQ(Flash(0xC000, 256), c.extended ? Data(dialog.edited.Extended) : extendedBefore);
  // The result is shown before the pause, then the device is reconnected.
  EXPECT_EQ(events_, (QStringList{QStringLiteral("written ") + QString::fromLatin1(c.result),
                                  QStringLiteral("reconnect"), QStringLiteral("finished OK")}));
}

INSTANTIATE_TEST_SUITE_P(
    Models, BrioSetupWrites,
    ::testing::Values(
        WriteCase{"FirstGeneration", 1, "voduz1", 0, true, false, false, false, false, "OK!"},
        WriteCase{"FourToTwentyOldLayout", 2, "brio-2w", 0, true, true, false, false, true, "OK!"},
        WriteCase{"FourToTwentyNewLayout", 2, "brio-2w", 2500, true, false, true, false, true, "OK!"},
        // A calibration layout the dialog does not know: nothing is written,
        // which is no success.
        WriteCase{"FourToTwentyUnknownLayout", 2, "duna-2w-v1", 3000, false, false, false, false, false,
                  "Failed!"},
        WriteCase{"FennOldLayoutByFeature", 2, "fenn-2w-hires", 0, true, true, false, false, true, "OK!"},
        WriteCase{"Briov2", 2, "briov2", 0, true, true, false, true, false, "OK!"},
        WriteCase{"KoraOldLayout", 2, "duna-2w-v2", 0, true, true, false, false, false, "OK!"},
        WriteCase{"KoraNewLayout", 2, "duna-2w2m-v2", 0, true, false, true, false, false, "OK!"}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

// Cancel leaves the device's flash as it was and does not reconnect.
TEST_F(BrioSetupDevice, CancelWritesNothing) {
  Connect(2, "briov2");
  if (HasFatalFailure()) return;
  const Bytes flash = Flash(0x1000, 256);
  const Bytes extended = Flash(0xC000, 256);
  ScriptedSetupDialog dialog;
  dialog.edit = [](TBrioSetupImages& images) { Fill(images.Config, 0x11); };
  dialog.result = mrCancel;
  RunSetup(dialog);
  EXPECT_EQ(events_, QStringList{QStringLiteral("finished")});
  EXPECT_EQ(Flash(0x1000, 256), flash);
  EXPECT_EQ(Flash(0xC000, 256), extended);
}

// Images the dialog cannot decode give its defaults; the dialog is still
// shown.
TEST_F(BrioSetupDevice, UndecodableImagesFallBackToTheDefaults) {
  Connect(1, "dunav1");
  if (HasFatalFailure()) return;
  const Bytes flash = Flash(0x1000, 128);
  ScriptedSetupDialog dialog;
  dialog.decodeThrows = true;
  dialog.result = mrCancel;
  RunSetup(dialog);
  EXPECT_EQ(dialog.decodes, 1);
  EXPECT_EQ(dialog.defaults, 1);
  EXPECT_EQ(dialog.shows, 1);
  EXPECT_EQ(Flash(0x1000, 128), flash);
}

// A family of the other generation, or a code without a dialog: nothing
// starts.
TEST_F(BrioSetupDevice, NothingStartsWithoutDialogOrFittingFamily) {
  Connect(1, "voduz1");
  if (HasFatalFailure()) return;
  ScriptedSetupDialog dialog;
  TBrioSetupDispatch::THooks hooks;
  hooks.Finished = [&](bool) { finished_ = true; };
  EXPECT_FALSE(dispatch_.Run(code_, *family_, {}, &owner_, hooks));
  dispatch_.SetDialog(SetupKind::Briov2, &dialog);
  dispatch_.SetDialog(SetupKind::Brio, &dialog);
  EXPECT_FALSE(dispatch_.Run(DeviceType::Briov2, *family_, {}, &owner_, hooks));
  EXPECT_FALSE(dispatch_.Run(DeviceType::Argo, *family_, {}, &owner_, hooks));
  test_support::WaitForEvents([] { return false; }, 100);
  EXPECT_FALSE(finished_);
  EXPECT_EQ(dialog.shows, 0);
}

// A loop-maintenance dialog driven by the test: it looks at the device
// while it is shown.
class ProbingLoopDialog : public TBrioLoopMaintenanceDialog {
 public:
  void SetDevice(DeviceFamily* family) override { devices.push_back(family); }
  int ShowModal() override {
    if (probe) probe();
    return mrOk;
  }
  std::vector<DeviceFamily*> devices;
  std::function<void()> probe;
};

TEST_F(BrioSetupDevice, FirstGenerationLoopMaintenanceEntersAndPowersOnAgain) {
  Connect(1, "voduz1");
  if (HasFatalFailure()) return;
  TBrioLoopMaintenance loop;
  ProbingLoopDialog dialog;
  Bytes modeWhileShown;
  dialog.probe = [&] { modeWhileShown = Flash(0x0261, 1); };
  loop.SetDialog(LoopKind::Brio, &dialog);
  bool finished = false;
  ASSERT_TRUE(loop.Run(code_, *family_, &owner_, [&] { finished = true; }));
  ASSERT_TRUE(test_support::WaitForEvents([&] { return finished; }, 30000));
  EXPECT_EQ(modeWhileShown, Bytes{0x90});
  EXPECT_EQ(dialog.devices, (std::vector<DeviceFamily*>{family_.get(), nullptr}));
  // Powered on into normal operation: the device runs its firmware and
  // left the loop mode.
  EXPECT_EQ(emulator_.Model().CurrentMode(), BrioDeviceModel::Mode::Application);
  EXPECT_NE(Flash(0x0261, 1), Bytes{0x90});
}

TEST_F(BrioSetupDevice, SecondGenerationLoopMaintenanceStepsByModel) {
  struct Case {
    const char* profile;
    bool loopCommand;
  };
  for (const Case& c : {Case{"briov2", true}, Case{"duna-2w-v2", false}}) {
    SCOPED_TRACE(c.profile);
    Connect(2, c.profile);
    if (HasFatalFailure()) return;
    emulator_.Model().ClearRequests();
    TBrioLoopMaintenance loop;
    ProbingLoopDialog dialog;
    int loopRequestsWhileShown = -1;
    dialog.probe = [&] {
      loopRequestsWhileShown = 0;
      for (const BrioRequestRecord& r : emulator_.Model().Requests())
        if (r.name == QStringLiteral("SetLoopOutput")) ++loopRequestsWhileShown;
    };
    loop.SetDialog(TBrioLoopMaintenance::DialogKindOf(code_), &dialog);
    bool finished = false;
    ASSERT_TRUE(loop.Run(code_, *family_, &owner_, [&] { finished = true; }));
    ASSERT_TRUE(test_support::WaitForEvents([&] { return finished; }, 30000));
    EXPECT_EQ(loopRequestsWhileShown, c.loopCommand ? 1 : 0);
    EXPECT_EQ(emulator_.Model().CurrentMode(), BrioDeviceModel::Mode::Application);
    TearDown();
  }
}

}  // namespace
