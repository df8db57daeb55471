// The main window's menus as a user meets them: every item triggered with
// and without a connected device (the emulated single-colour device on a
// pseudo-terminal), the Help menu's commands, the device information and
// the About box, where the language list lands, and the interface dialog's
// Cancel.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <functional>
#include <memory>

#include "app/device_info_dlg.h"
#include "app/therma_sentinel_form.h"
#include "measurement/device_family.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;

// Takes the addresses the desktop would be asked to open.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public Q_SLOTS:
  void open(const QUrl& url) { urls << url; }
};

// Every modal window that comes up while it lives: its name is recorded and
// `act` runs on it (by default it is closed as a user cancels it).
class ModalWatcher {
 public:
  using Action = std::function<void(QWidget* modal)>;
  explicit ModalWatcher(Action act = {}) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start(10);
  }
  QStringList seen;

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal == current_) return;
    current_ = modal;
    const auto* box = qobject_cast<QMessageBox*>(modal);
    seen << (box != nullptr ? QStringLiteral("box:") + box->text() : modal->objectName());
    if (act_) act_(modal);
    if (modal->isVisible()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
      else
        modal->close();
    }
  }
  Action act_;
  QTimer timer_;
  QPointer<QWidget> current_;
};

// Whatever a user can see change after a command.
QString Fingerprint(TThermaSentinelForm& f) {
  QString s = QStringLiteral("state=%1 type=%2 flags=%3 max=%4 ")
                  .arg(f.State())
                  .arg(f.DeviceTypeCode())
                  .arg(static_cast<int>(f.windowFlags()))
                  .arg(f.isMaximized());
  for (QAction* a : f.findChildren<QAction*>())
    if (a->isCheckable()) s += a->objectName() + (a->isChecked() ? QLatin1Char('1') : QLatin1Char('0'));
  const TDiagram& d = *f.Diagram();
  s += QStringLiteral(" x=%1..%2 y=%3..%4 mode=%5,%6 pause=%7 ")
           .arg(d.XMin())
           .arg(d.XMax())
           .arg(d.YMin())
           .arg(d.YMax())
           .arg(static_cast<int>(d.XScaleMode()))
           .arg(static_cast<int>(d.YScaleMode()))
           .arg(f.btnPause->isChecked());
  if (const QMimeData* clip = QGuiApplication::clipboard()->mimeData())
    s += QStringLiteral("clip=") +
         QString::number(clip->hasImage() ? clip->imageData().value<QImage>().cacheKey() : 0);
  return s;
}

// The leaf items of a menu and its submenus, in menu order.
void CollectItems(QMenu* menu, QList<QAction*>& items) {
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    if (a->menu() != nullptr)
      CollectItems(a->menu(), items);
    else
      items << a;
  }
}

class MainWindowMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    test_support::PrepareProgramHome(dir_);
    QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
    ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
    ports.write("[Ports]\r\n");
    ports.close();
    for (const char* scheme : {"http", "https", "file"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &urls_, "open");
  }
  void TearDown() override {
    form_.reset();
    for (const char* scheme : {"http", "https", "file"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    if (devsim_.state() != QProcess::NotRunning) {
      devsim_.terminate();
      devsim_.waitForFinished(5000);
    }
    test_support::LeaveProgramHome();
  }

  QString ProgramFile(const QString& name) const { return dir_.filePath(QStringLiteral("prog/") + name); }

  void WriteSettings(const QByteArray& text) {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    QFile f(dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(text).replace("\n", "\r\n"));
  }

  // The emulated single-colour device on COM4, stored so that the start
  // connects to it.
  void PrepareDevice() {
    const QString devsim = QStringLiteral(TS_BINARY_DIR "/tools/devsim/thermasentinel-devsim");
    if (!QFileInfo::exists(devsim)) GTEST_SKIP() << "the emulator program is not built";
    devsim_.start(devsim,
                  {QStringLiteral("--model"), QStringLiteral("argo"), QStringLiteral("--serial"),
                   QStringLiteral("1107001"), QStringLiteral("--pty"), QStringLiteral("--ports-file"),
                   dir_.filePath(QStringLiteral("ports.ini")), QStringLiteral("--com"), QStringLiteral("4")});
    ASSERT_TRUE(devsim_.waitForStarted(10000));
    ASSERT_TRUE(WaitForEvents([&] { return QFile(dir_.filePath(QStringLiteral("ports.ini"))).size() > 10; },
                              10000, EventPump::EventLoop));
    WriteSettings(
        "[COM]\nCOM=4\nBaudrate=5\nDeviceType=1\nArgo_Serial=1107001\n[Options]\nAutoScan=1\nAutoStart=0\n"
        "AskForSaving=0\n[Settings]\nArgoBurstStartDelay=0\n");
  }

  TThermaSentinelForm& Start(bool connected) {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")},
                                                  QStringLiteral("2.1.0.57"));
    form_->OnShowMessage = [this](const QString& text, const QString&) { messages_ << text; };
    form_->OnChooseDataFileName = [this](bool save) {
      messages_ << (save ? QStringLiteral("file:save") : QStringLiteral("file:open"));
      return QString();
    };
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->Started(); }, 8000, EventPump::EventLoop));
    if (connected) {
      EXPECT_TRUE(WaitForEvents([&] { return form_->State() == csConnected; }, 15000, EventPump::EventLoop))
          << int(form_->State());
    }
    return *form_;
  }

  // Waits until the window rests again (no device job, dialog or connection
  // step under way).
  bool WaitUntilResting(TThermaSentinelForm& f, int ms = 8000) {
    return WaitForEvents(
        [&] {
          return f.State() != csBusy && f.State() != csWaiting && f.State() != csOpened &&
                 QApplication::activeModalWidget() == nullptr;
        },
        ms, EventPump::EventLoop);
  }

  QTemporaryDir dir_;
  QProcess devsim_;
  UrlRecorder urls_;
  QStringList messages_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

}  // namespace

// Help > Help: without a help file for the language the user is told so;
// with one, the desktop opens it.
TEST_F(MainWindowMenusTest, HelpOpensTheLanguagesHelpFileOrSaysWhyNot) {
  TThermaSentinelForm& f = Start(false);
  ASSERT_TRUE(f.mHelpFile->isEnabled());
  f.mHelpFile->trigger();
  EXPECT_EQ(messages_, QStringList{QStringLiteral("HelpFile not found!")});
  EXPECT_TRUE(urls_.urls.isEmpty());

  messages_.clear();
  f.close();
  form_.reset();
  TLngINISupp::ResetSharedStateForTesting();
  IniFile(ProgramFile(QStringLiteral("English.lng")))
      .WriteString(QStringLiteral("Language"), QStringLiteral("HelpFile"), QStringLiteral("Manual.pdf"));
  QFile manual(ProgramFile(QStringLiteral("Manual.pdf")));
  ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
  manual.close();
  TThermaSentinelForm& g = Start(false);
  g.mHelpFile->trigger();
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('|').toStdString();
  ASSERT_EQ(urls_.urls.size(), 1);
  EXPECT_EQ(urls_.urls[0], QUrl::fromLocalFile(ProgramFile(QStringLiteral("Manual.pdf"))));
}

// The web-link item carries the branding file's address and opens it; without
// an address there is no (blank) item.
TEST_F(MainWindowMenusTest, WebLinkOpensTheBrandingAddressAndIsHiddenWithoutOne) {
  {
    TThermaSentinelForm& f = Start(false);
    EXPECT_FALSE(f.mURL->isVisible());
    f.close();
    form_.reset();
  }
  TLngINISupp::ResetSharedStateForTesting();
  IniFile(ProgramFile(QStringLiteral("Corporate.ini")))
      .WriteString(QStringLiteral("Corporate"), QStringLiteral("URL"),
                   QStringLiteral("&www.example.com/sensors"));
  TThermaSentinelForm& f = Start(false);
  EXPECT_TRUE(f.mURL->isVisible());
  EXPECT_EQ(f.mURL->text(), QStringLiteral("&www.example.com/sensors"));
  f.mURL->trigger();
  ASSERT_EQ(urls_.urls.size(), 1);
  EXPECT_EQ(urls_.urls[0], QUrl(QStringLiteral("http://www.example.com/sensors")));
}

// The About box names the application by its title, not by the product.
TEST_F(MainWindowMenusTest, AboutShowsTheApplicationTitle) {
  IniFile corporate(ProgramFile(QStringLiteral("Corporate.ini")));
  corporate.WriteString(QStringLiteral("Corporate"), QStringLiteral("ApplicationString"),
                        QStringLiteral("Kiln Watch"));
  corporate.WriteString(QStringLiteral("Corporate"), QStringLiteral("ProductString"),
                        QStringLiteral("KW-2000 Product Line"));
  corporate.WriteString(QStringLiteral("Corporate"), QStringLiteral("CopyRight"), QStringLiteral("(c) Kiln"));
  TThermaSentinelForm& f = Start(false);
  QString title, notice;
  ModalWatcher watcher([&](QWidget* modal) {
    if (auto* t = modal->findChild<QLabel*>(QStringLiteral("stProgTitle"))) title = t->text();
    if (auto* n = modal->findChild<QLabel*>(QStringLiteral("Label2"))) notice = n->text();
  });
  f.mAbout->trigger();
  EXPECT_EQ(watcher.seen, QStringList{QStringLiteral("AboutDlg")});
  EXPECT_EQ(title, QStringLiteral("Kiln Watch"));
  EXPECT_EQ(notice, QStringLiteral("(c) Kiln"));
}

// The language list gets its own entry at the end of the menu bar (the
// window has no sixth top-level menu to hold it); the File menu keeps its
// own items only.
TEST_F(MainWindowMenusTest, LanguageListLandsAfterTheHelpMenu) {
  TThermaSentinelForm& f = Start(false);
  const QList<QAction*> top = f.MainMenu->actions();
  ASSERT_EQ(top.size(), 6);
  ASSERT_NE(top[5]->menu(), nullptr);
  EXPECT_EQ(top[5]->menu()->objectName(), QStringLiteral("LngItem"));
  EXPECT_EQ(top[5]->text(), QStringLiteral("Language"));
  QStringList english;
  for (QAction* a : top[5]->menu()->actions()) english << a->objectName();
  EXPECT_EQ(english, QStringList{QStringLiteral("English")});
  EXPECT_EQ(top[0]->menu()->actions().first(), f.mOpen);
}

// language.xml that can be written nowhere is reported to the user; the
// program starts all the same.
TEST_F(MainWindowMenusTest, ALanguageXmlThatCannotBeWrittenIsReported) {
  // language.xml is a folder in the program folder, and the per-user folder
  // is a file.
  ASSERT_TRUE(QDir().mkpath(ProgramFile(QStringLiteral("language.xml/x"))));
  QFile blocker(dir_.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_CONFIG_HOME", blocker.fileName().toLocal8Bit());
  TThermaSentinelForm& f = Start(false);
  EXPECT_TRUE(WaitForEvents(
      [&] { return !messages_.filter(QStringLiteral("language.xml could not be written")).isEmpty(); }, 2000,
      EventPump::EventLoop))
      << messages_.join('|').toStdString();
  EXPECT_EQ(f.State(), csClosed);
}

// Device information: the window rests (state 6) while the dialog shows the
// device, and the chart's Y range is the device's range.
TEST_F(MainWindowMenusTest, DeviceInfoRestsTheWindowAndSetsTheChartRange) {
  PrepareDevice();
  TThermaSentinelForm& f = Start(true);
  const TDeviceSnapshot device = f.Family()->Snapshot();
  ASSERT_GT(device.RangeHi, device.RangeLo);
  f.Diagram()->SetYRangeMin(-500);
  f.Diagram()->SetYRangeMax(5000);
  int stateWhileShown = -1;
  QString serial, range;
  ModalWatcher watcher([&](QWidget* modal) {
    stateWhileShown = f.State();
    auto* dlg = qobject_cast<TDeviceInfoDlg*>(modal);
    if (dlg == nullptr) return;
    serial = dlg->stSerial->text();
    range = dlg->stDeviceRange->text();
  });
  f.mDeviceInfo->trigger();
  EXPECT_EQ(watcher.seen, QStringList{QStringLiteral("DeviceInfoDlg")});
  EXPECT_EQ(stateWhileShown, csBusy);
  EXPECT_EQ(serial, QStringLiteral("1107001"));
  EXPECT_FALSE(range.isEmpty());
  EXPECT_FLOAT_EQ(static_cast<float>(f.Diagram()->YRangeMin()), device.RangeLo);
  EXPECT_FLOAT_EQ(static_cast<float>(f.Diagram()->YRangeMax()), device.RangeHi);
  EXPECT_EQ(f.State(), csConnected);
  EXPECT_TRUE(f.mStart->isEnabled());
}

// Every single-colour connection starts the setup dialog's change counters
// from 0.
TEST_F(MainWindowMenusTest, AConnectionResetsTheSetupDialogsChangeCounters) {
  PrepareDevice();
  form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
  TThermaSentinelForm& f = *form_;
  ASSERT_NE(f.ArgoDeviceSetupDlg, nullptr);
  f.ArgoDeviceSetupDlg->FChangeCount1 = 3;
  f.ArgoDeviceSetupDlg->FChangeCount2 = 4;
  f.ArgoDeviceSetupDlg->FChangeCount3 = 5;
  f.show();
  ASSERT_TRUE(WaitForEvents([&] { return f.State() == csConnected; }, 15000, EventPump::EventLoop));
  EXPECT_EQ(f.ArgoDeviceSetupDlg->FChangeCount1, 0);
  EXPECT_EQ(f.ArgoDeviceSetupDlg->FChangeCount2, 0);
  EXPECT_EQ(f.ArgoDeviceSetupDlg->FChangeCount3, 0);
}

// Setup > Interface, then Cancel: the device that was connected is
// connected again, with the stored settings unchanged.
TEST_F(MainWindowMenusTest, InterfaceCancelReconnectsTheDevice) {
  PrepareDevice();
  TThermaSentinelForm& f = Start(true);
  const QByteArray settingsBefore = [&] {
    QFile s(f.Config()->FileName());
    return s.open(QIODevice::ReadOnly) ? s.readAll() : QByteArray();
  }();
  int stateWhileShown = -1;
  ModalWatcher watcher([&](QWidget*) { stateWhileShown = f.State(); });
  f.mInterface->trigger();
  EXPECT_EQ(watcher.seen, QStringList{QStringLiteral("InterfaceDlg")});
  EXPECT_EQ(stateWhileShown, csClosed);
  EXPECT_TRUE(WaitForEvents([&] { return f.State() == csConnected; }, 15000, EventPump::EventLoop))
      << int(f.State());
  EXPECT_EQ(f.DeviceTypeCode(), 1);
  QFile s(f.Config()->FileName());
  ASSERT_TRUE(s.open(QIODevice::ReadOnly));
  const QByteArray settingsAfter = s.readAll();
  for (const char* key : {"COM=4", "Baudrate=5", "DeviceType=1"}) {
    EXPECT_TRUE(settingsBefore.contains(key)) << key;
    EXPECT_TRUE(settingsAfter.contains(key)) << key;
  }
}

// Without a device, Cancel leaves the program as it was: nothing connects.
TEST_F(MainWindowMenusTest, InterfaceCancelWithoutADeviceConnectsNothing) {
  WriteSettings("[Options]\nAutoScan=0\n[COM]\nCOM=3\n");
  TThermaSentinelForm& f = Start(false);
  ModalWatcher watcher;
  f.mInterface->trigger();
  EXPECT_EQ(watcher.seen, QStringList{QStringLiteral("InterfaceDlg")});
  EXPECT_FALSE(WaitForEvents([&] { return f.State() != csClosed; }, 1500, EventPump::EventLoop));
}

// View > Always on top keeps the window above the others and blends it with
// its alpha value (opaque) while it is on; off takes both back.
TEST_F(MainWindowMenusTest, AlwaysOnTopSwitchesStayOnTopAndBlending) {
  TThermaSentinelForm& f = Start(false);
  ASSERT_FALSE(f.mAlwaysOnTop->isChecked());
  f.mAlwaysOnTop->trigger();
  EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(f.AlphaBlend());
  EXPECT_DOUBLE_EQ(f.windowOpacity(), TThermaSentinelForm::AlphaBlendValue / 255.0);
  EXPECT_TRUE(f.isVisible());
  f.mAlwaysOnTop->trigger();
  EXPECT_FALSE(f.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(f.AlphaBlend());
  EXPECT_DOUBLE_EQ(f.windowOpacity(), 1.0);
}

// A change of the hidden diagnostic memo notes the chart's lower range end
// in it, once per change.
TEST_F(MainWindowMenusTest, DiagnosticMemoNotesTheLowerRangeEnd) {
  TThermaSentinelForm& f = Start(false);
  f.Diagram()->SetYRangeMin(-12.34);
  f.Memo1->setPlainText(QStringLiteral("probe"));
  EXPECT_EQ(f.Memo1->toPlainText(), QStringLiteral("probe\nYmin : -12.3"));
}

// The status bar: each panel as wide as its text and 10 pixels (the
// progress bar's panel keeps its width), and panel 4 takes the rest.
TEST_F(MainWindowMenusTest, StatusBarPanelsFollowTheirTexts) {
  TThermaSentinelForm& f = Start(false);
  f.resize(900, 600);
  ASSERT_TRUE(WaitForEvents([&] { return f.width() == 900; }, 2000, EventPump::EventLoop));
  PanelStatusBar& bar = *f.StatusBar();
  const QFontMetrics metrics(bar.Panel(0)->font());
  for (int panel : {0, 2, 5}) {
    SCOPED_TRACE(panel);
    EXPECT_EQ(bar.PanelGeometry(panel).width(), metrics.horizontalAdvance(bar.PanelText(panel)) + 10);
  }
  EXPECT_EQ(bar.PanelGeometry(3).width(), 45);
  int sum = 0;
  for (int i = 0; i < bar.PanelCount(); ++i) sum += bar.PanelGeometry(i).width();
  EXPECT_EQ(sum, bar.Panel(0)->parentWidget()->width());
}

// Every menu item, with and without a device: nothing crashes, and an item a
// user can reach either does something the user sees (a window, a message,
// an opened address, a changed state, check mark, window or chart) or is
// disabled.
TEST_F(MainWindowMenusTest, EveryItemActsOrIsDisabled) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "device connected" : "no device");
    messages_.clear();
    urls_.urls.clear();
    TLngINISupp::ResetSharedStateForTesting();
    if (connected) {
      PrepareDevice();
      if (IsSkipped()) return;
    } else {
      WriteSettings("[Options]\nAutoScan=0\n[COM]\nCOM=3\n");
    }
    TThermaSentinelForm& f = Start(connected);
    // Something to copy and to zoom.
    f.Diagram()->SetYRangeMin(0);
    f.Diagram()->SetYRangeMax(1000);

    QList<QAction*> items;
    for (QAction* top : f.MainMenu->actions())
      if (top->menu() != nullptr && top->menu()->objectName() != QStringLiteral("LngItem"))
        CollectItems(top->menu(), items);
    // The commands that change the connection come last, in the order a
    // user would give them; Exit ends the run.
    const QList<QAction*> last{f.mStart, f.mPause, f.mStop, f.mDisconnect, f.mScan, f.mExit};
    for (QAction* a : last) items.removeAll(a);
    items << last;

    int acted = 0;
    for (QAction* a : items) {
      if (form_ == nullptr) break;
      const QString name = a->objectName().isEmpty() ? a->text() : a->objectName();
      SCOPED_TRACE(name.toStdString());
      if (!a->isVisible() || !a->isEnabled()) continue;
      ASSERT_TRUE(WaitUntilResting(f));
      const qsizetype messagesBefore = messages_.size(), urlsBefore = urls_.urls.size();
      // A command that puts the chart into a state it is in already shows
      // nothing: the chart leaves that state first.
      TDiagram& chart = *f.Diagram();
      if (a == f.mTimeZoomFull) chart.XZoomIn();
      if (a == f.mTempZoomFull) chart.YZoomIn();
      if (a == f.mManualScaling || a == f.mGlobalScaling) chart.SetYScaleMode(smLocal);
      if (a == f.mLocalScaling) chart.SetYScaleMode(smManual);
      const QString before = Fingerprint(f);
      ModalWatcher watcher;
      QPointer<TThermaSentinelForm> alive(&f);
      a->trigger();
      if (a == f.mExit) {
        EXPECT_TRUE(
            WaitForEvents([&] { return alive.isNull() || !f.isVisible(); }, 5000, EventPump::EventLoop));
        ++acted;
        break;
      }
      const bool seen = WaitForEvents(
          [&] {
            return !watcher.seen.isEmpty() || messages_.size() > messagesBefore ||
                   urls_.urls.size() > urlsBefore || Fingerprint(f) != before;
          },
          5000, EventPump::EventLoop);
      EXPECT_TRUE(seen) << "nothing happened: " << name.toStdString();
      if (seen) ++acted;
      ASSERT_TRUE(WaitUntilResting(f)) << int(f.State());
    }
    EXPECT_GT(acted, 20);
    form_.reset();
    if (devsim_.state() != QProcess::NotRunning) {
      devsim_.terminate();
      devsim_.waitForFinished(5000);
    }
  }
}

#include "test_main_window_menus.moc"
