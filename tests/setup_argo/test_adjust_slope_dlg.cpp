#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <optional>

#include "drivers/argo/argo_codec.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "platform/number_text.h"
#include "setup_argo/slope_device_backend.h"
#include "setup_common/adjust_slope_dlg.h"
#include "setup_common/slope_diagram.h"
#include "setup_common/slope_field_backend.h"
#include "tests/drivers/fixtures/argo_pty_fixture.h"
#include "tools/devsim/argo_wire.h"
#include "ui/d_spin_edit.h"

namespace {

using argotest::WaitForEvents;

void SetUnitTexts() {
  SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
  SentinelUtils::UnitFahrenheitText = QStringLiteral("°F");
  NumberText::SetDecimalSeparator(QChar('.'));
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

bool Settled(const TAdjustSlopeDlg& dlg) { return !dlg.SequenceRunning() && !dlg.WritePending(); }

// The field backend: texts, the fallback and a typed value written after
// the delay, kept in order at the range end.
TEST(AdjustSlopeDlgFieldTest, TextsAndDelayedWrite) {
  SetUnitTexts();
  SlopeFieldBackend fields(0, 1.0);  // 0..10 V, millivolts
  fields.LoTemp = 0;
  fields.HiTemp = 1000;
  fields.LoOutput = 0;
  fields.HiOutput = 10000;
  TAdjustSlopeDlg dlg;
  dlg.SetBackend(&fields);
  dlg.TempMin = 0;
  dlg.TempMax = 1000;
  dlg.show();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.stSlope->text() == QStringLiteral("10.000mV/°C"); }, 5000))
      << dlg.stSlope->text().toStdString();
  EXPECT_EQ(dlg.stOffset->text(), QStringLiteral("0.000V"));
  EXPECT_EQ(dlg.stLimitsLo1->text(), QStringLiteral("0.0°C = 0.00V"));
  EXPECT_EQ(dlg.stLimitsHi2->text(), QStringLiteral("10V = 1000°C"));
  EXPECT_FALSE(dlg.cbOutputMode4->parentWidget()->isVisible());

  // Equal temperatures arrive from outside: the fallback, no crash.
  fields.LoTemp = 500;
  fields.HiTemp = 500;
  ASSERT_TRUE(WaitForEvents([&] { return dlg.stLimitsLo1->text() == QStringLiteral("---"); }, 5000));
  EXPECT_EQ(dlg.stSlope->text(), QStringLiteral("20.000mV/°C"));

  // A low output typed above the range is clamped; the high output is at
  // the end already, so the pair lies against it.
  fields.HiTemp = 900;
  ASSERT_TRUE(WaitForEvents([&] { return dlg.stLimitsLo1->text() != QStringLiteral("---"); }, 5000));
  dlg.seLoRangeAnalogy->SetValue(12);
  EXPECT_FALSE(dlg.btnOk->isEnabled());
  ASSERT_TRUE(WaitForEvents([&] { return Settled(dlg) && fields.LoOutput != 0; }, 5000));
  // The output raster (default 1) keeps the points 0.1 V apart.
  EXPECT_EQ(fields.LoOutput, 9900);
  EXPECT_EQ(fields.HiOutput, 10000);
  EXPECT_TRUE(dlg.btnOk->isEnabled());

  // Text that is no number writes nothing, leaves the dialog usable, and
  // the value last read stands in for it when the other edit is written.
  dlg.seLoRangeAnalogy->SetValue(3);
  dlg.seHiRangeAnalogy->setText(QStringLiteral("-"));
  ASSERT_TRUE(WaitForEvents([&] { return Settled(dlg) && dlg.btnOk->isEnabled(); }, 5000));
  EXPECT_EQ(fields.LoOutput, 3000);
  EXPECT_EQ(fields.HiOutput, 10000);
  EXPECT_EQ(dlg.seHiRangeAnalogy->Value(), 10.0);

  // Cancel hands back the values of the opening.
  dlg.btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.isVisible(); }, 5000));
  EXPECT_EQ(fields.LoOutput, 0);
  EXPECT_EQ(fields.HiTemp, 1000.0f);
}

class AdjustSlopeDlgDeviceTest : public argotest::ArgoPtyTest {
 protected:
  void SetUp() override { SetUnitTexts(); }

  // Starts the emulator with `profile` and the analog output set by `change`,
  // opens it through a family session, reads its configuration as the main
  // window does before a setup dialog opens (the driver learns the model's
  // range, which its setters check), and shows the dialog on it.
  void OpenDialog(const QString& profile, const std::function<void(ArgoDeviceState&)>& change,
                  std::optional<std::pair<float, float>> tempLimits = std::nullopt) {
    StartDevice(profile);
    SetState(change);
    family_ = std::make_unique<ArgoFamily>();
    family_->OnError = [this](int code) { errors_.push_back(code); };
    bool opened = false;
    bool reported = false;
    family_->Open(argotest::kComPort, BaudIndex(ArgoProfiles::Find(profile)->baudRate), 0, [&](bool ok) {
      opened = ok;
      reported = true;
    });
    ASSERT_TRUE(WaitForEvents([&] { return reported; }, 10000));
    ASSERT_TRUE(opened);
    reported = false;
    family_->ReadConfiguration([&](bool) { reported = true; });
    ASSERT_TRUE(WaitForEvents([&] { return reported; }, 20000));
    backend_ = std::make_unique<SlopeDeviceBackend>(*family_);
    dlg_ = std::make_unique<TAdjustSlopeDlg>();
    dlg_->SetBackend(backend_.get());
    dlg_->TempMin = tempLimits ? tempLimits->first : family_->Snapshot().RangeLo;
    dlg_->TempMax = tempLimits ? tempLimits->second : family_->Snapshot().RangeHi;
    dlg_->TempRaster = 10;
    dlg_->OutputRaster = 1;
    dlg_->resize(700, 450);
    dlg_->show();
    const double hiTemp = Temp(State().outputTempMax);
    ASSERT_TRUE(
        WaitForEvents([&] { return Settled(*dlg_) && dlg_->seHiRangeTemp->Value() == hiTemp; }, 10000));
  }
  void OpenSingleColour() {
    OpenDialog(QStringLiteral("argo-current"), [](ArgoDeviceState& s) {
      s.alarmMode[3] = ArgoCodec::PackAlarmMode({3, 0, 1, 0});  // 0..10 V
      s.outputTempMin = ArgoWire::EncodeTemperature(400);
      s.outputTempMax = ArgoWire::EncodeTemperature(1000);
      s.scaledOutMin = 0;
      s.scaledOutMax = 5000;
    });
  }
  void TearDown() override {
    dlg_.reset();
    backend_.reset();
    if (family_) family_->Shutdown(500, 2000);
    family_.reset();
    ArgoPtyTest::TearDown();
  }

  static double Temp(std::uint16_t word) { return ArgoWire::DecodeTemperature(word); }

  std::unique_ptr<ArgoFamily> family_;
  std::unique_ptr<SlopeDeviceBackend> backend_;
  std::unique_ptr<TAdjustSlopeDlg> dlg_;
  std::vector<int> errors_;  // the driver's error codes
};

TEST_F(AdjustSlopeDlgDeviceTest, DragPastTheHighPointLeavesTheDevicePointsInOrder) {
  ASSERT_NO_FATAL_FAILURE(OpenSingleColour());
  SlopeDiagram* d = dlg_->pbDiagram;
  const QPoint low = d->PointPixel(SlopeDiagram::kLow);
  const QPoint target = d->Layout().ToPixel(1500, 8);
  Mouse(d, QEvent::MouseMove, low, Qt::NoButton);
  ASSERT_EQ(d->State(SlopeDiagram::kLow), SlopeDiagram::UnderMouse);
  Mouse(d, QEvent::MouseButtonPress, low, Qt::LeftButton);
  ASSERT_EQ(d->State(SlopeDiagram::kLow), SlopeDiagram::Dragged);
  Mouse(d, QEvent::MouseMove, target, Qt::LeftButton);
  Mouse(d, QEvent::MouseButtonRelease, target, Qt::NoButton);
  // Snapped to the rasters.
  EXPECT_EQ(dlg_->seLoRangeTemp->Value(), 1500.0);
  EXPECT_NEAR(dlg_->seLoRangeAnalogy->Value(), 8.0, 1e-9);

  ASSERT_TRUE(WaitForEvents([&] { return Settled(*dlg_) && State().scaledOutMax == 8100; }, 10000));
  const auto s = State();
  EXPECT_DOUBLE_EQ(Temp(s.outputTempMin), 1500.0);
  EXPECT_DOUBLE_EQ(Temp(s.outputTempMax), 1501.0);
  EXPECT_EQ(s.scaledOutMin, 8000);
  EXPECT_EQ(s.scaledOutMax, 8100);
  EXPECT_TRUE(dlg_->btnOk->isEnabled());
}

TEST_F(AdjustSlopeDlgDeviceTest, ModeFollowsTheDeviceAndCancelRestoresInOrder) {
  ASSERT_NO_FATAL_FAILURE(OpenSingleColour());
  const ArgoDeviceState opening = State();
  dlg_->seHiRangeAnalogy->SetValue(7.5);
  dlg_->seLoRangeTemp->SetValue(600);
  ASSERT_TRUE(WaitForEvents([&] { return Settled(*dlg_) && State().scaledOutMax == 7500; }, 10000));
  EXPECT_DOUBLE_EQ(Temp(State().outputTempMin), 600.0);

  // The device's mode changes elsewhere; the dialog follows once reads agree.
  SetState([](ArgoDeviceState& s) { s.alarmMode[3] = ArgoCodec::PackAlarmMode({3, 0, 1, 3}); });
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->cbOutputMode4->currentIndex() == 3; }, 10000));
  EXPECT_EQ(dlg_->seLoRangeAnalogy->MinValue(), 4.0);
  EXPECT_TRUE(dlg_->stLimitsLo2->text().startsWith(QStringLiteral("4mA = ")))
      << dlg_->stLimitsLo2->text().toStdString();

  // So does its display unit: the edits, their limits and the texts turn to degrees Fahrenheit.
  SetState([](ArgoDeviceState& s) { s.unit = 0; });
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->seHiRangeTemp->Value() == 1832.0; }, 10000));
  EXPECT_DOUBLE_EQ(dlg_->seLoRangeTemp->Value(), 1112.0);
  EXPECT_DOUBLE_EQ(dlg_->seLoRangeTemp->MinValue(), 662.0);
  EXPECT_TRUE(dlg_->stSlope->text().endsWith(QStringLiteral("/°F"))) << dlg_->stSlope->text().toStdString();

  model_->ClearRequests();
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  std::vector<int> writes;
  for (const auto& r : model_->Requests()) {
    if (r.command >= 0x80) writes.push_back(r.command);
  }
  EXPECT_EQ(writes, (std::vector<int>{0xA8, 0x98, 0x99, 0x91, 0x92}));
  const auto s = State();
  EXPECT_EQ(s.alarmMode[3], opening.alarmMode[3]);
  EXPECT_EQ(s.outputTempMin, opening.outputTempMin);
  EXPECT_EQ(s.outputTempMax, opening.outputTempMax);
  EXPECT_EQ(s.scaledOutMin, opening.scaledOutMin);
  EXPECT_EQ(s.scaledOutMax, opening.scaledOutMax);
}

// A device that falls silent: the edit's write fails without wedging the
// dialog (the unanswered write may or may not have been taken), the edit
// keeps the user's value, and Cancel still closes the dialog.
TEST_F(AdjustSlopeDlgDeviceTest, SilentDeviceNeitherHangsNorWedges) {
  ASSERT_NO_FATAL_FAILURE(OpenSingleColour());
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  dlg_->seHiRangeAnalogy->SetValue(7.5);
  ASSERT_TRUE(WaitForEvents([&] { return Settled(*dlg_) && dlg_->btnOk->isEnabled(); }, 60000));
  EXPECT_DOUBLE_EQ(dlg_->seHiRangeAnalogy->Value(), 7.5);
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 60000));
}

// Ratio firmware with process source 2: the temperatures are percentages,
// and the point pushed to keep the order goes out unscaled like the edited
// one (scaled by ten the device would refuse it and keep low above high).
TEST_F(AdjustSlopeDlgDeviceTest, PercentModePushesUnscaled) {
  ASSERT_NO_FATAL_FAILURE(OpenDialog(
      QStringLiteral("ratio"),
      [](ArgoDeviceState& s) {
        s.processSource = 2;
        s.alarmMode[3] = ArgoCodec::PackAlarmMode({3, 0, 1, 0});
        s.outputTempMin = ArgoWire::EncodeTemperature(10);
        s.outputTempMax = ArgoWire::EncodeTemperature(50);
        s.scaledOutMin = 0;
        s.scaledOutMax = 10000;
      },
      std::pair{-50.0f, 100.0f}));
  EXPECT_TRUE(dlg_->stLimitsLo1->text().startsWith(QStringLiteral("-50.0 % = ")))
      << dlg_->stLimitsLo1->text().toStdString();
  dlg_->seLoRangeTemp->SetValue(60);
  ASSERT_TRUE(WaitForEvents([&] { return Settled(*dlg_) && Temp(State().outputTempMin) == 60.0; }, 10000));
  EXPECT_DOUBLE_EQ(Temp(State().outputTempMax), 61.0);
  EXPECT_TRUE(errors_.empty());
}

// A thermocouple mode has no analog line: editing is off, the points and
// the line are gone, and the diagram still paints.
TEST(AdjustSlopeDlgFieldTest, ThermocoupleModeDisablesEditing) {
  SetUnitTexts();
  SlopeFieldBackend fields(4, 1.0);
  fields.HiTemp = 1000;
  fields.HiOutput = 10000;
  TAdjustSlopeDlg dlg;
  dlg.SetBackend(&fields);
  dlg.TempMin = 0;
  dlg.TempMax = 1000;
  dlg.resize(600, 400);
  dlg.show();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.SequenceRunning(); }, 5000));
  EXPECT_FALSE(dlg.seLoRangeTemp->isEnabled());
  EXPECT_FALSE(dlg.stSlope->isEnabled());
  EXPECT_TRUE(dlg.btnCancel->isEnabled());
  const QImage image = dlg.pbDiagram->grab().toImage();
  EXPECT_FALSE(image.isNull());
}

}  // namespace
