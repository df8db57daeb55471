// The main program's external displays: real GlowReadout processes started,
// restored, fed, reporting and closed; and the main window around them.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <memory>

#include "app/display_link.h"
#include "app/therma_sentinel_form.h"
#include "platform/display_link_protocol.h"
#include "platform/folders.h"
#include "platform/number_text.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "ui/lng_ini_supp.h"

using namespace DisplayLink;

using test_support::WaitForEvents;

namespace {

const QString kGlowReadout = QStringLiteral(TS_BINARY_DIR "/app/GlowReadout");

TDisplayRecord Settings(int kind, const QString& name, int left = 100, int top = 100) {
  TDisplayRecord r;
  r.Kind = kind;
  r.Name = name;
  r.Left = left;
  r.Top = top;
  r.Colour = 255;
  r.Contrast = true;
  return r;
}

// A display link to real GlowReadout processes (offscreen).
struct Link {
  Link() {
    link.SetProgram(kGlowReadout);
    link.SetDesktop([] { return QRect(0, 0, 1920, 1080); });
    link.OnStartFinished = [this](int, std::uint32_t window) { (window != 0 ? arrived : failed)++; };
    link.OnLastDisplayClosed = [this] { ++lastClosed; };
    link.OnExitAll = [this] { ++exitAll; };
  }
  ~Link() {
    link.CloseAll();
    WaitForEvents([this] { return link.Records().isEmpty() || link.RunningCount() == 0; }, 5000);
  }
  std::uint32_t Window(int index) const { return link.Records().at(index).Window; }
  void Report(std::uint32_t window, int code, int value) {
    link.HandleMessage(window, Message(MsgDisplayReport, window, EncodeReport(code, value)));
  }

  TDisplayLink link;
  int arrived = 0;
  int failed = 0;
  int lastClosed = 0;
  int exitAll = 0;
};

}  // namespace

// The command line the main program has always written, and the arguments
// the display gets from it: the name stays one argument, blanks and all.
TEST(DisplayLink, CommandLineOfADisplay) {
  TDisplayRecord r = Settings(6, QStringLiteral("T 2C"), 812, 430);
  r.Colour = 16711680;
  r.Transparent = true;
  r.CrossX = -1;
  r.CrossY = -1;
  const QString caption = QStringLiteral("Therma \"Sentinel\" 2.1");
  EXPECT_EQ(
      TDisplayLink::DisplayCommandLine(r, caption),
      "/x /name=T 2C /Appname=\"Therma Sentinel 2.1\" /pos=812,430,200,100 /color=16711680 /cross=-1,-1,0 "
      "/transparent /contrast");
  EXPECT_EQ(TDisplayLink::DisplayArguments(r, caption),
            QStringList({"/x", "/name=T 2C", "/Appname=Therma Sentinel 2.1", "/pos=812,430,200,100",
                         "/color=16711680", "/cross=-1,-1,0", "/transparent", "/contrast"}));
  r.Border = true;
  r.Contrast = false;
  r.Transparent = false;
  EXPECT_TRUE(
      TDisplayLink::DisplayCommandLine(r, caption).endsWith(QStringLiteral("/cross=-1,-1,0 /border")));
}

// A display is listed once it has introduced itself; values and texts go to
// it; told to close, it ends but its record stays for the next start.
TEST(DisplayLink, StartFeedAndClose) {
  Link l;
  const int id = l.link.StartDisplay(Settings(1, QStringLiteral("T Obj")));
  ASSERT_GT(id, 0);
  EXPECT_EQ(l.link.StartingCount(), 1);
  EXPECT_TRUE(l.link.Lines().isEmpty());
  EXPECT_EQ(l.link.SavedLines().size(), 1);  // a start under way is saved too
  ASSERT_TRUE(WaitForEvents([&] { return l.arrived == 1; }, 15000));
  ASSERT_EQ(l.link.Records().size(), 1);
  EXPECT_NE(l.Window(0), 0u);
  EXPECT_EQ(l.link.Records()[0].Name, "T Obj");
  EXPECT_EQ(l.link.RunningCount(), 1);
  l.link.SendTexts(QStringList(11, QStringLiteral("x")), QLatin1Char(','));
  for (std::uint32_t v = 1000; v < 1100; ++v) l.link.SendValue(1, v);

  const std::uint32_t window = l.Window(0);
  l.link.CloseAll();
  EXPECT_EQ(l.link.RunningCount(), 0);
  // The display ends; its link drops, which is no removal for a display
  // that was told to close.
  ASSERT_TRUE(WaitForEvents([&] { return l.link.ProcessId(window) == 0; }, 15000));
  EXPECT_EQ(l.link.Lines().size(), 1);
  EXPECT_EQ(l.lastClosed, 0);
}

// Saved lines start their displays again; a line that is not a record is
// skipped without stopping the others; a position beyond the desktop starts
// at 1.
TEST(DisplayLink, RestoreSkipsBadLinesAndClampsPositions) {
  Link l;
  TDisplayRecord far = Settings(2, QStringLiteral("T Int"), 5000, 4000);
  l.link.RestoreDisplays(
      {Settings(1, QStringLiteral("T Obj")).ToLine(), QStringLiteral("1\x01garbage\x01"), far.ToLine()});
  EXPECT_EQ(l.link.StartingCount(), 2);
  ASSERT_TRUE(WaitForEvents([&] { return l.arrived == 2; }, 15000));
  QStringList names;
  for (const TDisplayRecord& r : l.link.Records()) names << r.Name;
  names.sort();
  EXPECT_EQ(names, QStringList({"T Int", "T Obj"}));
  for (const TDisplayRecord& r : l.link.Records()) {
    if (r.Name == QStringLiteral("T Int")) {
      EXPECT_EQ(r.Left, 1);
      EXPECT_EQ(r.Top, 1);
    }
  }
}

// A display that never introduces itself counts as not started when its
// time is up; a program that cannot start gives 0 at once.
TEST(DisplayLink, StartsThatFailAreBounded) {
  Link l;
  l.link.SetProgram(QStringLiteral("/nonexistent/GlowReadout"));
  EXPECT_EQ(l.link.StartDisplay(Settings(1, QStringLiteral("x"))), 0);
  EXPECT_EQ(l.link.StartingCount(), 0);

  l.link.SetProgram(QStringLiteral("/bin/sleep"));  // runs, but says nothing
  l.link.SetStartTimeoutMs(500);
  ASSERT_GT(l.link.StartDisplay(Settings(1, QStringLiteral("x"))), 0);
  ASSERT_TRUE(WaitForEvents([&] { return l.failed == 1; }, 10000));
  EXPECT_EQ(l.link.StartingCount(), 0);
  EXPECT_TRUE(l.link.SavedLines().isEmpty());
}

// Reports change the display's record and move it to the end of the list;
// negative positions keep their sign and their code; a display speaks for
// its own window only.
TEST(DisplayLink, ReportsUpdateTheRecord) {
  Link l;
  l.link.StartDisplay(Settings(1, QStringLiteral("A")));
  l.link.StartDisplay(Settings(2, QStringLiteral("B")));
  ASSERT_TRUE(WaitForEvents([&] { return l.arrived == 2; }, 15000));
  const std::uint32_t first = l.Window(0);
  const std::uint32_t second = l.Window(1);

  l.Report(first, ReportCode::CrossX, 300);
  l.Report(first, ReportCode::CrossY, -5);
  EXPECT_EQ(l.link.Records().last().Window, first);
  EXPECT_EQ(l.link.Records().last().CrossX, 300);
  EXPECT_EQ(l.link.Records().last().CrossY, -5);

  l.Report(second, ReportCode::Left, -40);  // left of the primary screen
  l.Report(second, ReportCode::Top, 2000);  // beyond the desktop: ignored
  l.Report(second, ReportCode::Width, 240);
  l.Report(second, ReportCode::Style, kStyleBorder | kStyleContrast);
  l.Report(second, ReportCode::CrossShown, 1);
  TDisplayRecord b = l.link.Records().last();
  EXPECT_EQ(b.Window, second);
  EXPECT_EQ(b.Left, -40);
  EXPECT_EQ(b.Top, 100);
  EXPECT_EQ(b.Width, 240);
  EXPECT_FALSE(b.Transparent);
  EXPECT_TRUE(b.Border);
  EXPECT_TRUE(b.Contrast);
  EXPECT_EQ(b.CrossOn, 1);

  // Colour and a new window id.
  l.link.HandleMessage(first, Message(MsgDisplayColor, first, 0x563412));
  EXPECT_EQ(l.link.Records().last().Colour, 0x563412);
  l.link.HandleMessage(first, Message(MsgDisplayHandle, first, 99));
  EXPECT_EQ(l.link.Records().last().Window, 99u);
  l.Report(99, ReportCode::Width, 123);
  EXPECT_EQ(l.link.Records().last().Width, 123);

  // One display cannot change another's record.
  const QStringList before = l.link.Lines();
  l.link.HandleMessage(second, Message(MsgDisplayReport, 99, EncodeReport(ReportCode::Width, 1)));
  l.link.HandleMessage(second, Message(MsgDisplayHandle, 99, 5));
  l.Report(424242, ReportCode::Width, 1);
  EXPECT_EQ(l.link.Lines(), before);
}

// "Exit (all)" keeps the record and asks the main window to close; a
// display that closes itself, or whose link drops, is removed, and the last
// one to go says so.
TEST(DisplayLink, EndsOfADisplay) {
  Link l;
  l.link.StartDisplay(Settings(1, QStringLiteral("A")));
  l.link.StartDisplay(Settings(2, QStringLiteral("B")));
  l.link.StartDisplay(Settings(3, QStringLiteral("C")));
  ASSERT_TRUE(WaitForEvents([&] { return l.arrived == 3; }, 15000));
  const std::uint32_t a = l.Window(0), b = l.Window(1), c = l.Window(2);

  l.Report(a, ReportCode::Closed, 0);
  EXPECT_EQ(l.link.Records().size(), 2);
  EXPECT_EQ(l.link.RunningCount(), 2);
  EXPECT_EQ(l.lastClosed, 0);

  l.Report(b, ReportCode::ExitAll, 0);
  EXPECT_EQ(l.exitAll, 1);
  EXPECT_EQ(l.link.Records().size(), 2);
  EXPECT_EQ(l.link.RunningCount(), 1);

  // C's process vanishes without a word: the same as its removal report.
  ::kill(static_cast<pid_t>(l.link.ProcessId(c)), SIGKILL);
  ASSERT_TRUE(WaitForEvents([&] { return l.link.Records().size() == 1; }, 15000));
  EXPECT_EQ(l.link.Records()[0].Window, b);
  EXPECT_EQ(l.link.RunningCount(), 0);
  EXPECT_EQ(l.lastClosed, 1);
}

namespace {

// The main window with a program folder that holds GlowReadout (or not).
class MainWindowDisplays : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    test_support::PrepareProgramHome(dir_);
  }
  void TearDown() override {
    form_.reset();
    NumberText::SetDecimalSeparator(QChar());
    test_support::LeaveProgramHome();
  }
  void InstallDisplayProgram() {
    ASSERT_TRUE(QFile::link(kGlowReadout, dir_.filePath(QStringLiteral("prog/GlowReadout"))));
  }
  QString SettingsPath() const {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
  }
  void WriteSettings(const QString& text) {
    QDir().mkpath(QFileInfo(SettingsPath()).path());
    QFile f(SettingsPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toLatin1());
  }
  QString SettingsText() const {
    QFile f(SettingsPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
  }
  TThermaSentinelForm& Start() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")},
                                                  QStringLiteral("1.2.3.4"));
    form_->OnShowMessage = [](const QString&, const QString&) {};
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->Started(); }, 8000));
    return *form_;
  }
  // A saved display of kind 1 at 40, 50.
  static QString SavedList() {
    return QStringLiteral("[GlowReadout]\ncount=1\n0=") +
           ::Settings(1, QStringLiteral("T Obj"), 40, 50).ToLine() + QStringLiteral("\n");
  }

  QTemporaryDir dir_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

}  // namespace

// A double-click on a value panel opens a display of that panel; it is
// listed, and saved at the close, when it is told to close.
TEST_F(MainWindowDisplays, DoubleClickOpensADisplayThatIsSavedAtClose) {
  InstallDisplayProgram();
  TThermaSentinelForm& f = Start();
  QGroupBox* box = f.Panels1[0].Box;
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &dbl);
  ASSERT_TRUE(WaitForEvents([&] { return f.lbGlowReadout->count() == 1; }, 15000));
  const std::optional<TDisplayRecord> r = TDisplayRecord::Parse(f.lbGlowReadout->item(0)->text());
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->Kind, box->property("Tag").toInt());
  EXPECT_EQ(r->Name, box->title());
  EXPECT_TRUE(r->Transparent);
  EXPECT_TRUE(r->Contrast);
  EXPECT_EQ(f.DisplayLinks()->RunningCount(), 1);
  EXPECT_TRUE(f.mInvisible->isEnabled());
  // The external-display items open displays too: the tenth is TAmb's.
  QAction* ambient = f.mExternaldisplay2->actions().at(9);
  EXPECT_EQ(ambient->objectName(), "mExtTAmb2");
  ambient->trigger();
  ASSERT_TRUE(WaitForEvents([&] { return f.lbGlowReadout->count() == 2; }, 15000));
  EXPECT_EQ(TDisplayRecord::Parse(f.lbGlowReadout->item(1)->text())->Kind, 10);
  const std::uint32_t window = r->Window;
  f.close();
  EXPECT_TRUE(WaitForEvents([&] { return f.DisplayLinks()->ProcessId(window) == 0; }, 15000));
  EXPECT_TRUE(SettingsText().contains(QStringLiteral("count=2"))) << SettingsText().toStdString();
}

// The stored "invisible" state hides the window only while a restored
// display really runs; with no display program the window stays in sight.
TEST_F(MainWindowDisplays, HiddenOnlyWhileADisplayRuns) {
  WriteSettings(QStringLiteral("[Settings]\nInvisible=1\n") + SavedList());
  {
    TThermaSentinelForm& f = Start();
    WaitForEvents([] { return false; }, 300);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.DisplayLinks()->StartingCount(), 0);
    EXPECT_FALSE(f.mInvisible->isEnabled());
  }
  form_.reset();
  InstallDisplayProgram();
  WriteSettings(QStringLiteral("[Settings]\nInvisible=1\n") + SavedList());
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitForEvents([&] { return f.DisplayLinks()->RunningCount() == 1; }, 15000));
  EXPECT_FALSE(f.isVisible());
  // The last display going away while the window is hidden ends the program.
  const std::uint32_t window = f.DisplayLinks()->Records()[0].Window;
  ::kill(static_cast<pid_t>(f.DisplayLinks()->ProcessId(window)), SIGKILL);
  EXPECT_TRUE(WaitForEvents([&] { return f.DisplayLinks()->Records().isEmpty(); }, 15000));
  // The close has run: the device family is gone.
  EXPECT_TRUE(WaitForEvents([&] { return f.Family() == nullptr; }, 5000));
}
