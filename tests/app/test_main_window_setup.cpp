// The main window's device dialogs with the emulated single-colour device
// (the emulator in this process, on a pseudo-terminal): loop maintenance
// and device setup opened through the menu, and the callback with which the
// dialogs keep the window in step with the device.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/change_emiss_dlg.h"
#include "app/device_info_dlg.h"
#include "app/therma_sentinel_form.h"
#include "measurement/channel_values.h"
#include "platform/folders.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/loop_maintenance_dlg.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "setup_common/slope_diagram.h"
#include "tests/app/dialog_texts.h"
#include "tests/setup_argo/loop_dialog_closings.h"
#include "tests/support/program_home.h"
#include "tests/support/stall_limit.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/argo_wire.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"
#include "ui/caption_panel.h"
#include "ui/d_spin_edit.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;

// Acts inside a modal dialog's own event loop: each step waits for its
// condition, then runs its action. A script that gets stuck rejects every
// open dialog at its deadline, so a test fails instead of hanging.
class ModalScript {
 public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> action;
  };
  explicit ModalScript(std::vector<Step> steps, int deadlineMs = 30000)
      : steps_(std::move(steps)), deadline_(deadlineMs) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(5);
  }
  bool Finished() const { return next_ == steps_.size(); }
  // The step that did not come (for messages).
  std::size_t Next() const { return next_; }

 private:
  void Tick() {
    while (next_ < steps_.size() && steps_[next_].ready()) steps_[next_++].action();
    if (Finished() || !deadline_.hasExpired()) return;
    timer_.stop();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dlg = qobject_cast<QDialog*>(w); dlg != nullptr && dlg->isVisible()) dlg->reject();
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QDeadlineTimer deadline_;
  QTimer timer_;
};

class MainWindowSetupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    if (server_) server_->Stop();
    test_support::LeaveProgramHome();
  }

  // The emulator with `profile` on COM4, stored as the device to connect at
  // start, and the window connected to it.
  TThermaSentinelForm& StartConnected(const QString& profile, const QString& extraSettings = QString(),
                                      const QStringList& parameters = {}) {
    EXPECT_TRUE(dir_.isValid());
    test_support::PrepareProgramHome(dir_);

    const auto p = ArgoProfiles::Find(profile);
    EXPECT_TRUE(p.has_value());
    ArgoOptions options;
    options.baudRate = 115200;
    model_ = std::make_shared<ArgoModel>(*p, options);
    server_ = std::make_unique<PtyServer>(model_);
    QString error;
    EXPECT_TRUE(server_->Start(&error)) << error.toStdString();
    EXPECT_TRUE(SetPortsEntry(dir_.filePath(QStringLiteral("ports.ini")), 4, server_->SlavePath(), error));

    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    QFile f(SettingsFile());
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM]\r\nCOM=4\r\nBaudrate=5\r\nDeviceType=1\r\nArgo_Serial=" +
            QByteArray::number(p ? p->state.serial : 0) +
            "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\n"
            "AskForSaving=0\r\n[Settings]\r\nArgoBurstStartDelay=0\r\n" +
            extraSettings.toLatin1());
    f.close();

    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")} + parameters);
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->State() == csConnected && !form_->Family()->Busy(); },
                              15000, EventPump::EventLoop))
        << int(form_->State());
    return *form_;
  }
  QString SettingsFile() const {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
  }

  ArgoDeviceState State() const { return model_->State(); }
  void SetState(const std::function<void(ArgoDeviceState&)>& change) {
    ArgoDeviceState s = model_->State();
    change(s);
    model_->SetState(s);
  }
  // The requests since the last clear with their command and first argument.
  std::vector<std::pair<int, int>> Commands() const {
    std::vector<std::pair<int, int>> out;
    for (const auto& r : model_->Requests())
      out.emplace_back(r.command, r.bytes.size() > 1 ? r.bytes[1] : -1);
    return out;
  }
  std::vector<int> CommandBytes() const {
    std::vector<int> out;
    for (const auto& r : model_->Requests()) out.push_back(r.command);
    return out;
  }
  // The window's device work rests while a device dialog is open.
  void ExpectWindowBusy(const TThermaSentinelForm& f) const {
    EXPECT_EQ(f.State(), csBusy);
    EXPECT_FALSE(f.PollTimer->isActive());
    EXPECT_FALSE(f.BurstTimer->isActive());
    EXPECT_FALSE(f.mDeviceSetup->isEnabled());
    EXPECT_FALSE(f.mLoopMaintenance->isEnabled());
    EXPECT_FALSE(f.mStart->isEnabled());
    EXPECT_FALSE(f.mDisconnect->isEnabled());
  }
  // ... and is back afterwards.
  void ExpectWindowRestored(const TThermaSentinelForm& f) const {
    EXPECT_EQ(f.State(), csConnected);
    EXPECT_TRUE(f.PollTimer->isActive());
    EXPECT_TRUE(f.mStart->isEnabled());
    EXPECT_TRUE(f.mLoopMaintenance->isEnabled());
  }

  QTemporaryDir dir_;
  std::shared_ptr<ArgoModel> model_;
  std::unique_ptr<PtyServer> server_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

// Loop maintenance through the menu for the single-colour model and the
// ratio model: stepping 0 -> 3 writes 1, 2, 3 at once; every way of closing
// leaves the outputs in normal operation and gives the window back its
// state and its timer.
TEST_F(MainWindowSetupTest, LoopMaintenanceThroughTheMenu) {
  struct Case {
    const char* profile;
    std::uint8_t typeCode;
  };
  for (const Case& c : {Case{"argo-current", 1}, Case{"ratio", 2}}) {
    SCOPED_TRACE(c.profile);
    TThermaSentinelForm& f = StartConnected(QString::fromLatin1(c.profile));
    ASSERT_EQ(f.DeviceTypeCode(), c.typeCode);
    ASSERT_TRUE(f.mLoopMaintenance->isEnabled());
    TLoopMaintenanceDlg& dlg = *f.LoopMaintenanceDlg;

    for (const auto& [name, closeIt] : argotest::LoopDialogClosings()) {
      SCOPED_TRACE(name);
      SetState([](ArgoDeviceState& s) {
        s.irDacPercent = 0;
        s.loopOutputFixed = false;
      });
      model_->ClearRequests();
      const auto fixedAt3 = [&] {
        const ArgoDeviceState s = State();
        return s.loopOutputFixed && s.irDacPercent == 3;
      };
      ModalScript script({
          {[&] { return dlg.isVisible() && dlg.seIrOut->isEnabled(); },
           [&] {
             ExpectWindowBusy(f);
             model_->ClearRequests();
             for (int i = 0; i < 3; ++i) dlg.seIrOut->StepUp();
           }},
          {fixedAt3,
           [&, closeIt = closeIt] {
             ExpectWindowBusy(f);
             closeIt(dlg);
           }},
      });
      // A poll of the window's own is under way as the dialog opens.
      f.PollTimerTimer();
      f.mLoopMaintenance->trigger();
      ASSERT_TRUE(script.Finished()) << "stuck at step " << script.Next();
      EXPECT_FALSE(dlg.isVisible());
      ASSERT_TRUE(WaitForEvents([&] { return !State().loopOutputFixed && !f.Family()->Busy(); }, 10000,
                                EventPump::EventLoop));
      const auto commands = Commands();
      ASSERT_GE(commands.size(), 4u);
      const std::vector<std::pair<int, int>> steps(commands.begin(), commands.begin() + 3);
      EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0x9A, 1}, {0x9A, 2}, {0x9A, 3}}));
      // The reset follows the last write (the window's own polls may follow).
      const auto lastWrite = std::find_if(commands.rbegin(), commands.rend(),
                                          [](const auto& c) { return c.first == 0x9A || c.first == 0x9B; });
      EXPECT_NE(std::find_if(commands.rbegin(), lastWrite, [](const auto& c) { return c.first == 0x8F; }),
                lastWrite);
      ExpectWindowRestored(f);
      EXPECT_EQ(dlg.FDevice, nullptr);
    }
    form_.reset();
    server_->Stop();
  }
}

// The device goes away while the loop-maintenance dialog is open: closing
// it does not bring back a connection that no longer exists.
TEST_F(MainWindowSetupTest, LoopMaintenanceOnADeviceThatWasDisconnected) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  TLoopMaintenanceDlg& dlg = *f.LoopMaintenanceDlg;
  ModalScript script({
      {[&] { return dlg.isVisible() && dlg.seIrOut->isEnabled(); },
       [&] {
         // What the removed-port reaction does.
         f.mDisconnectClick(&f);
       }},
      {[] { return true; }, [&] { dlg.BtnClose->click(); }},
  });
  f.mLoopMaintenance->trigger();
  ASSERT_TRUE(script.Finished());
  EXPECT_EQ(f.State(), csClosed);
  EXPECT_FALSE(f.PollTimer->isActive());
  EXPECT_TRUE(f.mScan->isEnabled());
  EXPECT_FALSE(f.mLoopMaintenance->isEnabled());
}

// The dialogs' callback with a changed unit: the window stores it, a shown
// device-info dialog follows, and the panels shown are polled (0x01, 0x02,
// 0x03; the ratio values on the ratio model) and show the new values in the
// new unit.
TEST_F(MainWindowSetupTest, DeviceSettingsChangedTakesTheUnitAndPolls) {
  struct Case {
    const char* profile;
    std::vector<int> channels;  // of the panels shown, with their commands
    std::vector<int> commands;
  };
  const Case cases[] = {
      {"argo-current", {ChannelValues::TObj, ChannelValues::TInt, ChannelValues::TBox}, {0x01, 0x02, 0x03}},
      {"ratio",
       {ChannelValues::TObj, ChannelValues::TBox, ChannelValues::T2C, ChannelValues::T1C, ChannelValues::Tau},
       {0x01, 0x03, 0x63, 0x62, 0x64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    // Only the panels of the case are shown.
    static const char* const kPrefixes[] = {"TObj", "TInt", "TBox", "TAct", "TQuot",  "TSingle",
                                            "Tau",  "Eps",  "mVin", "Vcc",  "Ambient"};
    QString shown;
    for (int ch = 0; ch < 11; ++ch) {
      const bool on = std::find(c.channels.begin(), c.channels.end(), ch) != c.channels.end();
      shown += QStringLiteral("%1_ShowDigital=%2\r\n").arg(QLatin1String(kPrefixes[ch])).arg(on ? 1 : 0);
    }
    TThermaSentinelForm& f = StartConnected(QString::fromLatin1(c.profile), shown);
    std::vector<int> expected;
    for (std::size_t i = 0; i < c.channels.size(); ++i)
      if (f.Graph()[static_cast<std::size_t>(c.channels[i])].ShowDigital) expected.push_back(c.commands[i]);
    ASSERT_FALSE(expected.empty()) << "the settings named no panel";
    ASSERT_FALSE(f.Fahrenheit());
    f.DeviceInfoDlg->Fahrenheit = false;
    f.DeviceInfoDlg->show();
    ASSERT_TRUE(WaitForEvents([&] { return f.DeviceInfoDlg->isVisible(); }, 5000));
    // The device measures 25.0 °C now.
    SetState([](ArgoDeviceState& s) { s.objectTemp = 1250; });
    // No poll of the window's own in between.
    f.PollTimer->stop();
    ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
    f.PollTimer->stop();  // a poll that was under way started it again
    model_->ClearRequests();

    f.DeviceSettingsChanged(nullptr, true);
    EXPECT_TRUE(f.Fahrenheit());
    EXPECT_TRUE(f.DeviceInfoDlg->Fahrenheit);
    EXPECT_TRUE(f.DeviceInfoDlg->stDeviceRange->text().contains(QStringLiteral("°F")))
        << f.DeviceInfoDlg->stDeviceRange->text().toStdString();
    ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
    std::vector<int> polled = CommandBytes();
    std::sort(polled.begin(), polled.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(polled, expected);
    EXPECT_TRUE(f.Panels1[ChannelValues::TObj].Label->text().contains(QStringLiteral("77.0")))
        << f.Panels1[ChannelValues::TObj].Label->text().toStdString();
    f.DeviceInfoDlg->hide();

    // The same unit again changes nothing but polls, once while a poll is
    // under way.
    model_->ClearRequests();
    f.DeviceSettingsChanged(nullptr, true);
    f.DeviceSettingsChanged(nullptr, true);
    EXPECT_TRUE(f.Fahrenheit());
    ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
    EXPECT_EQ(model_->Requests().size(), expected.size());
    form_.reset();
    server_->Stop();
  }
}

// The emissivity dialog through the menu: the window rests while it is
// open, feeds it the object temperature it polls every second, and a live
// change undone by Cancel leaves the device as it was.
TEST_F(MainWindowSetupTest, EmissivityDialogThroughTheMenu) {
  TThermaSentinelForm& f =
      StartConnected(QStringLiteral("argo-current"), QStringLiteral("TObj_ShowDigital=1\r\n"));
  ASSERT_TRUE(f.mEmissivity->isEnabled());
  ASSERT_TRUE(f.btnEmissivity->isEnabled());
  SetState([](ArgoDeviceState& s) {
    s.emissivity = 950;
    s.objectTemp = 7123;  // 612.3 °C (the range is 350..2000)
  });
  TChangeEmissDlg& dlg = *f.ChangeEmissDlg;
  ModalScript script({
      {[&] { return dlg.isVisible() && dlg.btnOK->isEnabled(); },
       [&] {
         EXPECT_EQ(f.State(), csBusy);
         EXPECT_FALSE(f.PollTimer->isActive());
         EXPECT_FALSE(f.mEmissivity->isEnabled());
         EXPECT_EQ(dlg.seEmissivity->text(), QStringLiteral("0.950"));
         EXPECT_NEAR(dlg.seTemp->Value(), 612.3, 0.01);
         dlg.seEmissivity->setText(QStringLiteral("0.800"));
       }},
      {[&] { return State().emissivity == 800 && dlg.lblTObj->text().contains(QStringLiteral("612.3")); },
       [&] { dlg.btnCancel->click(); }},
  });
  f.mEmissivity->trigger();
  ASSERT_TRUE(script.Finished()) << "stuck at step " << script.Next() << ", TObj "
                                 << dlg.lblTObj->text().toStdString();
  EXPECT_EQ(dlg.Device, nullptr);
  ExpectWindowRestored(f);
  ASSERT_TRUE(WaitForEvents([&] { return State().emissivity == 950; }, 5000, EventPump::EventLoop));
}

// "calculate" in the emissivity dialog always tells what the device did or
// why it did not, and the dialog and its button stay where the user clicked.
TEST_F(MainWindowSetupTest, EmissivityCalculationSaysWhatHappenedAndTheDialogStaysPut) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  SetState([](ArgoDeviceState& s) {
    s.emissivity = 950;
    s.objectTemp = ArgoWire::EncodeTemperature(612.3);  // the range is 350..2000
  });
  TChangeEmissDlg& dlg = *f.ChangeEmissDlg;
  struct Case {
    const char* name;
    std::function<void()> arrange;
    QString given;     // empty: what the dialog offers (the reading)
    const char* told;  // part of the message
    int emissivity;    // the device's afterwards
  };
  const std::vector<Case> cases = {
      {"the given temperature is the reading", [] {}, QString(), "The emissivity stays 0.950", 950},
      {"the device finds another emissivity",
       [&] {
         SetState([](ArgoDeviceState& s) {
           s.sceneTemp = ArgoWire::EncodeTemperature(650.0);
           s.sceneEmissivity = 800;
         });
       },
       QStringLiteral("650.0"), "The device calculated the emissivity 0.800 (it was 0.950)", 800},
      {"the given temperature is the range's end", [] {}, QStringLiteral("350.0"), "Not calculated", 800},
  };
  std::size_t index = 0;
  QRect frame;
  QPoint button;
  bool clicked = false;
  std::vector<ModalScript::Step> steps;
  steps.push_back({[&] { return dlg.isVisible() && dlg.btnCalculate->isEnabled(); },
                   [&] {
                     frame = dlg.frameGeometry();
                     button = dlg.btnCalculate->mapToGlobal(QPoint(0, 0));
                   }});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    steps.push_back({[&] { return !dlg.Busy() && dlg.btnCalculate->isEnabled(); },
                     [&, i] {
                       index = i;
                       cases[i].arrange();
                       if (!cases[i].given.isEmpty()) dlg.seTemp->setText(cases[i].given);
                       dlg.btnCalculate->click();
                       clicked = true;
                       EXPECT_EQ(dlg.btnCalculate->mapToGlobal(QPoint(0, 0)), button) << cases[i].name;
                     }});
    steps.push_back({[&, i] { return clicked && index == i && !dlg.Calculating(); },
                     [&, i] {
                       clicked = false;
                       SCOPED_TRACE(cases[i].name);
                       EXPECT_TRUE(dlg.stCalculating->isVisible());
                       EXPECT_TRUE(dlg.stCalculating->text().contains(QLatin1String(cases[i].told)))
                           << dlg.stCalculating->text().toStdString();
                       EXPECT_EQ(State().emissivity, cases[i].emissivity);
                       EXPECT_EQ(dlg.frameGeometry(), frame);
                       EXPECT_EQ(dlg.btnCalculate->mapToGlobal(QPoint(0, 0)), button);
                       EXPECT_TRUE(test_support::ClippedTexts(&dlg).isEmpty())
                           << test_support::ClippedTexts(&dlg).join(QLatin1Char('\n')).toStdString();
                     }});
  }
  steps.push_back({[] { return true; }, [&] { dlg.btnOK->click(); }});
  ModalScript script(std::move(steps), 60000);
  f.mEmissivity->trigger();
  ASSERT_TRUE(script.Finished()) << "stuck at step " << script.Next();
  ExpectWindowRestored(f);
}

// The ratio model sends no internal and no actual temperature: their
// panels and displays show no value, in a burst and while polled.
TEST_F(MainWindowSetupTest, ChannelsTheRatioModelDoesNotSendShowNoValue) {
  TThermaSentinelForm& f =
      StartConnected(QStringLiteral("ratio"),
                     QStringLiteral("TInt_ShowDigital=1\r\nTAct_ShowDigital=1\r\nTObj_ShowDigital=1\r\n"));
  ASSERT_EQ(f.DeviceTypeCode(), 2);
  auto expectNoValue = [&](const char* when) {
    SCOPED_TRACE(when);
    for (int c : {ChannelValues::TInt, ChannelValues::TAct}) {
      EXPECT_EQ(f.Panels1[c].Label->text(), QStringLiteral("-----"));
      EXPECT_EQ(f.Panels2[c].Label->text(), QStringLiteral("-----"));
      EXPECT_FALSE(f.DisplayValue(ChannelValues::DisplayKindOfChannel(c)).HasValue);
    }
    EXPECT_TRUE(f.Panels1[ChannelValues::TObj].Label->text().endsWith(QStringLiteral("°C")))
        << f.Panels1[ChannelValues::TObj].Label->text().toStdString();
  };
  f.mStartClick(f.mStart);
  ASSERT_EQ(f.MeasureMode(), 1);
  ASSERT_TRUE(WaitForEvents([&] { return f.SampleCount() > 50; }, 15000, EventPump::EventLoop));
  WaitForEvents([&] { return false; }, 300, EventPump::EventLoop);
  expectNoValue("burst");
  f.mStopClick(f.mStop);
  WaitForEvents([&] { return false; }, 1200, EventPump::EventLoop);
  expectNoValue("polled");
}

// A steady signal far above the stored window's lower end: the automatic
// value axis starts around the trace (not at the range's lower end, which
// would press the trace against the top edge).
TEST_F(MainWindowSetupTest, TheValueAxisStartsAroundASteadyTrace) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  SetState([](ArgoDeviceState& s) { s.objectTemp = ArgoWire::EncodeTemperature(760.0); });
  ASSERT_TRUE(WaitForEvents([&] { return f.CurrentValues()[0] > 759.0f; }, 5000, EventPump::EventLoop));
  TDiagram& d = *f.Diagram();
  ASSERT_NE(d.YScaleMode(), smManual);
  f.mStartClick(f.mStart);
  // (The first second does not count for the ranging.)
  ASSERT_TRUE(WaitForEvents([&] { return static_cast<double>(d.UsedData()) * d.Resolution() > 2.5; }, 15000,
                            EventPump::EventLoop));
  // The burst values of the emulator climb by up to 9.9 °C.
  EXPECT_GE(d.YMin(), 755.0);
  EXPECT_LE(d.YMin(), 760.0);
  EXPECT_GE(d.YMax(), 765.0);
  EXPECT_LE(d.YMax(), 775.0);
  f.mStopClick(f.mStop);
}

// What the single-colour setup shows, and the material table and output
// slope dialogs it opens: English texts, the Parts' captions for the two
// window titles, and nothing cut off at their default sizes (the slope
// chart's own labels neither overlap nor leave the chart).
TEST_F(MainWindowSetupTest, SetupDialogsReadEnglishAndShowTheirTextsWhole) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  SetState([](ArgoDeviceState& s) {
    s.emissivitySource = 3;  // the material table
    s.alarmMode[3] = 0x09;   // output 4 analog, 0..10 V: the output slope
  });
  TArgoDeviceSetupDlg& dlg = *f.ArgoDeviceSetupDlg;
  auto expectWhole = [](QWidget* w) {
    EXPECT_TRUE(test_support::ClippedTexts(w).isEmpty())
        << w->objectName().toStdString() << ":\n"
        << test_support::ClippedTexts(w).join(QLatin1Char('\n')).toStdString();
  };
  auto expectEnglish = [](QWidget* w) {
    const QString all = test_support::WindowTexts(w).join(QLatin1Char('|'));
    for (const char* word : {"Warnung", "Abbrechen", "Strichst", "Hysterese", "Treshold"})
      EXPECT_FALSE(all.contains(QLatin1String(word))) << w->objectName().toStdString() << ": " << word;
    EXPECT_NE(w->windowTitle(), QStringLiteral("Dialog"));
    EXPECT_NE(w->windowTitle(), QStringLiteral("ThermaSentinel"));
  };
  // Clicks `button` (again while the dialog is busy with the device) until
  // it opens the dialog `name`; `check` looks at it, then it is closed.
  auto openSub = [&](QPushButton* button, const char* name, const std::function<void(QDialog*)>& check) {
    bool seen = false;
    for (int attempt = 0; attempt < 50 && !seen; ++attempt) {
      test_support::WhenModalShown(
          [&](QWidget* m) {
            if (seen) return;
            seen = true;
            QApplication::processEvents();
            check(static_cast<QDialog*>(m));
            static_cast<QDialog*>(m)->reject();
          },
          300, QString::fromLatin1(name));
      button->click();
      if (!seen) WaitForEvents([&] { return seen; }, 300, EventPump::EventLoop);
    }
    return seen;
  };
  bool checked = false;
  ModalScript script(
      {
          {[&] { return dlg.isVisible() && !dlg.DeviceWorkPending(); },
           [&] {
             expectEnglish(&dlg);
             QTabWidget* pages = dlg.findChild<QTabWidget*>(QStringLiteral("ArgoDeviceSetup_PageControl"));
             ASSERT_NE(pages, nullptr);
             QStringList all;
             for (int i = 0; i < pages->count(); ++i) {
               if (!pages->isTabVisible(i)) continue;
               pages->setCurrentIndex(i);
               QApplication::processEvents();
               all << test_support::WindowTexts(&dlg);
               expectWhole(&dlg);
             }
             EXPECT_TRUE(all.contains(QStringLiteral("Threshold")))
                 << all.join(QLatin1Char('|')).toStdString();
             EXPECT_TRUE(all.contains(QStringLiteral("Hysteresis")));
             EXPECT_TRUE(all.contains(QStringLiteral("Hysteresis :")));
             pages->setCurrentIndex(0);
             EXPECT_TRUE(openSub(dlg.btnEditMatTable, "MatTableDlg", [&](QDialog* table) {
               EXPECT_EQ(table->windowTitle(), QStringLiteral("Material table"));
               expectEnglish(table);
               expectWhole(table);
             }));
             EXPECT_TRUE(openSub(dlg.btnAdjustOutputSlope, "AdjustSlopeDlg", [&](QDialog* slope) {
               EXPECT_EQ(slope->windowTitle(), QStringLiteral("Adjust output slope"));
               expectEnglish(slope);
               expectWhole(slope);
               auto* chart = slope->findChild<SlopeDiagram*>();
               ASSERT_NE(chart, nullptr);
               // The points are placed once the dialog has read the device.
               const auto placed = [chart] {
                 const SlopeMath::TLayout& L = chart->Layout();
                 const QRect plot(QPoint(L.x0, L.y1), QPoint(L.x1, L.y0));
                 return plot.contains(chart->PointPixel(SlopeDiagram::kLow)) &&
                        plot.contains(chart->PointPixel(SlopeDiagram::kHigh));
               };
               ASSERT_TRUE(WaitForEvents(placed, 10000, EventPump::EventLoop));
               const auto labels = chart->TemperatureLabels();
               EXPECT_GE(labels.size(), 3u);
               for (std::size_t i = 0; i < labels.size(); ++i) {
                 EXPECT_TRUE(chart->rect().contains(labels[i].rect)) << labels[i].text.toStdString();
                 if (i > 0) {
                   EXPECT_LT(labels[i - 1].rect.right(), labels[i].rect.left())
                       << labels[i].text.toStdString();
                 }
               }
               for (int point : {SlopeDiagram::kLow, SlopeDiagram::kHigh})
                 EXPECT_TRUE(chart->rect().contains(chart->PointLabelRect(point)))
                     << chart->PointLabel(point).toStdString();
               if (qEnvironmentVariableIsSet("TS_GRAB"))
                 slope->grab().save(qEnvironmentVariable("TS_GRAB") + QStringLiteral("/AdjustSlopeDlg.png"));
             }));
             checked = true;
             dlg.btnCancel->click();
           }},
      },
      90000);
  f.mDeviceSetup->trigger();
  ASSERT_TRUE(
      WaitForEvents([&] { return script.Finished() && !dlg.isVisible(); }, 90000, EventPump::EventLoop))
      << "stuck at step " << script.Next();
  EXPECT_TRUE(checked);
}

// The ratio setup with the service switch: every page caption and the
// calibration page's firmware message are shown whole.
TEST_F(MainWindowSetupTest, RatioSetupWithTheServiceSwitchShowsItsTextsWhole) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("ratio-5015"), QString(), {QStringLiteral("/SRVC")});
  TVererodurDeviceSetupDlg& dlg = *f.VererodurDeviceSetupDlg;
  int pagesSeen = 0;
  ModalScript script({
      {[&] { return dlg.isVisible() && !dlg.DeviceWorkPending() && dlg.LiveCount() > 0; },
       [&] {
         QTabWidget* pages = dlg.VereRodurDeviceSetup_PageControl;
         ASSERT_TRUE(pages->isTabVisible(4));
         for (int i = 0; i < pages->count(); ++i) {
           if (!pages->isTabVisible(i)) continue;
           pages->setCurrentIndex(i);
           QApplication::processEvents();
           ++pagesSeen;
           EXPECT_TRUE(test_support::ClippedTexts(&dlg).isEmpty())
               << "page " << i << ":\n"
               << test_support::ClippedTexts(&dlg).join(QLatin1Char('\n')).toStdString();
         }
         auto* message = dlg.CalibrationPage->findChild<CaptionPanel*>(QStringLiteral("pnlFWrev"));
         ASSERT_NE(message, nullptr);
         EXPECT_TRUE(message->isVisibleTo(&dlg));
         dlg.btnCancel->click();
       }},
  });
  f.mDeviceSetup->trigger();
  ASSERT_TRUE(
      WaitForEvents([&] { return script.Finished() && !dlg.isVisible(); }, 60000, EventPump::EventLoop))
      << script.Next();
  EXPECT_EQ(pagesSeen, 5);
}

// Device setup for the ratio model: the whole configuration is read
// first, the ratio dialog opens on the page "Output signals" whatever page
// was stored, the window rests while it is open, and the page is stored
// under its own key. Opening and Cancel with no edit write nothing but the
// clearing of an advanced hold mode the attenuation source cannot have.
TEST_F(MainWindowSetupTest, RatioDeviceSetupOpensAndCancelWritesNothing) {
  TThermaSentinelForm& f =
      StartConnected(QStringLiteral("ratio"), QStringLiteral("Vererodur_DeviceSetup_Page=3\r\n"));
  ASSERT_EQ(f.DeviceTypeCode(), 2);
  ASSERT_TRUE(f.mDeviceSetup->isEnabled());
  ASSERT_TRUE(f.btnDeviceSetup->isEnabled());
  // The ratio model offers no emissivity dialog.
  EXPECT_FALSE(f.mEmissivity->isEnabled());
  SetState([](ArgoDeviceState& s) {
    s.processSource = 2;
    s.advancedHoldMode = 1;
  });
  ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
  model_->ClearRequests();
  TVererodurDeviceSetupDlg& dlg = *f.VererodurDeviceSetupDlg;
  std::size_t requestsAtShow = 0;
  int refreshes = 0;
  ModalScript script({
      {[&] { return dlg.isVisible(); },
       [&] {
         requestsAtShow = model_->Requests().size();
         ExpectWindowBusy(f);
         EXPECT_TRUE(dlg.FOnSettingsChanged);
         EXPECT_FALSE(dlg.VereRodurDeviceSetup_PageControl->isTabVisible(4));
       }},
      {[&] { return !dlg.DeviceWorkPending(); },
       [&] {
         EXPECT_EQ(dlg.ActivePage(), 0);
         EXPECT_EQ(dlg.cbPostProcMode->count(), 4);
         refreshes = dlg.RefreshCount();
       }},
      {[&] { return dlg.RefreshCount() >= refreshes + 2 && dlg.LiveCount() > 0; },
       [&] {
         ExpectWindowBusy(f);
         dlg.SetActivePage(1);
         dlg.btnCancel->click();
       }},
  });
  f.mDeviceSetup->trigger();
  ASSERT_TRUE(WaitForEvents([&] { return script.Finished() && !dlg.isVisible() && f.State() == csConnected; },
                            30000, EventPump::EventLoop))
      << script.Next();
  EXPECT_GE(requestsAtShow, 40u);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  // What the dialog sent (the read before it switches the alarm sources
  // through, reading each slot).
  std::vector<std::vector<std::uint8_t>> setters;
  const auto requests = model_->Requests();
  for (std::size_t i = requestsAtShow; i < requests.size(); ++i)
    if (requests[i].name.startsWith(QLatin1String("Set"))) setters.push_back(requests[i].bytes);
  EXPECT_EQ(setters, (std::vector<std::vector<std::uint8_t>>{{0x9D, 0x00, 0x9D}}));
  EXPECT_EQ(State().advancedHoldMode, 0);
  ExpectWindowRestored(f);
  EXPECT_EQ(f.Config()->ReadVererodurDeviceSetupPage(), 1);
}

// "/SRVC" on the command line offers the calibration page; a device that
// vanishes while the dialog is open closes it, and the window is not left
// busy.
TEST_F(MainWindowSetupTest, RatioDeviceSetupWithTheServiceSwitchAndAVanishingDevice) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("ratio-5015"), QString(), {QStringLiteral("/SRVC")});
  ASSERT_EQ(f.DeviceTypeCode(), 2);
  TVererodurDeviceSetupDlg& dlg = *f.VererodurDeviceSetupDlg;
  bool vanished = false;
  ModalScript script({
      {[&] { return dlg.isVisible() && !dlg.DeviceWorkPending() && dlg.LiveCount() > 0; },
       [&] {
         EXPECT_TRUE(dlg.VereRodurDeviceSetup_PageControl->isTabVisible(4));
         auto* panel = dlg.CalibrationPage->findChild<QWidget*>(QStringLiteral("pnlFWrev"));
         ASSERT_NE(panel, nullptr);
         EXPECT_TRUE(panel->isVisibleTo(dlg.CalibrationPage));
         model_->ClearRequests();
         ArgoFaults faults = model_->Faults();
         faults.silent = true;
         model_->SetFaults(faults);
         vanished = true;
       }},
  });
  f.mDeviceSetup->trigger();
  ASSERT_TRUE(
      WaitForEvents([&] { return script.Finished() && vanished && !dlg.isVisible() && f.State() != csBusy; },
                    60000, EventPump::EventLoop))
      << script.Next();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  for (const auto& r : model_->Requests())
    EXPECT_FALSE(r.name.startsWith(QLatin1String("Set"))) << r.name.toStdString();
}

// Device setup for the single-colour model: the device is read first, on
// its session, while the window keeps painting, shows the read's caption and
// percentage and holds its commands off; then the dialog opens with the
// stored page, rasters and colour (in its stored byte order) and the
// measuring range; the page, rasters and colour it ends with are stored
// whatever its result.
TEST_F(MainWindowSetupTest, DeviceSetupReadsThenShowsTheDialogAndKeepsItsSettings) {
  TThermaSentinelForm& f =
      StartConnected(QStringLiteral("argo-current"),
                     QStringLiteral("Argo_DeviceSetup_Page=2\r\nSlopeRasterT=5\r\nSlopeRasterO=5\r\n"
                                    "AdjustColor=1193046\r\n"));
  ASSERT_TRUE(f.mDeviceSetup->isEnabled());
  ASSERT_TRUE(f.btnDeviceSetup->isEnabled());
  TArgoDeviceSetupDlg& dlg = *f.ArgoDeviceSetupDlg;
  // Late answers make the read take a while.
  ArgoFaults faults = model_->Faults();
  faults.lateReplyMs = 15;
  model_->SetFaults(faults);

  struct Case {
    const char* name;
    QPushButton* TArgoDeviceSetupDlg::*button;
    int page;
    TSlopeRaster rasters;
    std::uint32_t color;
  };
  const Case cases[] = {
      {"Cancel", &TArgoDeviceSetupDlg::btnCancel, 0, {1, 10}, 0x00FF8000},
      {"OK", &TArgoDeviceSetupDlg::btnOK, 2, {10, 0}, 0x000000FF},
  };
  int expectedPage = 2;
  TSlopeRaster expectedRasters{5, 5};
  std::uint32_t expectedColor = 0x123456;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
    model_->ClearRequests();
    // The window while the device is read.
    bool shownAfterRead = false;
    qint64 maxGap = 0;
    int maxProgress = 0;
    bool busyWhileRead = true;
    QString caption;
    QElapsedTimer tick;
    tick.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const qint64 gap = tick.restart();
      // From the dialog's show on the window is the dialog's.
      if (shownAfterRead || dlg.isVisible()) return;
      maxGap = std::max(maxGap, gap);
      const bool busy = f.State() == csBusy && !f.mDeviceSetup->isEnabled() && !f.mStart->isEnabled() &&
                        !f.mDisconnect->isEnabled();
      busyWhileRead = busyWhileRead && busy;
      if (f.ProgressBar->value() > maxProgress && f.ProgressBar->isTextVisible()) {
        maxProgress = f.ProgressBar->value();
        caption = f.ProgressBar->text();
      }
    });
    probe.start(10);

    // A chart range of the user's, which the measuring range replaces.
    f.Diagram()->SetYRangeMin(0.0);
    f.Diagram()->SetYRangeMax(100.0);
    std::size_t requestsAtShow = 0;
    QElapsedTimer readClock;
    qint64 readMs = 0;
    ModalScript script({
        {[&] { return dlg.isVisible(); },
         [&] {
           shownAfterRead = true;
           readMs = readClock.elapsed();
           requestsAtShow = model_->Requests().size();
           ExpectWindowBusy(f);
           EXPECT_EQ(dlg.ActivePage(), expectedPage);
           EXPECT_EQ(dlg.FSlopeRasters, expectedRasters);
           EXPECT_EQ(dlg.FAdjustColor, expectedColor);
           EXPECT_FLOAT_EQ(dlg.FRangeLow, f.Family()->Snapshot().RangeLo);
           EXPECT_FLOAT_EQ(dlg.FRangeHigh, f.Family()->Snapshot().RangeHi);
           EXPECT_DOUBLE_EQ(f.Diagram()->YRangeMin(), dlg.FRangeLow);
           EXPECT_DOUBLE_EQ(f.Diagram()->YRangeMax(), dlg.FRangeHigh);
           EXPECT_TRUE(dlg.FOnSettingsChanged);
         }},
        {[&] { return !dlg.DeviceWorkPending(); },
         [&] {
           dlg.SetActivePage(c.page);
           // As the slope dialog hands them back.
           dlg.FSlopeRasters = c.rasters;
           dlg.FAdjustColor = c.color;
           (dlg.*c.button)->click();
         }},
    });
    readClock.start();
    // The menu command once, the tool button once.
    if (c.button == &TArgoDeviceSetupDlg::btnOK)
      f.btnDeviceSetup->click();
    else
      f.mDeviceSetup->trigger();
    EXPECT_EQ(f.State(), csBusy);
    ASSERT_TRUE(WaitForEvents([&] { return script.Finished() && f.State() == csConnected; }, 30000,
                              EventPump::EventLoop))
        << int(f.State());
    probe.stop();
    EXPECT_FALSE(dlg.isVisible());
    // The whole configuration was read before the dialog opened.
    EXPECT_GE(requestsAtShow, 40u);
    EXPECT_GT(readMs, 500);
    EXPECT_LT(maxGap, test_support::StallLimitMs(250)) << "the window stalled during the read";
    EXPECT_TRUE(busyWhileRead);
    EXPECT_GT(maxProgress, 50);
    EXPECT_TRUE(caption.startsWith(QStringLiteral("READ"))) << caption.toStdString();
    EXPECT_EQ(f.ProgressBar->value(), 0);
    ExpectWindowRestored(f);
    EXPECT_TRUE(f.mDeviceSetup->isEnabled());

    EXPECT_EQ(f.Config()->ReadArgoDeviceSetupPage(), c.page);
    EXPECT_EQ(f.Config()->ReadSlopeRaster(), c.rasters);
    EXPECT_EQ(static_cast<std::uint32_t>(f.Config()->ReadAdjustColor()), c.color);
    expectedPage = c.page;
    expectedRasters = c.rasters;
    expectedColor = c.color;
  }
}

// The setup dialog opened through the Device setup command works on the
// device the window is connected to: opening and refreshing write nothing,
// an edit reaches the device, Cancel takes it back.
TEST_F(MainWindowSetupTest, DeviceSetupDialogEditsTheDeviceAndCancelRestoresIt) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  SetState([](ArgoDeviceState& s) {
    s.emissivitySource = 2;  // fixed: the emissivity edit takes input
    s.emissivity = 900;
  });
  const ArgoDeviceState opening = State();
  TArgoDeviceSetupDlg& dlg = *f.ArgoDeviceSetupDlg;
  int refreshes = 0;
  const auto setters = [&] {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& r : model_->Requests())
      if (r.name.startsWith(QLatin1String("Set"))) out.push_back(r.bytes);
    return out;
  };
  ModalScript script({
      {[&] { return dlg.isVisible() && !dlg.DeviceWorkPending(); },
       [&] {
         model_->ClearRequests();
         dlg.SetActivePage(0);
         refreshes = dlg.RefreshCount();
       }},
      {[&] { return dlg.RefreshCount() >= refreshes + 3; },
       [&] {
         EXPECT_TRUE(setters().empty());
         EXPECT_EQ(dlg.seEmissivity->text(), QStringLiteral("0.900"));
         dlg.activateWindow();
         dlg.seEmissivity->setFocus(Qt::TabFocusReason);
       }},
      {[&] { return dlg.seEmissivity->hasFocus(); },
       [&] {
         dlg.seEmissivity->setText(QStringLiteral("0.95"));
         dlg.btnSave->setFocus(Qt::TabFocusReason);
       }},
      {[&] { return State().emissivity == 950 && !dlg.DeviceWorkPending(); },
       [&] {
         EXPECT_EQ(setters(), (std::vector<std::vector<std::uint8_t>>{{0x84, 0x03, 0xB6, 0x31}}));
         dlg.btnCancel->click();
       }},
  });
  f.mDeviceSetup->trigger();
  ASSERT_TRUE(WaitForEvents([&] { return script.Finished() && !dlg.isVisible() && f.State() == csConnected; },
                            30000, EventPump::EventLoop))
      << script.Next();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(State().emissivity, opening.emissivity);
}

// A device that does not answer the read gets no dialog; the window is
// not left busy.
TEST_F(MainWindowSetupTest, DeviceSetupOnASilentDeviceShowsNoDialog) {
  TThermaSentinelForm& f = StartConnected(QStringLiteral("argo-current"));
  TArgoDeviceSetupDlg& dlg = *f.ArgoDeviceSetupDlg;
  bool shown = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (dlg.isVisible()) {
      shown = true;
      dlg.reject();
    }
  });
  probe.start(5);
  ArgoFaults faults = model_->Faults();
  faults.silent = true;
  model_->SetFaults(faults);
  f.mDeviceSetup->trigger();
  EXPECT_TRUE(WaitForEvents([&] { return f.State() != csBusy; }, 20000, EventPump::EventLoop));
  EXPECT_FALSE(shown);
  EXPECT_EQ(f.ProgressBar->value(), 0);
}

}  // namespace
