// The ratio setup dialog on the emulated ratio model (pseudo-terminal):
// opening and Cancel, the tagged controls on the wire, files, OK's address,
// a change pending at Esc, the live display losing the device, the
// calibration page's switch, text that is no number, and the jogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/jog_image.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "setup_argo/vererodur_display_page.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "ui/d_spin_edit.h"
#include "ui/radio_group.h"

namespace {

using test_support::EventPump;

bool WaitForEvents(const std::function<bool()>& done, int timeoutMs = 5000) {
  return test_support::WaitForEvents(done, timeoutMs, EventPump::EventLoop);
}
void Pump(int ms) {
  WaitForEvents([] { return false; }, ms);
}
using Bytes = std::vector<std::uint8_t>;

std::uint16_t Word(double v) { return static_cast<std::uint16_t>(std::lround(v * 10 + 1000)); }

class VererodurDlgTest : public argotest::ArgoSessionTest {
 public:
  void TearDown() override {
    dlg_.reset();
    ArgoSessionTest::TearDown();
  }

  // The ratio model with `change`, read in full as the main window does,
  // and the dialog shown until its opening fill is done.
  void Open(const std::function<void(ArgoDeviceState&)>& change = {}, const QString& profile = QStringLiteral("ratio"),
            bool service = false) {
    StartSession(
        [&](ArgoDeviceState& s) {
          s.unit = 1;  // °C
          s.processSource = 0;
          s.advancedHoldMode = 0;
          s.averageTime = 0;
          s.peakHoldTime = 0;
          s.valleyHoldTime = 0;
          s.alarmSource = {1, 3, 0, 0, 0};
          s.dalFunction = {0, 0};
          s.singleColourTemp = Word(812.5);
          s.quotientTemp = Word(845.0);
          if (change) change(s);
        },
        profile);
    RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(false); });
    model_->ClearRequests();
    opening_ = State();
    dlg_ = std::make_unique<TVererodurDeviceSetupDlg>();
    dlg_->FServiceMode = service;
    dlg_->SetDevice(family_.get());
    dlg_->ShowMessage = [this](const QString& text) { messages_.push_back(text); };
    ShowDialog();
  }
  void ShowDialog() {
    dlg_->show();
    dlg_->activateWindow();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending() && dlg_->isActiveWindow(); }, 10000));
  }

  std::vector<QString> SetterNames() const {
    std::vector<QString> out;
    for (const auto& r : model_->Requests())
      if (r.name.startsWith(QLatin1String("Set"))) out.push_back(r.name);
    return out;
  }
  std::vector<Bytes> Setters() const {
    std::vector<Bytes> out;
    for (const auto& r : model_->Requests())
      if (r.name.startsWith(QLatin1String("Set"))) out.push_back(r.bytes);
    return out;
  }
  bool Settled() {
    return WaitForEvents([&] { return !dlg_->WritePending() && !dlg_->DeviceWorkPending() && !family_->Busy(); },
                         10000);
  }
  void ShowPageOf(QWidget* control) {
    for (int i = 0; i < dlg_->VereRodurDeviceSetup_PageControl->count(); ++i)
      if (dlg_->VereRodurDeviceSetup_PageControl->widget(i)->isAncestorOf(control)) dlg_->SetActivePage(i);
  }
  // Types `text` into a tagged control and leaves it, which writes at once.
  void TypeAndLeave(QWidget* control, const QString& text) {
    ShowPageOf(control);
    control->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitForEvents([&] { return control->hasFocus(); })) << control->objectName().toStdString();
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
      line->selectAll();
      line->insert(text);  // as typed: raises the edit's change
      if (text.isEmpty()) line->del();
    } else if (auto* spin = qobject_cast<TDSpinEdit*>(control)) {
      spin->setText(text);
    }
    ASSERT_TRUE(dlg_->WritePending() || text.isEmpty());
    dlg_->btnSave->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitForEvents([&] { return dlg_->btnSave->hasFocus(); }));
    ASSERT_TRUE(Settled());
  }
  void Choose(QComboBox* combo, int item) {
    ShowPageOf(combo);
    combo->setCurrentIndex(item);
    Q_EMIT combo->activated(item);
    ASSERT_TRUE(Settled());
  }
  void Cancel() {
    dlg_->btnCancel->click();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 20000));
    ASSERT_TRUE(WaitIdle());
  }

  std::unique_ptr<TVererodurDeviceSetupDlg> dlg_;
  std::vector<QString> messages_;
  ArgoDeviceState opening_;
};

// Opening fills every page, the refresh and the live display run, and
// Cancel then writes nothing: with one exception, an advanced hold mode
// stored under the attenuation process source, which opening clears (and
// Cancel does not bring back).
TEST_F(VererodurDlgTest, OpenThenCancelPutsNoSetterOnTheWire) {
  struct Case {
    const char* what;
    std::uint8_t processSource, advancedHoldMode;
    std::vector<QString> setters;
    int postProcItems;
  };
  const Case cases[] = {
      {"T 2C with an advanced hold", 0, 1, {}, 6},
      {"attenuation without one", 2, 0, {}, 4},
      {"attenuation with an advanced hold", 2, 2, {QStringLiteral("SetAdvancedHoldMode")}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open([&](ArgoDeviceState& s) {
      s.processSource = c.processSource;
      s.advancedHoldMode = c.advancedHoldMode;
    });
    EXPECT_EQ(dlg_->ActivePage(), 0);
    EXPECT_EQ(dlg_->stFirmware->text(), QStringLiteral("5016"));
    for (int page : {1, 3, 0}) {
      dlg_->SetActivePage(page);
      const int before = dlg_->RefreshCount();
      ASSERT_TRUE(WaitForEvents([&] { return dlg_->RefreshCount() > before; }, 10000)) << page;
    }
    ASSERT_TRUE(WaitForEvents([&] { return dlg_->LiveCount() > 0; }, 10000));
    EXPECT_EQ(dlg_->p1Ctemp->text(), QStringLiteral("812.5"));
    EXPECT_EQ(dlg_->p2Ctemp2->text(), QStringLiteral("845.0"));
    EXPECT_EQ(dlg_->lblDALInOut[0]->text(), QStringLiteral("OUTPUT"));
    EXPECT_EQ(dlg_->cbPostProcMode->count(), c.postProcItems);
    EXPECT_TRUE(dlg_->btnOK->isEnabled());
    Cancel();
    EXPECT_EQ(dlg_->result(), QDialog::Rejected);
    EXPECT_EQ(SetterNames(), c.setters);
    if (!c.setters.empty()) {
      EXPECT_EQ(Setters().front(), (Bytes{0x9D, 0x00, 0x9D}));
      EXPECT_EQ(State().advancedHoldMode, 0);
    }
    EXPECT_TRUE(messages_.empty());
    dlg_.reset();
    family_.reset();
    ArgoPtyTest::TearDown();
  }
}

// One table: a tagged control, what is typed or chosen, the device's unit
// and process source, and the register the device ends with.
TEST_F(VererodurDlgTest, TaggedControlsReachTheirRegisters) {
  struct Case {
    const char* what;
    bool fahrenheit;
    std::uint8_t processSource;
    std::function<void(VererodurDlgTest&, TVererodurDeviceSetupDlg&)> act;
    std::function<void(const ArgoDeviceState&)> check;
  };
  const auto type = [](auto member, QString text) {
    return [member, text](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) { t.TypeAndLeave(d.*member, text); };
  };
  const auto typeAlarm = [](int output, QString text) {
    return [output, text](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
      t.TypeAndLeave(d.seDAlarm[std::size_t(output)], text);
    };
  };
  using D = TVererodurDeviceSetupDlg;
  const Case cases[] = {
      {"emissivity, comma", false, 0, type(&D::eEpsilon, QStringLiteral("0,95")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.epsilon, 950); }},
      {"emissivity above 1", false, 0, type(&D::eEpsilon, QStringLiteral("1.5")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.epsilon, 1000); }},
      {"slope below 0.8", false, 0, type(&D::eSlope, QStringLiteral("0.5")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.slope, 800); }},
      {"gain 1C above 1.25", false, 0, type(&D::eGain1C, QStringLiteral("1.3")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.epsilon2, 1250); }},
      {"gain 2C", true, 0, type(&D::eGain2C, QStringLiteral("0.95")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.slope2, 950); }},
      {"attenuation limit above 99", false, 0, type(&D::eAttMax, QStringLiteral("120")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.limTau, Word(99)); }},
      {"output 1, Tquot, °C", false, 0, typeAlarm(0, QStringLiteral("1500")),
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.alarmValue[0][1], Word(1500));
         EXPECT_EQ(s.alarmSource[0], 1);  // the saved source is back
       }},
      {"output 1, Tquot, °F", true, 0, typeAlarm(0, QStringLiteral("1832")),
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.alarmValue[0][1], Word(1000)); }},
      {"output 2, Tau, percent in °F", true, 0, typeAlarm(1, QStringLiteral("50")),
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.alarmValue[1][3], Word(50));
         EXPECT_EQ(s.alarmSource[1], 3);
       }},
      {"output 1, process value under attenuation, °F", true, 2,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbDsource[0], 4);
         t.TypeAndLeave(d.seDAlarm[0], QStringLiteral("20"));
       },
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.alarmSource[0], 5);
         EXPECT_EQ(s.alarmValue[0][3], Word(20));  // the Tau slot
       }},
      {"threshold in °F", true, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbPostProcMode, 4);
         t.TypeAndLeave(d.seTreshold, QStringLiteral("2012"));
       },
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.advancedHoldMode, 1);
         EXPECT_EQ(s.advancedHoldThreshold, Word(1100));
       }},
      {"hysteresis in °F is a difference", true, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbPostProcMode, 5);
         t.TypeAndLeave(d.seHysterese, QStringLiteral("18"));
       },
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.advancedHoldHysteresis, 100); }},
      {"peak hold from nothing: 1.0 s, average 0.2 s", false, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) { t.Choose(d.cbPostProcMode, 2); },
       [](const ArgoDeviceState& s) {
         EXPECT_NE(s.peakHoldTime, 0);
         EXPECT_NE(s.averageTime, 0);
         EXPECT_EQ(s.valleyHoldTime, 0);
         EXPECT_EQ(s.advancedHoldMode, 0);
       }},
      {"attenuation removes the advanced items and ends the advanced hold", false, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbPostProcMode, 4);
         t.Choose(d.cbProcessSource, 2);
         d.btnSave->setFocus(Qt::TabFocusReason);
         ASSERT_TRUE(t.Settled());
         EXPECT_EQ(d.cbPostProcMode->count(), 4);
         EXPECT_EQ(d.cbPostProcMode->currentIndex(), 0);
         EXPECT_EQ(d.TempLbl4->text(), QStringLiteral("[%]"));
         t.Choose(d.cbProcessSource, 0);
         d.btnSave->setFocus(Qt::TabFocusReason);
         ASSERT_TRUE(t.Settled());
         EXPECT_EQ(d.cbPostProcMode->count(), 6);
       },
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.processSource, 0);
         EXPECT_EQ(s.advancedHoldMode, 0);
       }},
      {"smart averaging and its threshold in °F", true, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbPostProcMode, 1);
         d.cbSmartAveraging->click();
         ASSERT_TRUE(t.Settled());
         t.TypeAndLeave(d.seSmartThreshold, QStringLiteral("9"));
       },
       [](const ArgoDeviceState& s) {
         EXPECT_EQ(s.averageMode, 1);
         EXPECT_EQ(s.smartThreshold, 50);
       }},
      {"output mode 4..20 mA", false, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) { t.Choose(d.cbOutputMode4, 3); },
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.alarmMode[3] & 0x07, 3); }},
      {"digital output 2: function valid low", false, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.Choose(d.cbDfunction[1], 1);
         EXPECT_FALSE(d.seDAlarm[1]->isEnabled());
         EXPECT_FALSE(d.cbDsource[1]->isEnabled());
       },
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.dalFunction[1], 1); }},
      {"digital output 1 normally closed", false, 0,
       [](VererodurDlgTest& t, TVererodurDeviceSetupDlg& d) {
         t.ShowPageOf(d.rgDnormally[0]);
         d.rgDnormally[0]->SetItemIndex(1);
         d.btnSave->setFocus(Qt::TabFocusReason);
         ASSERT_TRUE(t.Settled());
       },
       [](const ArgoDeviceState& s) { EXPECT_EQ(s.normallyOpen[0], 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open([&](ArgoDeviceState& s) {
      s.unit = c.fahrenheit ? 0 : 1;
      s.processSource = c.processSource;
      s.normallyOpen = {0, 0, 0, 0, 0};
    });
    c.act(*this, *dlg_);
    ASSERT_TRUE(Settled());
    c.check(State());
    EXPECT_TRUE(messages_.empty()) << (messages_.empty() ? std::string() : messages_.front().toStdString());
    EXPECT_TRUE(dlg_->btnOK->isEnabled());
    // Cancel takes every change back.
    Cancel();
    EXPECT_EQ(State(), opening_);
    dlg_.reset();
    family_.reset();
    ArgoPtyTest::TearDown();
  }
}

// The idle refresh really refreshes (the main window hears the unit once a
// second, a change behind the dialog's back shows), rests while a change is
// pending, and does not start while the device does not answer.
TEST_F(VererodurDlgTest, RefreshFollowsTheDeviceAndRestsWhileAChangeIsPending) {
  Open([](ArgoDeviceState& s) { s.unit = 0; });
  int calls = 0;
  bool unit = false;
  dlg_->FOnSettingsChanged = [&](QObject* sender, bool fahrenheit) {
    EXPECT_EQ(sender, dlg_.get());
    unit = fahrenheit;
    ++calls;
  };
  ASSERT_TRUE(WaitForEvents([&] { return calls >= 2; }, 10000));
  EXPECT_TRUE(unit);
  EXPECT_EQ(dlg_->TempLbl0->text(), QStringLiteral(" [°F]:"));
  SetState([](ArgoDeviceState& s) { s.slope = 1100; });
  RunOnSession([](TpyreonArgo& d) { d.GetSlope(); });
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->eSlope->text() == QStringLiteral("1.100"); }, 10000));

  // A change on its way: no refresh until it is written.
  ShowPageOf(dlg_->eEpsilon);
  dlg_->eEpsilon->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->eEpsilon->hasFocus(); }));
  dlg_->eEpsilon->selectAll();
  dlg_->eEpsilon->insert(QStringLiteral("0.8"));
  const int pending = dlg_->RefreshCount();
  // For as long as the change waits for its timer, no refresh comes.
  ASSERT_TRUE(dlg_->WritePending());
  bool refreshedWhilePending = false;
  ASSERT_TRUE(WaitForEvents(
      [&] {
        if (!dlg_->WritePending()) return true;
        if (dlg_->RefreshCount() != pending) refreshedWhilePending = true;
        if (dlg_->eEpsilon->text() != QStringLiteral("0.8")) refreshedWhilePending = true;
        return false;
      },
      10000));
  EXPECT_FALSE(refreshedWhilePending);
  ASSERT_TRUE(WaitForEvents([&] { return State().epsilon == 800; }, 10000));
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->RefreshCount() > pending; }, 10000));
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("0.800"));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
}

// A write the device never confirms is reported by name, once.
TEST_F(VererodurDlgTest, AWriteTheDeviceDoesNotConfirmIsReported) {
  Open();
  dlg_->tiAnzeige->stop();  // the live display would close the dialog
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 1; });
  TypeAndLeave(dlg_->eSlope, QStringLiteral("0.9"));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].contains(QStringLiteral("SLOPE"))) << messages_[0].toStdString();
  EXPECT_EQ(dlg_->eSlope->text(), QStringLiteral("0.9"));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
}

TEST_F(VererodurDlgTest, TextThatIsNoNumberWritesNothing) {
  Open();
  for (QWidget* control : std::initializer_list<QWidget*>{dlg_->eEpsilon, dlg_->eAttMax, dlg_->seDAlarm[0]}) {
    SCOPED_TRACE(control->objectName().toStdString());
    TypeAndLeave(control, QStringLiteral("abc"));
    TypeAndLeave(control, QString());
  }
  EXPECT_TRUE(SetterNames().empty());
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("1.000"));
  EXPECT_EQ(dlg_->eAttMax->text(), QStringLiteral("10.0"));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
  // Still usable: the next edit is written.
  TypeAndLeave(dlg_->eEpsilon, QStringLiteral("0.9"));
  EXPECT_EQ(SetterNames(), (std::vector<QString>{QStringLiteral("SetEpsilon")}));
}

TEST_F(VererodurDlgTest, OkWritesTheAddressOnlyWhenChanged) {
  Open();
  dlg_->btnOK->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  EXPECT_EQ(dlg_->result(), QDialog::Accepted);
  EXPECT_TRUE(SetterNames().empty());
  ShowDialog();
  dlg_->seAddress->setValue(5);
  dlg_->btnOK->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x90, 0x05, 0x95}}));
}

// The lock button asks the device for its lock and writes the inverse, so
// a lock changed at the device since the full read (which does not read
// it on this firmware) is not undone by a click that meant to set it.
TEST_F(VererodurDlgTest, PanelLockWritesTheInverseOfTheDevicesOwnState) {
  Open([](ArgoDeviceState& s) { s.panelLock = 0; });
  ShowPageOf(dlg_->sbtnPanelLock);
  ASSERT_TRUE(dlg_->sbtnPanelLock->isEnabled());
  EXPECT_FALSE(dlg_->sbtnPanelLock->isChecked());
  dlg_->sbtnPanelLock->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().panelLock, 1);
  EXPECT_TRUE(dlg_->sbtnPanelLock->isChecked());
  EXPECT_EQ(dlg_->sbtnPanelLock->text(), QStringLiteral("Locked"));
  // Unlocked at the device meanwhile: the next click locks it again.
  SetState([](ArgoDeviceState& s) { s.panelLock = 0; });
  dlg_->sbtnPanelLock->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().panelLock, 1);
  EXPECT_TRUE(dlg_->sbtnPanelLock->isChecked());
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x44, 0x01, 0x45}, {0x44, 0x01, 0x45}}));
  EXPECT_TRUE(messages_.empty());
}

// A change still pending when Esc is pressed is dropped, and nothing of it
// reaches the device when the dialog opens again.
TEST_F(VererodurDlgTest, EscWithAPendingChangeThenReopeningWritesNothing) {
  Open();
  ShowPageOf(dlg_->eEpsilon);
  dlg_->eEpsilon->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->eEpsilon->hasFocus(); }));
  dlg_->eEpsilon->selectAll();
  dlg_->eEpsilon->insert(QStringLiteral("0.5"));
  ASSERT_TRUE(dlg_->WritePending());
  EXPECT_FALSE(dlg_->btnOK->isEnabled());
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(dlg_.get(), &esc);
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  ShowDialog();
  Pump(TVererodurDeviceSetupDlg::kEditDelayMs + 500);
  EXPECT_TRUE(SetterNames().empty());
  EXPECT_EQ(State().epsilon, opening_.epsilon);
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("1.000"));
}

TEST_F(VererodurDlgTest, SaveGivesTheFileAndAFailedSaveIsReported) {
  Open();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString proposed;
  const QString file = dir.filePath(QStringLiteral("ARQ_test.cfg"));
  dlg_->ChooseFile = [&](bool save, const QString& name) {
    EXPECT_TRUE(save);
    proposed = name;
    return file;
  };
  dlg_->btnSave->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(proposed, QStringLiteral("ARQ_%1.cfg").arg(dlg_->Cache().SerialNumber));
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  // The file as saved, its date left out.
  QByteArray bytes = saved.readAll();
  const qsizetype date = bytes.indexOf("Date=");
  ASSERT_GE(date, 0);
  const qsizetype end = bytes.indexOf('\r', date);
  ASSERT_GT(end, date);
  bytes.remove(date + 5, end - date - 5);
  QFile golden(QStringLiteral(TS_SOURCE_DIR "/tests/setup_argo/data/ratio_5016.cfg"));
  ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
  EXPECT_EQ(bytes, golden.readAll());
  EXPECT_TRUE(SetterNames().empty());
  EXPECT_TRUE(messages_.empty());

  dlg_->ChooseFile = [&](bool, const QString&) { return dir.filePath(QStringLiteral("no/such/folder/x.cfg")); };
  dlg_->btnSave->click();
  ASSERT_TRUE(Settled());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].contains(QStringLiteral("x.cfg"))) << messages_[0].toStdString();
}

// A file loaded while the dialog is open is written to the device and
// shown; Cancel then restores the device as it was before the load.
TEST_F(VererodurDlgTest, LoadRefillsAndCancelUndoesIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("ARQ_load.cfg"));
  Open([](ArgoDeviceState& s) {
    s.epsilon = 900;
    s.busAddress = 3;
  });
  dlg_->ChooseFile = [&](bool, const QString&) { return file; };
  dlg_->btnSave->click();
  ASSERT_TRUE(Settled());
  Cancel();

  // The device changes behind the dialog's back; the dialog opens on it.
  SetState([](ArgoDeviceState& s) {
    s.epsilon = 700;
    s.slope = 1100;
    s.busAddress = 0;
  });
  RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(false); });
  const ArgoDeviceState beforeLoad = State();
  model_->ClearRequests();
  ShowDialog();
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("0.700"));
  dlg_->btnLoad->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending() && State().epsilon == 900; }, 30000));
  ASSERT_TRUE(Settled());
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("0.900"));
  EXPECT_EQ(dlg_->eSlope->text(), QStringLiteral("1.000"));
  // The file's address is shown; only OK would write it.
  EXPECT_EQ(dlg_->seAddress->value(), 3);
  EXPECT_EQ(State().busAddress, 0);
  EXPECT_TRUE(dlg_->isVisible());
  Cancel();
  EXPECT_EQ(State(), beforeLoad);
  EXPECT_TRUE(messages_.empty());
}

// The device vanishing while the live display runs closes the dialog,
// without a restore and without a hang.
TEST_F(VererodurDlgTest, TheDeviceVanishingClosesTheDialog) {
  Open();
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->LiveCount() > 0; }, 10000));
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 30000));
  EXPECT_EQ(dlg_->result(), QDialog::Rejected);
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(SetterNames().empty());
}

TEST_F(VererodurDlgTest, TheCalibrationPageNeedsTheServiceSwitch) {
  struct Case {
    const char* profile;
    bool service;
    bool tab, panel;
  };
  const Case cases[] = {
      {"ratio-5015", true, true, true},
      {"ratio", true, true, false},
      {"ratio", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.profile) + (c.service ? " /SRVC" : ""));
    Open({}, QString::fromLatin1(c.profile), c.service);
    EXPECT_EQ(dlg_->VereRodurDeviceSetup_PageControl->isTabVisible(4), c.tab);
    if (c.tab) {
      auto* panel = dlg_->CalibrationPage->findChild<QWidget*>(QStringLiteral("pnlFWrev"));
      auto* group = dlg_->CalibrationPage->findChild<QWidget*>(QStringLiteral("gbRatioCali"));
      ASSERT_NE(panel, nullptr);
      ASSERT_NE(group, nullptr);
      EXPECT_EQ(panel->isVisibleTo(dlg_->CalibrationPage), c.panel);
      EXPECT_EQ(group->isVisibleTo(dlg_->CalibrationPage), !c.panel);
    }
    Cancel();
    dlg_.reset();
    family_.reset();
    ArgoPtyTest::TearDown();
  }
}

void Mouse(TJogImage* image, QEvent::Type type, int y) {
  const QPointF pos(image->width() / 2.0, y);
  QMouseEvent event(type, pos, image->mapToGlobal(pos), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(image, &event);
}

TEST_F(VererodurDlgTest, JogsStepTheirValues) {
  Open([](ArgoDeviceState& s) {
    s.epsilon = 500;
    s.limTau = Word(95);
  });
  dlg_->SetActivePage(1);
  TJogImage* eps = dlg_->imgEpsilon;
  const int centre = eps->height() / 2;
  // A quick click above the centre: one unit up.
  Mouse(eps, QEvent::MouseButtonPress, centre - 5);
  Mouse(eps, QEvent::MouseButtonRelease, centre - 5);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().epsilon, 501);
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("0.501"));
  // Held 70 pixels below the centre: down by 0.1 every 250 ms.
  Mouse(eps, QEvent::MouseButtonPress, centre + 5);
  Mouse(eps, QEvent::MouseMove, centre + 70);
  EXPECT_EQ(eps->State(), -4);
  ASSERT_TRUE(WaitForEvents([&] { return State().epsilon <= 301; }, 10000));
  // Held longer than a click: the release adds no unit step.
  Pump(RatioDisplayJog::kClickMs);
  Mouse(eps, QEvent::MouseButtonRelease, centre + 70);
  EXPECT_EQ(eps->State(), 0);
  ASSERT_TRUE(Settled());
  const std::uint16_t stopped = State().epsilon;
  EXPECT_EQ((501 - stopped) % 100, 0);
  Pump(600);
  EXPECT_EQ(State().epsilon, stopped);
  // The attenuation jog steps in tenths and stays within -50..99.
  TJogImage* tau = dlg_->imgTauMin;
  const int tc = tau->height() / 2;
  Mouse(tau, QEvent::MouseButtonPress, tc - 5);
  Mouse(tau, QEvent::MouseMove, tc - 40);
  EXPECT_EQ(tau->State(), 2);
  ASSERT_TRUE(WaitForEvents([&] { return State().limTau == Word(99); }, 10000));
  Pump(600);
  EXPECT_EQ(State().limTau, Word(99));
  Mouse(tau, QEvent::MouseButtonRelease, tc - 40);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(dlg_->eAttMax->text(), QStringLiteral("99.0"));
  EXPECT_TRUE(messages_.empty());
}

}  // namespace

namespace {

// The display settings page inside the dialog: a row change still waiting
// when Cancel is clicked never reaches the device; OK writes it first. A
// threshold-mode value is written by the dialog's change timer.
TEST_F(VererodurDlgTest, DisplayPageWritesFollowOkAndCancel) {
  Open([](ArgoDeviceState& s) {
    s.ratioAlarmMode = 0;  // ranges mode: the rows are shown
    s.visualAlarmSource = 0;
  });
  dlg_->SetActivePage(2);
  auto* blue = dlg_->DisplayPage->findChild<QCheckBox*>(QStringLiteral("cbBlue0"));
  ASSERT_NE(blue, nullptr);
  ASSERT_TRUE(blue->isEnabled());
  blue->click();
  ASSERT_TRUE(dlg_->WritePending());
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  Pump(TVererodurDeviceSetupDlg::kEditDelayMs);
  EXPECT_TRUE(SetterNames().empty());
  EXPECT_EQ(State().visualAlarm, opening_.visualAlarm);

  ShowDialog();
  dlg_->SetActivePage(2);
  blue = dlg_->DisplayPage->findChild<QCheckBox*>(QStringLiteral("cbBlue0"));
  ASSERT_NE(blue, nullptr);
  blue->click();
  ASSERT_TRUE(dlg_->WritePending());
  dlg_->btnOK->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  EXPECT_EQ(dlg_->result(), QDialog::Accepted);
  ASSERT_TRUE(WaitIdle());
  EXPECT_NE(State().visualAlarm, opening_.visualAlarm);
  EXPECT_EQ(State().visualAlarm[1], opening_.visualAlarm[1]);
}

TEST_F(VererodurDlgTest, ThresholdModeValuesAreWrittenByTheDialog) {
  Open([](ArgoDeviceState& s) {
    s.unit = 0;               // °F
    s.ratioAlarmMode = 0x01;  // threshold mode
  });
  dlg_->SetActivePage(2);
  auto* value = dlg_->DisplayPage->findChild<TDSpinEdit*>(QStringLiteral("dseValueBlue"));
  ASSERT_NE(value, nullptr);
  ASSERT_TRUE(value->isVisibleTo(dlg_.get()));
  TypeAndLeave(value, QStringLiteral("2012"));
  EXPECT_EQ(SetterNames(), (std::vector<QString>{QStringLiteral("SetAlarm1")}));
  EXPECT_EQ(State().alarm[0], Word(1100));
  auto* closed = dlg_->DisplayPage->findChild<RadioGroup*>(QStringLiteral("rgNoNcRed"));
  ASSERT_NE(closed, nullptr);
  closed->SetItemIndex(1);
  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().ratioAlarmMode, 0x09);
  EXPECT_TRUE(messages_.empty());
}

// The factory values read back by the calibration page fill the dialog
// again on the page shown, and Cancel then restores them.
TEST_F(VererodurDlgTest, FactoryValuesFillTheDialogAndBecomeWhatCancelRestores) {
  Open({}, QStringLiteral("ratio"), true);
  dlg_->SetActivePage(4);
  SetState([](ArgoDeviceState& s) { s.epsilon = 850; });
  RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(false); });
  ArgoSetupSession::TOutcome outcome;
  outcome.ran = true;
  outcome.connected = true;
  RunOnSession([&](TpyreonArgo& d) { outcome.config = d.Config(); });
  const ArgoDeviceState factory = State();
  model_->ClearRequests();
  Q_EMIT dlg_->CalibrationPage->factoryValuesLoaded(outcome);
  EXPECT_EQ(dlg_->ActivePage(), 4);
  EXPECT_EQ(dlg_->eEpsilon->text(), QStringLiteral("0.850"));
  Cancel();
  EXPECT_EQ(State(), factory);
  EXPECT_TRUE(SetterNames().empty());
}

}  // namespace

namespace {

// Stepping the average time down from 0.10 lands on 0.09 with two
// decimals; stepping up again returns to one decimal.
TEST_F(VererodurDlgTest, AverageTimeStepsBelowATenth) {
  Open([](ArgoDeviceState& s) { s.averageTime = 0; });
  Choose(dlg_->cbPostProcMode, 1);
  TDSpinEdit* avg = dlg_->seAvgTime;
  TypeAndLeave(avg, QStringLiteral("0.1"));
  avg->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return avg->hasFocus(); }));
  avg->StepDown();
  EXPECT_EQ(avg->text(), QStringLiteral("0.09"));
  EXPECT_EQ(avg->Decimal(), 2);
  avg->StepUp();
  EXPECT_EQ(avg->text(), QStringLiteral("0.10"));
  EXPECT_EQ(avg->Decimal(), 1);
  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(dlg_->Cache().AverageTime, 0.1f);
}

}  // namespace

namespace {

// Every temperature unit label of the dialog reads " [unit]:", also those
// of the calibration page and of the threshold-mode values, in the unit
// the device shows.
TEST_F(VererodurDlgTest, UnitLabelsOnEveryPageReadAlike) {
  Open(
      [](ArgoDeviceState& s) {
        s.unit = 0;               // °F
        s.ratioAlarmMode = 0x01;  // threshold mode: its values are shown
      },
      QStringLiteral("ratio"), true);
  dlg_->SetActivePage(2);
  for (const char* name : {"TempLbl0", "TempLbl2", "TempLbl3", "TempLbl7", "TempLbl8", "TempLbl9", "TempLbl10",
                           "TempLbl12", "TempLbl13", "TempLBL14"}) {
    auto* label = dlg_->findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->text(), QStringLiteral(" [°F]:")) << name;
  }
}

// The display page's two source combos are written by the change timer:
// 500 ms after the choice (OK disabled meanwhile), or at once when the
// combo is left; the page then shows the source the device has.
TEST_F(VererodurDlgTest, DisplaySourcesAreWrittenHalfASecondAfterTheChoice) {
  Open([](ArgoDeviceState& s) {
    s.ratioAlarmMode = 0;
    s.visualAlarmSource = 0;
    s.displayMainSource = 0;
  });
  dlg_->SetActivePage(2);
  auto* visual = dlg_->DisplayPage->findChild<QComboBox*>(QStringLiteral("cbVisualAlSource"));
  auto* main = dlg_->DisplayPage->findChild<QComboBox*>(QStringLiteral("cbDisplayMainSource"));
  ASSERT_NE(visual, nullptr);
  ASSERT_NE(main, nullptr);
  QElapsedTimer sinceChoice;
  sinceChoice.start();
  visual->setCurrentIndex(2);
  Q_EMIT visual->activated(2);
  EXPECT_TRUE(dlg_->WritePending());
  EXPECT_FALSE(dlg_->btnOK->isEnabled());
  // Nothing goes out before the delay (the write is seen no sooner), and
  // the combo keeps the choice meanwhile.
  bool lostWhilePending = false;
  ASSERT_TRUE(WaitForEvents(
      [&] {
        if (!SetterNames().empty()) return true;
        if (visual->currentIndex() != 2) lostWhilePending = true;
        return false;
      },
      10000));
  EXPECT_GE(sinceChoice.elapsed(), TVererodurDeviceSetupDlg::kChoiceDelayMs);
  EXPECT_FALSE(lostWhilePending);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(SetterNames(), std::vector<QString>{QStringLiteral("SetVisualAlarmSource")});
  EXPECT_EQ(State().visualAlarmSource, 2);
  EXPECT_EQ(visual->currentIndex(), 2);
  auto* unit = dlg_->DisplayPage->findChild<QLabel*>(QStringLiteral("lblUnitLow0"));
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->text(), QStringLiteral("[%]"));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());

  model_->ClearRequests();
  main->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return main->hasFocus(); }));
  main->setCurrentIndex(3);
  Q_EMIT main->activated(3);
  // Leaving the combo writes the choice at once: the change timer is no
  // longer pending when the focus has moved on.
  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(dlg_->btnSave->hasFocus());
  EXPECT_FALSE(dlg_->WritePending());
  ASSERT_TRUE(Settled());
  EXPECT_EQ(SetterNames(), std::vector<QString>{QStringLiteral("SetDisplayMainSource")});
  EXPECT_EQ(State().displayMainSource, 3);
  EXPECT_EQ(main->currentIndex(), 3);
  EXPECT_TRUE(messages_.empty());
}

// The smart-averaging threshold is written and then read back from the
// device; the edit shows the value read.
TEST_F(VererodurDlgTest, SmartThresholdIsReadBackAfterItsWrite) {
  Open();
  Choose(dlg_->cbPostProcMode, 1);
  if (!dlg_->cbSmartAveraging->isChecked()) dlg_->cbSmartAveraging->click();
  ASSERT_TRUE(Settled());
  ASSERT_TRUE(dlg_->seSmartThreshold->isEnabled());
  model_->ClearRequests();
  TypeAndLeave(dlg_->seSmartThreshold, QStringLiteral("7.5"));
  std::vector<QString> names;
  for (const auto& r : model_->Requests()) names.push_back(r.name);
  const auto set = std::find(names.begin(), names.end(), QStringLiteral("SetSmartThreshold"));
  ASSERT_NE(set, names.end());
  ASSERT_NE(set + 1, names.end());
  EXPECT_EQ(*(set + 1), QStringLiteral("GetSmartThreshold"));
  EXPECT_EQ(dlg_->seSmartThreshold->text(), QStringLiteral("7.5"));
}

// A negative threshold hysteresis is refused by the driver (its error
// event): nothing goes on the wire and the edit shows the device's value.
TEST_F(VererodurDlgTest, ANegativeThresholdHysteresisIsNotWritten) {
  Open([](ArgoDeviceState& s) { s.ratioAlarmMode = 0x01; });
  dlg_->SetActivePage(2);
  auto* hysteresis = dlg_->DisplayPage->findChild<TDSpinEdit*>(QStringLiteral("dseThresholdALhysteresis"));
  ASSERT_NE(hysteresis, nullptr);
  TypeAndLeave(hysteresis, QStringLiteral("-5"));
  EXPECT_TRUE(SetterNames().empty());
  EXPECT_EQ(State().ratioAlarmHysteresis, opening_.ratioAlarmHysteresis);
  EXPECT_EQ(hysteresis->text(), QStringLiteral("%1").arg(opening_.ratioAlarmHysteresis / 10.0, 0, 'f', 1));
}

// A page change locks the calibration values (grid, both calculation
// groups, Write and "Save as factory default") until the next Read.
TEST_F(VererodurDlgTest, APageChangeLocksTheCalibrationValues) {
  Open({}, QStringLiteral("ratio"), true);
  dlg_->SetActivePage(4);
  dlg_->CalibrationPage->Lock(false);  // as after a Read
  ASSERT_FALSE(dlg_->CalibrationPage->Locked());
  dlg_->SetActivePage(1);
  EXPECT_TRUE(dlg_->CalibrationPage->Locked());
  dlg_->SetActivePage(4);
  for (const char* name : {"vleRatioCali", "gb1Ccali", "gb2Ccali", "btnWriteCali", "btnSetFactDefault"}) {
    auto* w = dlg_->CalibrationPage->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    EXPECT_FALSE(w->isEnabled()) << name;
  }
  EXPECT_TRUE(SetterNames().empty());
}

}  // namespace

namespace {

// The refresh steps an alarm value by 0.2 in °F (1.0 from 1000), but not
// while the output mode combo is held: the unit changing at the device
// meanwhile leaves the step alone until the combo is left. A change of
// source sets the step to 0.1.
TEST_F(VererodurDlgTest, AlarmValueStepsRestWhileTheOutputModeIsHeld) {
  Open([](ArgoDeviceState& s) {
    s.alarmSource = {4, 4, 0, 0, 0};  // TBox: -20 to 75 °C
    s.alarmValue[0][4] = Word(50);
    s.alarmValue[1][4] = Word(50);
  });
  TDSpinEdit* value = dlg_->seDAlarm[0];
  const auto refreshed = [&] {
    const int before = dlg_->RefreshCount();
    return WaitForEvents([&] { return dlg_->RefreshCount() > before; }, 10000);
  };
  ASSERT_TRUE(refreshed());
  EXPECT_DOUBLE_EQ(value->Increment(), 0.1);

  ShowPageOf(dlg_->cbOutputMode4);
  dlg_->cbOutputMode4->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->cbOutputMode4->hasFocus(); }));
  SetState([](ArgoDeviceState& s) { s.unit = 0; });
  RunOnSession([](TpyreonArgo& d) { d.GetTemperatureUnit(); });
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->TempLbl0->text() == QStringLiteral(" [°F]:"); }, 10000));
  ASSERT_TRUE(refreshed());
  EXPECT_EQ(value->text(), QStringLiteral("122.0"));
  EXPECT_DOUBLE_EQ(value->Increment(), 0.1);

  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->btnSave->hasFocus(); }));
  ASSERT_TRUE(refreshed());
  EXPECT_DOUBLE_EQ(value->Increment(), 0.2);
  EXPECT_TRUE(SetterNames().empty());

  // A new source steps by 0.1, whatever the unit and the value, until a
  // refresh sets the step again.
  dlg_->cbOutputMode4->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->cbOutputMode4->hasFocus(); }));
  Choose(dlg_->cbDsource[0], 0);
  EXPECT_EQ(State().alarmSource[0], 1);
  EXPECT_DOUBLE_EQ(value->Increment(), 0.1);
  ASSERT_TRUE(refreshed());
  EXPECT_DOUBLE_EQ(value->Increment(), 0.1);
  ASSERT_GE(value->Value(), 1000.0);
  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->btnSave->hasFocus(); }));
  ASSERT_TRUE(refreshed());
  EXPECT_DOUBLE_EQ(value->Increment(), 1.0);
}

}  // namespace

namespace {

// A post-processing choice made in the combo is written at once; after it
// the refresh follows the device's mode again (the focus moves on).
TEST_F(VererodurDlgTest, AfterAPostProcessingChoiceTheRefreshFollowsTheDevice) {
  Open();
  ShowPageOf(dlg_->cbPostProcMode);
  dlg_->cbPostProcMode->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->cbPostProcMode->hasFocus(); }));
  Choose(dlg_->cbPostProcMode, 2);
  EXPECT_NE(State().peakHoldTime, 0);
  EXPECT_FALSE(dlg_->cbPostProcMode->hasFocus());
  SetState([](ArgoDeviceState& s) {
    s.peakHoldTime = 0;
    s.valleyHoldTime = 20;
  });
  RunOnSession([](TpyreonArgo& d) {
    d.GetPeakHoldTime();
    d.GetValleyHoldTime();
  });
  EXPECT_TRUE(WaitForEvents([&] { return dlg_->cbPostProcMode->currentIndex() == 3; }, 10000));
}

}  // namespace
