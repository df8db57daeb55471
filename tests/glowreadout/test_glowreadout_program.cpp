// GlowReadout as a program, seen from the main program's side of the link:
// started with a command line, it introduces itself, takes its owner,
// values and texts, and reports or keeps silent as it closes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

#include "platform/display_link_channel.h"
#include "platform/display_link_protocol.h"
#include "platform/display_link_server.h"
#include "tests/support/wait_for.h"

using namespace DisplayLink;

using test_support::WaitForEvents;

namespace {

constexpr std::uint32_t kMain = 777;


// The main program's part: a link server and one started display.
class MainSide {
 public:
  MainSide() {
    EXPECT_TRUE(server.Listen()) << server.ErrorText().toStdString();
    server.OnIntroduced = [this](int, TDisplayLinkChannel* c, std::uint32_t window, std::int64_t pid) {
      introducedPid = pid;
      channel = c;
      windowId = window;
      c->OnMessage = [this](const TLinkMessage& m) { received.push_back(m); };
      c->OnDropped = [this](bool) { dropped = true; };
    };
    server.OnStartFailed = [this](int) { startFailed = true; };
  }
  ~MainSide() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(5000);
    }
  }

  void Start(const QStringList& args, const QByteArray& tokenOverride = QByteArray(), int timeoutMs = 15000) {
    const QByteArray token = server.Expect(1, timeoutMs);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QString::fromLatin1(kServerEnvironment), server.ServerPath());
    env.insert(QString::fromLatin1(kTokenEnvironment),
               QString::fromLatin1(tokenOverride.isEmpty() ? token : tokenOverride));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(TS_BINARY_DIR "/app/GlowReadout"), args);
    ASSERT_TRUE(process.waitForStarted(10000));
    server.SetExpectedPid(token, process.processId());
  }

  bool Introduced(int timeoutMs = 15000) {
    return WaitForEvents([this] { return channel != nullptr; }, timeoutMs);
  }
  bool Ended(int timeoutMs = 15000) {
    return WaitForEvents([this] { return process.state() == QProcess::NotRunning; }, timeoutMs);
  }
  std::vector<TReport> Reports() const {
    std::vector<TReport> out;
    for (const TLinkMessage& m : received) {
      if (m.Msg == MsgDisplayReport && m.WParam == windowId) out.push_back(DecodeReport(m.LParam));
    }
    return out;
  }

  TDisplayLinkServer server;
  QProcess process;
  TDisplayLinkChannel* channel = nullptr;
  std::uint32_t windowId = 0;
  std::vector<TLinkMessage> received;
  std::int64_t introducedPid = 0;
  bool dropped = false;
  bool startFailed = false;
};

const QStringList kArgs{QStringLiteral("/x"),
                        QStringLiteral("/name=T 2C"),
                        QStringLiteral("/Appname=Test"),
                        QStringLiteral("/pos=50,60,200,100"),
                        QStringLiteral("/color=255"),
                        QStringLiteral("/cross=-1,-1,0"),
                        QStringLiteral("/contrast")};

void Feed(TDisplayLinkChannel* c) {
  c->Send(Message(MsgDisplayOwner, kMain, 0));
  const char* captions[] = {"Rahmen",        "Transparent", "Farbe",     "Fadenkreuz", "Kontrast",   "-",
                            "Hauptprogramm", "-",           "Entfernen", "-",          "Ende (alle)"};
  for (int i = 0; i <= 10; ++i) c->Send(CopyData(kMain, i, QString::fromUtf8(captions[i])));
  c->Send(CopyData(kMain, kTextDecimalSeparator, QStringLiteral(",")));
  for (std::uint32_t v = 1000; v < 1500; ++v) c->Send(Message(MsgDisplayValue, v, 0));
  c->Send(CopyData(kMain, kTextValue, QStringLiteral("12,5")));
}

}  // namespace

// The system close (a logout's SIGTERM) posts the removal report to the
// owner, and the program ends cleanly.
TEST(GlowReadoutProgram, IntroducesItselfTakesMessagesAndReportsItsEnd) {
  MainSide main;
  main.Start(kArgs);
  ASSERT_TRUE(main.Introduced()) << "no introduction";
  EXPECT_GE(main.windowId, 1u);
  EXPECT_LE(main.windowId, 0x7FFFFFFFu);
  EXPECT_EQ(main.introducedPid, main.process.processId());
  Feed(main.channel);
  main.channel->Send(Message(MsgDisplayValue, 1250, 0));
  // Nothing answers these: give the display a moment to read them before
  // the signal, which travels outside the link.
  main.channel->Flush(5000);
  WaitForEvents([] { return false; }, 1000);
  ::kill(static_cast<pid_t>(main.process.processId()), SIGTERM);
  ASSERT_TRUE(main.Ended());
  EXPECT_EQ(main.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(main.process.exitCode(), 0);
  ASSERT_TRUE(WaitForEvents([&] { return main.dropped; }, 5000));
  const std::vector<TReport> reports = main.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), (TReport{ReportCode::Closed, 0}));
}

// The main program's close request ends the display without a report.
TEST(GlowReadoutProgram, CloseRequestEndsSilently) {
  MainSide main;
  main.Start(kArgs);
  ASSERT_TRUE(main.Introduced());
  Feed(main.channel);
  main.channel->Send(Message(MsgDisplayClose, 0, 0));
  ASSERT_TRUE(main.Ended());
  EXPECT_EQ(main.process.exitCode(), 0);
  EXPECT_TRUE(main.Reports().empty());
}

// A broken frame or a vanished main program ends the display, without a
// report and without a hang.
TEST(GlowReadoutProgram, BrokenOrLostLinkEndsTheDisplay) {
  {
    MainSide main;
    main.Start(kArgs);
    ASSERT_TRUE(main.Introduced());
    main.channel->Send(Message(MsgDisplayOwner, kMain, 0));
    QByteArray junk(16, '\xFF');
    auto* socket = main.channel->findChild<QLocalSocket*>();
    ASSERT_NE(socket, nullptr);
    socket->write(junk);
    ASSERT_TRUE(main.Ended());
    EXPECT_EQ(main.process.exitCode(), 0);
    EXPECT_TRUE(main.Reports().empty());
  }
  {
    MainSide main;
    main.Start(kArgs);
    ASSERT_TRUE(main.Introduced());
    main.channel->Send(Message(MsgDisplayOwner, kMain, 0));
    main.channel->Close();
    ASSERT_TRUE(main.Ended());
    EXPECT_EQ(main.process.exitCode(), 0);
  }
}

// A display with the wrong token is not taken: the start fails at its
// deadline and the display, turned away, ends.
TEST(GlowReadoutProgram, WrongTokenIsTurnedAway) {
  MainSide main;
  main.Start(kArgs, "not-the-token", 3000);
  ASSERT_TRUE(WaitForEvents([&] { return main.startFailed; }, 15000));
  EXPECT_EQ(main.channel, nullptr);
  ASSERT_TRUE(main.Ended());
}
