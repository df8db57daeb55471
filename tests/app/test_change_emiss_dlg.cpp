// The "Change Emissivity" dialog against the emulated devices: the live
// write one second after a change (red and unwritten outside 0.1..1.1001),
// Cancel writing back the emissivity the device had at show, the single-
// colour device computing the emissivity itself (given temperature in °C or
// °F, typed with '.' or ','), and the search of the Brio families converging
// on a device whose reading follows the emissivity, stopping at the pass
// limit, on readings that allow no emissivity and on a silent device, and
// cancelled in the middle.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/change_emiss_dlg.h"
#include "drivers/brio/brio_notify.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/argo_wire.h"
#include "ui/d_spin_edit.h"

namespace {

using test_support::WaitForEvents;

bool IsRed(const TDSpinEdit* edit) { return edit->palette().color(QPalette::Base) == QColor(255, 0, 0); }

// Shows `dlg` (not modally: the test keeps the event loop) and waits until
// it has read the device.
void ShowAndWait(TChangeEmissDlg& dlg) {
  dlg.show();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.Busy() && dlg.btnOK->isEnabled(); }, 10000));
}

// Starts a calculation and waits for its end.
void Calculate(TChangeEmissDlg& dlg, const QString& given, int timeoutMs = 30000) {
  dlg.seTemp->setText(given);
  dlg.btnCalculate->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.Calculating(); }, timeoutMs)) << "the calculation did not end";
  EXPECT_TRUE(dlg.btnCalculate->isEnabled());
  EXPECT_TRUE(dlg.btnOK->isEnabled());
}

// ---------------------------------------------------------------------------
// Single colour

class ChangeEmissArgoTest : public argotest::ArgoSessionTest {
 protected:
  void Start(const std::function<void(ArgoDeviceState&)>& change = {}) {
    StartSession([&](ArgoDeviceState& s) {
      s.emissivity = 900;
      s.internalTemp = ArgoWire::EncodeTemperature(25.0);
      s.objectTemp = ArgoWire::EncodeTemperature(300.0);
      if (change) change(s);
    });
    // The allowed range of the calculation comes with the model information.
    RunOnSession([](TpyreonArgo& d) { d.GetModelInfo(); });
    dlg_ = std::make_unique<TChangeEmissDlg>();
    dlg_->Device = family_.get();
    dlg_->DeviceType = DeviceType::Argo;
    dlg_->TempMin = 0.0f;
    dlg_->TempMax = 1000.0f;
    model_->ClearRequests();
  }
  void TearDown() override {
    dlg_.reset();
    ArgoSessionTest::TearDown();
  }
  int Count(const QString& name) const {
    const auto names = RequestNames();
    return static_cast<int>(std::count(names.begin(), names.end(), name));
  }

  std::unique_ptr<TChangeEmissDlg> dlg_;
};

// A change is written a second after it was made; a value outside
// 0.1..1.1001 turns the edit red and is never written.
TEST_F(ChangeEmissArgoTest, LiveChangeWrittenAfterOneSecondOrRefused) {
  Start();
  ShowAndWait(*dlg_);
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.900"));
  EXPECT_FLOAT_EQ(dlg_->EmissivityOnShow(), 0.9f);
  const struct {
    const char* text;
    int written;  // thousandths; 0: refused
  } cases[] = {{"1.1", 1100}, {"0,5", 500}, {"0.099", 0}, {"1.2", 0}, {"0.1", 100}};
  for (const auto& c : cases) {
    model_->ClearRequests();
    const std::uint16_t before = State().emissivity;
    dlg_->seEmissivity->setText(QString::fromLatin1(c.text));
    EXPECT_TRUE(dlg_->ParamChangeTimer->isActive()) << c.text;
    EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), 0) << c.text;
    if (c.written != 0) {
      ASSERT_TRUE(WaitForEvents([&] { return State().emissivity == c.written; }, 5000)) << c.text;
      EXPECT_FALSE(IsRed(dlg_->seEmissivity)) << c.text;
    } else {
      ASSERT_TRUE(WaitForEvents([&] { return IsRed(dlg_->seEmissivity); }, 5000)) << c.text;
      EXPECT_TRUE(WaitForEvents([&] { return !dlg_->Busy(); }, 5000));
      EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), 0) << c.text;
      EXPECT_EQ(State().emissivity, before) << c.text;
    }
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->ParamChangeTimer->isActive() && !dlg_->Busy(); }, 5000));
  }
}

// Cancel after several live changes gives the device back the emissivity it
// had when the dialog was shown.
TEST_F(ChangeEmissArgoTest, CancelRestoresTheEmissivityAtShow) {
  Start();
  ShowAndWait(*dlg_);
  for (const char* text : {"0.8", "0.7"}) {
    dlg_->seEmissivity->setText(QString::fromLatin1(text));
    const int wanted = text[2] == '8' ? 800 : 700;
    ASSERT_TRUE(WaitForEvents([&] { return State().emissivity == wanted; }, 5000)) << text;
  }
  dlg_->btnCancel->click();
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(dlg_->result(), QDialog::Rejected);
  ASSERT_TRUE(WaitForEvents([&] { return State().emissivity == 900 && !family_->Busy(); }, 5000));
  // Nothing of the dialog's reaches the device afterwards.
  model_->ClearRequests();
  argotest::Pump(1500);
  EXPECT_TRUE(RequestNames().empty());
}

// OK keeps what was written, and a change still waiting for its second.
TEST_F(ChangeEmissArgoTest, OkKeepsTheWrittenEmissivity) {
  Start();
  ShowAndWait(*dlg_);
  dlg_->seEmissivity->setText(QStringLiteral("0.750"));
  dlg_->btnOK->click();
  EXPECT_EQ(dlg_->result(), QDialog::Accepted);
  ASSERT_TRUE(WaitForEvents([&] { return State().emissivity == 750 && !family_->Busy(); }, 5000));
}

// The single-colour device computes the emissivity from the given and the
// measured object temperature; with a surface of true emissivity 0.8 in
// view it then reads the given temperature.
TEST_F(ChangeEmissArgoTest, DeviceComputesTheEmissivity) {
  Start([](ArgoDeviceState& s) {
    s.emissivity = 1000;
    s.sceneTemp = ArgoWire::EncodeTemperature(500.0);
    s.sceneEmissivity = 800;
  });
  ShowAndWait(*dlg_);
  // The object temperature at show fills the given temperature.
  EXPECT_LT(dlg_->seTemp->Value(), 500.0);
  Calculate(*dlg_, QStringLiteral("500,0"));
  const ArgoDeviceState s = State();
  // The user reads what the device did, and the edit shows it at once.
  EXPECT_TRUE(dlg_->stCalculating->isVisible());
  EXPECT_EQ(dlg_->stCalculating->text(),
            QStringLiteral("The device calculated the emissivity %1 (it was 1.000).")
                .arg(s.emissivity / 1000.0, 0, 'f', 3));
  EXPECT_NEAR(dlg_->seEmissivity->Value(), s.emissivity / 1000.0, 1e-6);
  EXPECT_EQ(s.emissivityCalcRuns, 1);
  EXPECT_EQ(s.emissivityCalcT1, ArgoWire::EncodeTemperature(500.0));
  EXPECT_NEAR(s.emissivity, 800, 3);
  EXPECT_NEAR(ArgoWire::DecodeTemperature(s.objectTemp), 500.0, 0.6);
  // The edit shows the device's new emissivity at the next refresh.
  EXPECT_TRUE(WaitForEvents(
      [&] { return std::fabs(dlg_->seEmissivity->Value() - s.emissivity / 1000.0) < 1e-6; }, 5000));
}

// A device showing °F: the range of the given temperature follows the unit,
// and what is typed in °F reaches the device in Celsius.
TEST_F(ChangeEmissArgoTest, FahrenheitIsConvertedBeforeTheDeviceSeesIt) {
  Start([](ArgoDeviceState& s) { s.unit = 0; });
  ShowAndWait(*dlg_);
  EXPECT_TRUE(dlg_->Fahrenheit);
  EXPECT_DOUBLE_EQ(dlg_->seTemp->MinValue(), SentinelUtils::CelsiusToUnit(true, 0.0f));
  EXPECT_DOUBLE_EQ(dlg_->seTemp->MaxValue(), SentinelUtils::CelsiusToUnit(true, 1000.0f));
  EXPECT_EQ(dlg_->TempLbl1->text(), QStringLiteral(" [°F]:"));
  EXPECT_NEAR(dlg_->seTemp->Value(), 572.0, 0.1);  // 300 °C
  Calculate(*dlg_, QStringLiteral("932.0"));
  EXPECT_EQ(State().emissivityCalcT1, ArgoWire::EncodeTemperature(500.0));
}

// Only '.' and ',' separate the decimals of the given temperature: any
// other text is refused with a message and nothing is sent.
TEST_F(ChangeEmissArgoTest, GivenTemperatureTakesPointOrCommaOnly) {
  Start();
  ShowAndWait(*dlg_);
  for (const char* text : {"500;0", "500 0", "abc", ""}) {
    model_->ClearRequests();
    dlg_->seTemp->setText(QString::fromLatin1(text));
    dlg_->btnCalculate->click();
    EXPECT_FALSE(dlg_->Calculating()) << text;
    EXPECT_TRUE(IsRed(dlg_->seTemp)) << text;
    EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get())) << text;
    EXPECT_EQ(Count(QStringLiteral("StartEmissivityCalculation")), 0) << text;
  }
  for (const char* text : {"450.5", "450,5"}) {
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->Busy(); }, 5000));
    Calculate(*dlg_, QString::fromLatin1(text));
    EXPECT_EQ(State().emissivityCalcT1, ArgoWire::EncodeTemperature(450.5)) << text;
  }
}

// A device that does not answer when the dialog opens: the dialog says so,
// takes input, and its Cancel writes nothing (there is nothing to restore).
TEST_F(ChangeEmissArgoTest, SilentAtShowRestoresNothing) {
  Start();
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  ShowAndWait(*dlg_);
  EXPECT_LT(dlg_->EmissivityOnShow(), 0.0f);
  EXPECT_EQ(dlg_->stCalculating->text(), QStringLiteral("The device does not answer."));
  EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
  SetFaults([](ArgoFaults& f) { f.silent = false; });
  model_->ClearRequests();
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), 0);
  EXPECT_EQ(State().emissivity, 900);
  // Shown again with the device answering, the caption is back.
  dlg_->show();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->Busy(); }, 10000));
  EXPECT_FLOAT_EQ(dlg_->EmissivityOnShow(), 0.9f);
  EXPECT_FALSE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
  EXPECT_EQ(dlg_->stCalculating->text(), QStringLiteral("Calculating"));
}

// ---------------------------------------------------------------------------
// Brio families: the iterative search

class ChangeEmissBrioTest : public ::testing::Test {
 protected:
  void TearDown() override {
    dlg_.reset();
    family_.reset();
    emulator_.Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }

  // The second generation `profile`, with `live` values, connected.
  void StartSecond(const BrioLiveValues& live, const QString& profile = QStringLiteral("briov2")) {
    ASSERT_TRUE(emulator_.Start(2, profile, dir_.path(), kPort));
    emulator_.Model().SetLiveValues(live);
    family_ = std::make_unique<BrioMaFamily>(nullptr);
    bool loaded = false;
    family_->OnBrioNotify = [&, f = family_.get()](std::uint16_t msg, std::uint32_t, std::int32_t) {
      if (msg == MsgBrioPortOpened) f->PowerOn({});
      if (msg == MsgBrioDeviceFound) f->ReadConfiguration({});
      if (msg == MsgBrioAllLoaded) loaded = true;
    };
    family_->Open(kPort, 0, 0, {});
    ASSERT_TRUE(WaitForEvents([&] { return loaded && !family_->Busy(); }, 30000));
    family_->OnBrioNotify = nullptr;
    MakeDialog(family_->Snapshot().TypeCode);
  }

  // The first generation, with `live` values, connected and read.
  void StartFirst(BrioLiveValues live) {
    ASSERT_TRUE(emulator_.Start(1, QStringLiteral("voduz1"), dir_.path(), kPort));
    emulator_.Model().SetLiveValues(live);
    family_ = std::make_unique<BrioFamily>(nullptr, DeviceType::Voduz1);
    bool loaded = false;
    DeviceFamily* f = family_.get();
    f->OnComOpen = [f] { f->PowerOn({}); };
    f->OnConnect = [f] { f->ReadConfiguration({}); };
    f->OnAllLoaded = [&] { loaded = true; };
    f->Open(kPort, 0, 0, {});
    ASSERT_TRUE(WaitForEvents([&] { return loaded && !f->Busy(); }, 30000));
    f->OnComOpen = f->OnConnect = f->OnAllLoaded = nullptr;
    MakeDialog(DeviceType::Voduz1);
  }

  void MakeDialog(std::uint8_t type) {
    dlg_ = std::make_unique<TChangeEmissDlg>();
    dlg_->Device = family_.get();
    dlg_->DeviceType = type;
    dlg_->TempMin = -30.0f;
    dlg_->TempMax = 1000.0f;
    dlg_->PassPauseMs = 20;
    emulator_.Model().ClearRequests();
  }

  // A surface of true emissivity `trueEmissivity` at `celsius` in view of
  // a device at 25 °C set to 0.95.
  static BrioLiveValues Scene(double celsius, std::uint16_t trueEmissivity) {
    BrioLiveValues v;
    v.internal = 25.0;
    v.emissivity = 950;
    v.scene = true;
    v.sceneTemp = celsius;
    v.sceneEmissivity = trueEmissivity;
    return v;
  }
  // A device reading a fixed object temperature whatever its emissivity.
  static BrioLiveValues Fixed(double object, double internal) {
    BrioLiveValues v;
    v.target = object;
    v.internal = internal;
    v.emissivity = 950;
    return v;
  }
  int Count(const QString& name) const {
    int n = 0;
    for (const auto& r : emulator_.Model().Requests()) n += r.name == name ? 1 : 0;
    return n;
  }
  std::uint16_t Gen1Emissivity() const {
    const auto bytes = emulator_.Model().ReadMemory(0x0208, 2);
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
  }

  static constexpr int kPort = 9;
  QTemporaryDir dir_;
  test_support::BrioEmulator emulator_;
  std::unique_ptr<DeviceFamily> family_;
  std::unique_ptr<TChangeEmissDlg> dlg_;
};

// The search finds the emissivity at which the device reads the given
// temperature, on both generations.
TEST_F(ChangeEmissBrioTest, SearchConvergesOnTheSecondGeneration) {
  StartSecond(Scene(400.0, 700));
  ShowAndWait(*dlg_);
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.950"));
  Calculate(*dlg_, QStringLiteral("400.0"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::Converged);
  // A thousandth of emissivity moves the reading by about 0.24 °C here, so
  // the search may need the wider tolerance of the later passes.
  EXPECT_LE(dlg_->LastStep().Pass, 26);
  // The user reads what was found.
  EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
  EXPECT_EQ(dlg_->stCalculating->text(),
            QStringLiteral("Emissivity found: %1.").arg(dlg_->LastStep().Emissivity, 0, 'f', 3));
  EXPECT_FALSE(IsRed(dlg_->seTemp));
  EXPECT_NEAR(emulator_.Model().LiveValues().emissivity, 700, 3);
  EXPECT_NEAR(emulator_.Model().LiveValues().ShownTarget(), 400.0, 0.3);
  EXPECT_GE(Count(QStringLiteral("SetEmissivity")), 2);
}

TEST_F(ChangeEmissBrioTest, SearchConvergesOnTheFirstGeneration) {
  StartFirst(Scene(600.0, 850));
  ShowAndWait(*dlg_);
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.950"));
  Calculate(*dlg_, QStringLiteral("600,0"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::Converged);
  // The word went to 0x208 (low) and 0x209 (high).
  EXPECT_NEAR(Gen1Emissivity(), 850, 3);
  EXPECT_NEAR(dlg_->seEmissivity->Value() * 1000.0, Gen1Emissivity(), 0.6);
}

// A device whose reading does not follow the emissivity: the search stops at
// the pass limit and says so.
TEST_F(ChangeEmissBrioTest, SearchStopsAtThePassLimit) {
  StartSecond(Fixed(250.0, 25.0));
  dlg_->PassLimit = 3;
  ShowAndWait(*dlg_);
  Calculate(*dlg_, QStringLiteral("300"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::PassLimit);
  EXPECT_EQ(dlg_->LastStep().Pass, 3);
  EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), 3);
  EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
  EXPECT_TRUE(dlg_->stCalculating->text().contains(QStringLiteral("3 passes")));
}

// The object at the reference temperature allows no emissivity: nothing is
// written, the dialog says why and takes input again.
TEST_F(ChangeEmissBrioTest, ObjectAtTheReferenceWritesNothing) {
  StartSecond(Fixed(25.0, 25.0));
  ShowAndWait(*dlg_);
  Calculate(*dlg_, QStringLiteral("300"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::NoSolution);
  EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), 0);
  EXPECT_EQ(emulator_.Model().LiveValues().emissivity, 950);
  EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
}

// The given temperature out of reach: the emissivity stops at its bound and
// the given temperature turns red.
TEST_F(ChangeEmissBrioTest, GivenTemperatureOutOfReach) {
  StartSecond(Scene(400.0, 700));
  ShowAndWait(*dlg_);
  Calculate(*dlg_, QStringLiteral("40"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::OutOfReach);
  EXPECT_TRUE(IsRed(dlg_->seTemp));
  EXPECT_EQ(emulator_.Model().LiveValues().emissivity, 1100);
}

// A device that falls silent: the search ends with a message, without
// hanging, and the dialog takes input again.
TEST_F(ChangeEmissBrioTest, SilentDeviceEndsTheSearch) {
  StartSecond(Scene(400.0, 700));
  ShowAndWait(*dlg_);
  BrioFaults faults = emulator_.Model().Faults();
  faults.silent = true;
  emulator_.Model().SetFaults(faults);
  Calculate(*dlg_, QStringLiteral("400"));
  EXPECT_EQ(dlg_->LastStep().Result, EmissivitySearch::Outcome::NoReading);
  EXPECT_EQ(dlg_->stCalculating->text(), QStringLiteral("The device does not answer."));
  EXPECT_TRUE(dlg_->stCalculating->isVisibleTo(dlg_.get()));
}

// Cancel in the middle of a search ends it and writes back the emissivity
// of the show; no write of the search follows.
TEST_F(ChangeEmissBrioTest, CancelEndsTheSearchAndRestores) {
  StartSecond(Scene(400.0, 700));
  dlg_->PassPauseMs = 400;
  ShowAndWait(*dlg_);
  dlg_->seTemp->setText(QStringLiteral("400"));
  dlg_->btnCalculate->click();
  ASSERT_TRUE(dlg_->Calculating());
  ASSERT_TRUE(WaitForEvents([&] { return emulator_.Model().LiveValues().emissivity != 950; }, 10000));
  dlg_->btnCancel->click();
  EXPECT_FALSE(dlg_->Calculating());
  EXPECT_FALSE(dlg_->isVisible());
  ASSERT_TRUE(WaitForEvents([&] { return !family_->Busy(); }, 10000));
  EXPECT_EQ(emulator_.Model().LiveValues().emissivity, 950);
  const int writes = Count(QStringLiteral("SetEmissivity"));
  argotest::Pump(1500);
  EXPECT_EQ(Count(QStringLiteral("SetEmissivity")), writes);
  EXPECT_EQ(emulator_.Model().LiveValues().emissivity, 950);
}

}  // namespace
