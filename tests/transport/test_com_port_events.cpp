// Open/close sequence and the dispatch of line events to the handlers.

#include <gtest/gtest.h>

#include <QStringList>
#include <QThread>
#include <stdexcept>

#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/com_thread.h"
#include "transport_test_support.h"

namespace {

using transport_test::Drain;
using transport_test::FakeRig;
using transport_test::WaitUntil;

// Records every handler call of a port as text, in order.
struct EventLog {
  QStringList entries;

  void Attach(TComPort& port) {
    port.OnBeforeOpen = [this](QObject*) { entries << QStringLiteral("BeforeOpen"); };
    port.OnAfterOpen = [this](QObject* p) {
      entries << QStringLiteral("AfterOpen connected=%1").arg(static_cast<TComPort*>(p)->Connected());
    };
    port.OnBeforeClose = [this](QObject*) { entries << QStringLiteral("BeforeClose"); };
    port.OnAfterClose = [this](QObject* p) {
      entries << QStringLiteral("AfterClose connected=%1").arg(static_cast<TComPort*>(p)->Connected());
    };
    port.OnCTSChange = [this](QObject*, bool on) { entries << QStringLiteral("CTS %1").arg(on); };
    port.OnDSRChange = [this](QObject*, bool on) { entries << QStringLiteral("DSR %1").arg(on); };
    port.OnRLSDChange = [this](QObject*, bool on) { entries << QStringLiteral("RLSD %1").arg(on); };
    port.OnRxChar = [this](QObject*, int count) { entries << QStringLiteral("RxChar %1").arg(count); };
    port.OnRxBuf = [this](QObject*, const QByteArray& b, int count) {
      entries << QStringLiteral("RxBuf %1 %2").arg(QString::fromLatin1(b)).arg(count);
    };
    port.OnTxEmpty = [this](QObject*) { entries << QStringLiteral("TxEmpty"); };
    port.OnBreak = [this](QObject*) { entries << QStringLiteral("Break"); };
    port.OnRing = [this](QObject*) { entries << QStringLiteral("Ring"); };
    port.OnRxFlag = [this](QObject*) { entries << QStringLiteral("RxFlag"); };
    port.OnRx80Full = [this](QObject*) { entries << QStringLiteral("Rx80Full"); };
    port.OnError = [this](QObject*, TComErrors e) { entries << QStringLiteral("Error %1").arg(e.Bits()); };
  }
};

class ComPortEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceFactory(rig.Factory());
    port.SetPort(QStringLiteral("COM7"));
    log.Attach(port);
  }
  void TearDown() override {
    try {
      port.Close();
    } catch (...) {
      // A test that made a close step fail on purpose; the port is closed
      // all the same.
    }
  }

  FakeRig rig;
  TComPort port;
  EventLog log;
};

TEST_F(ComPortEvents, OpenAndCloseRaiseTheirEventsInOrder) {
  rig.line->SetModemStatus(SerialModem::Cts | SerialModem::Rlsd);
  port.Open();
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.EventThreadRunning());
  port.Close();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.EventThreadRunning());
  EXPECT_EQ(log.entries, (QStringList{"BeforeOpen", "AfterOpen connected=1", "CTS 1", "DSR 0", "RLSD 1",
                                      "CTS 0", "DSR 0", "RLSD 0", "BeforeClose", "AfterClose connected=0"}));
  // Both ends are idempotent.
  port.Close();
  EXPECT_EQ(log.entries.size(), 10);
}

TEST_F(ComPortEvents, ConnectedSetterOpensAndCloses) {
  port.SetConnected(true);
  EXPECT_TRUE(rig.line->IsOpen());
  port.SetConnected(false);
  EXPECT_FALSE(rig.line->IsOpen());
}

TEST_F(ComPortEvents, ChangingThePortNameReopensAnOpenPort) {
  port.Open();
  port.SetPort(QStringLiteral("COM8"));
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(rig.line->OpenCount(), 2);
  EXPECT_EQ(log.entries.count(QStringLiteral("AfterClose connected=0")), 1);
}

TEST_F(ComPortEvents, ReceivedBytesReachOnRxCharOnThePortsThread) {
  QThread* handlerThread = nullptr;
  int total = 0;
  port.OnRxChar = [&](QObject*, int count) {
    handlerThread = QThread::currentThread();
    QByteArray s;
    total += port.ReadStr(s, count);
  };
  port.Open();
  rig.line->Inject(std::string_view("\x01\x02\x03\x04"));
  ASSERT_TRUE(WaitUntil([&] { return total == 4; }));
  EXPECT_EQ(handlerThread, port.thread());
}

TEST_F(ComPortEvents, OneWakeUpRunsItsStepsInDispatchOrder) {
  port.Open();
  rig.line->SetModemStatus(SerialModem::Cts | SerialModem::Dsr);
  rig.line->InjectErrors(SerialLineError::Frame);
  log.entries.clear();
  rig.tap->Fire(SerialEvent::Rx80Full | SerialEvent::Rlsd | SerialEvent::RxFlag | SerialEvent::Dsr |
                SerialEvent::Cts | SerialEvent::Ring | SerialEvent::Break | SerialEvent::TxEmpty |
                SerialEvent::RxChar | SerialEvent::Err);
  ASSERT_TRUE(WaitUntil([&] { return log.entries.contains(QStringLiteral("Rx80Full")); }));
  // RxChar with nothing queued raises nothing.
  EXPECT_EQ(log.entries, (QStringList{"Error 1", "TxEmpty", "Break", "Ring", "CTS 1", "DSR 1", "RxFlag",
                                      "RLSD 0", "Rx80Full"}));
}

TEST_F(ComPortEvents, ReceiveAndTransmitEmptyTogetherReachOnRxCharFirst) {
  port.Open();
  rig.line->Inject(std::string_view("abc"));
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 3; }));
  Drain(std::chrono::milliseconds(20));
  log.entries.clear();
  rig.tap->Fire(SerialEvent::TxEmpty | SerialEvent::RxChar);
  ASSERT_TRUE(WaitUntil([&] { return log.entries.size() >= 2; }));
  EXPECT_EQ(log.entries, (QStringList{"RxChar 3", "TxEmpty"}));
}

TEST_F(ComPortEvents, WakeUpsBeforeTheHandlerRunsAreCoalesced) {
  port.Open();
  rig.line->Inject(std::string_view("12345"));
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 5; }));
  Drain(std::chrono::milliseconds(20));
  log.entries.clear();
  // Three wake-ups while the port's thread is busy: one handler call.
  for (int i = 0; i < 3; ++i) rig.tap->Fire(SerialEvent::RxChar);
  Drain();
  EXPECT_EQ(log.entries, (QStringList{"RxChar 5"}));
}

TEST_F(ComPortEvents, WithoutTriggersOnRxCharTheBytesComeAsOneBuffer) {
  port.SetTriggersOnRxChar(false);
  port.SetEvents({evRxChar});
  port.Open();
  log.entries.clear();
  rig.line->Inject(std::string_view("hello"));
  ASSERT_TRUE(WaitUntil([&] { return !log.entries.isEmpty(); }));
  Drain(std::chrono::milliseconds(50));
  EXPECT_EQ(log.entries, (QStringList{"RxBuf hello 5"}));
  EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(ComPortEvents, OnlyTheChosenEventsAreReported) {
  port.SetEvents({evRxChar});
  port.Open();
  EXPECT_EQ(rig.tap->Mask(), SerialEvent::RxChar);
  log.entries.clear();
  rig.tap->Fire(SerialEvent::TxEmpty | SerialEvent::Ring);
  Drain();
  EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(ComPortEvents, AnEmptyEventSetRunsNoDispatchAndRaisesNothing) {
  port.SetEvents({});
  int rx = 0;
  port.OnRxChar = [&](QObject*, int) { ++rx; };
  port.Open();
  EXPECT_FALSE(port.EventThreadRunning());
  EXPECT_EQ(rig.tap->Mask(), 0u);
  rig.line->Inject(std::string_view("xyz"));
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 3; }));
  rig.tap->Fire(SerialEvent::RxChar);
  Drain();
  EXPECT_EQ(rx, 0);
}

TEST_F(ComPortEvents, NoHandlerRunsAfterClose) {
  port.Open();
  rig.line->Inject(std::string_view("abc"));
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 3; }));
  rig.tap->Fire(SerialEvent::RxChar | SerialEvent::TxEmpty);  // queued, not yet run
  port.Close();
  const int afterClose = static_cast<int>(log.entries.size());
  Drain();
  EXPECT_EQ(log.entries.size(), afterClose);
  EXPECT_EQ(log.entries.last(), QStringLiteral("AfterClose connected=0"));

  // A handler that closes the port ends the rest of its wake-up.
  port.OnRxChar = [&](QObject*, int) { port.Close(); };
  port.Open();
  rig.line->Inject(std::string_view("abc"));
  ASSERT_TRUE(WaitUntil([&] { return !port.Connected(); }));
  log.entries.clear();
  Drain();
  EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(ComPortEvents, WindowSyncRunsOneCallPerEventWhileConnected) {
  port.SetSyncMethod(smWindowSync);
  port.Open();
  rig.line->Inject(std::string_view("ab"));
  ASSERT_TRUE(WaitUntil([&] { return log.entries.contains(QStringLiteral("RxChar 2")); }));
  log.entries.clear();
  rig.tap->Fire(SerialEvent::TxEmpty | SerialEvent::Break);
  ASSERT_TRUE(WaitUntil([&] { return log.entries.size() >= 2; }));
  EXPECT_EQ(log.entries, (QStringList{"TxEmpty", "Break"}));

  rig.tap->Fire(SerialEvent::Ring);
  port.Close();
  log.entries.clear();
  Drain();
  EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(ComPortEvents, NoSyncRunsTheStepsOffThePortsThread) {
  port.SetSyncMethod(smNone);
  std::atomic<QThread*> handlerThread{nullptr};
  std::atomic<int> count{0};
  port.OnRxChar = [&](QObject*, int n) {
    handlerThread = QThread::currentThread();
    count = n;
  };
  port.Open();
  rig.line->Inject(std::string_view("12"));
  ASSERT_TRUE(WaitUntil([&] { return count.load() == 2; }));
  EXPECT_NE(handlerThread.load(), port.thread());
  port.Close();
}

TEST_F(ComPortEvents, AFailingHandlerDoesNotStopTheOtherSteps) {
  port.OnRxChar = [](QObject*, int) { throw std::runtime_error("handler failed"); };
  port.Open();
  rig.line->Inject(std::string_view("a"));
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 1; }));
  Drain(std::chrono::milliseconds(20));
  log.entries.clear();
  rig.tap->Fire(SerialEvent::RxChar | SerialEvent::TxEmpty);
  ASSERT_TRUE(WaitUntil([&] { return log.entries.contains(QStringLiteral("TxEmpty")); }));
}

TEST_F(ComPortEvents, AHangUpIsReportedOnceAndTheCloseStillCompletes) {
  int removed = 0;
  int alongside = 0;
  int withdrawn = 0;
  QThread* removedThread = nullptr;
  port.AddRemovedListener([&](QObject*) {
    ++removed;
    removedThread = QThread::currentThread();
  });
  // Every listener hears it, each through its own token; one withdrawn
  // before the hang-up hears nothing.
  port.AddRemovedListener([&](QObject*) { ++alongside; });
  const auto token = port.AddRemovedListener([&](QObject*) { ++withdrawn; });
  EXPECT_TRUE(port.RemoveRemovedListener(token));
  EXPECT_FALSE(port.RemoveRemovedListener(token));
  port.Open();
  rig.line->HangUp();
  ASSERT_TRUE(WaitUntil([&] { return removed == 1 && alongside == 1; }));
  EXPECT_EQ(removedThread, port.thread());
  rig.tap->Fire(SerialEvent::HangUp);
  Drain();
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(alongside, 1);
  EXPECT_EQ(withdrawn, 0);
  port.Close();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(rig.line->IsOpen());
}

TEST_F(ComPortEvents, CloseRunsEveryStepAndThenReportsTheFirstFailure) {
  struct Case {
    const char* name;
    int purgeFailure;
    bool handlerThrows;
    QString expected;
  };
  const Case cases[] = {
      {"purge fails", SerialStatus::BadCommand, false,
       QStringLiteral("PurgeComm function failed (Error: 22)")},
      {"handler throws", 0, true, QStringLiteral("before close failed")},
      {"both", SerialStatus::BadCommand, true, QStringLiteral("before close failed")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.OnBeforeClose = [&](QObject*) {
      log.entries << QStringLiteral("BeforeClose");
      if (c.handlerThrows) throw std::runtime_error("before close failed");
    };
    port.Open();
    rig.tap->failPurge = c.purgeFailure;
    log.entries.clear();
    QString message;
    try {
      port.Close();
    } catch (const std::exception& e) {
      message = QString::fromUtf8(e.what());
    }
    EXPECT_EQ(message, c.expected);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.EventThreadRunning());
    EXPECT_FALSE(rig.line->IsOpen());
    EXPECT_EQ(log.entries.last(), QStringLiteral("AfterClose connected=0"));
  }
}

TEST_F(ComPortEvents, DestroyingAnOpenPortClosesIt) {
  int closed = 0;
  {
    TComPort local;
    local.SetDeviceFactory(rig.Factory());
    local.OnAfterClose = [&](QObject*) { ++closed; };
    local.Open();
    rig.line->Inject(std::string_view("abc"));
    rig.line->HangUp();
  }
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(rig.line->IsOpen());
  Drain();
}

TEST_F(ComPortEvents, SyncMethodCannotChangeWhileConnected) {
  port.Open();
  try {
    port.SetSyncMethod(smNone);
    FAIL() << "no error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Cannot set property while connected"));
    EXPECT_EQ(e.ErrorNumber(), 14);
    EXPECT_EQ(e.WindowsError(), -1);
  }
  EXPECT_EQ(port.SyncMethod(), smThreadSync);
  port.Close();
  port.SetSyncMethod(smNone);
  EXPECT_EQ(port.SyncMethod(), smNone);
}

TEST_F(ComPortEvents, OnExceptionReceivesFailuresInsteadOfAnException) {
  struct Report {
    TComExceptions kind;
    QString message;
    qint64 code;
    bool hasWinMessage;
  };
  std::vector<Report> reports;
  port.OnException = [&](QObject*, TComExceptions kind, const QString& msg, qint64 code, const QString& win) {
    reports.push_back({kind, msg, code, !win.isEmpty()});
  };
  EXPECT_EQ(port.WriteStr("x"), 0);
  rig.line->SetOpenResult(SerialStatus::AccessDenied);
  port.Open();
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log.entries, (QStringList{"BeforeOpen"}));
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].kind, CEPortNotOpen);
  EXPECT_EQ(reports[0].message, QStringLiteral("Port Not Open"));
  EXPECT_EQ(reports[0].code, -1);
  EXPECT_FALSE(reports[0].hasWinMessage);
  EXPECT_EQ(reports[1].kind, CE_OpenFailed);
  EXPECT_EQ(reports[1].message, QStringLiteral("Unable to open com port"));
  EXPECT_EQ(reports[1].code, 5);
  EXPECT_TRUE(reports[1].hasWinMessage);
}

TEST(ComThread, EventMaskConversionBothWays) {
  const std::pair<TComEvent, std::uint32_t> table[] = {
      {evRxChar, 0x0001}, {evTxEmpty, 0x0004}, {evRxFlag, 0x0002}, {evRing, 0x0100}, {evBreak, 0x0040},
      {evCTS, 0x0008},    {evDSR, 0x0010},     {evError, 0x0080},  {evRLSD, 0x0020}, {evRx80Full, 0x0400},
  };
  std::uint32_t all = 0;
  for (const auto& [event, bit] : table) {
    EXPECT_EQ(TComThread::EventsToMask({event}), bit);
    EXPECT_EQ(TComThread::MaskToEvents(bit), TComEvents({event}));
    all |= bit;
  }
  EXPECT_EQ(TComThread::EventsToMask(TComEvents::All()), all);
  EXPECT_EQ(TComThread::MaskToEvents(all | SerialEvent::HangUp), TComEvents::All());
  EXPECT_EQ(TComThread::EventsToMask({}), 0u);
}

}  // namespace
