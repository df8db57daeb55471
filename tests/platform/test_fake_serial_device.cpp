#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/fake_serial_device.h"
#include "platform/rfc2217_device.h"
#include "platform/tty_device.h"
#include "tests/support/read_timeouts.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::ReadTimeouts;
using test_support::WaitFor;

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using Kind = FakeSerialLine::Call::Kind;

// Registers a fresh line under a name for the duration of a test.
class FakeSerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeSerialDevice::Register(name, line); }
  void TearDown() override { FakeSerialDevice::Unregister(name); }

  const QString name = QStringLiteral("fake:COM7");
  std::shared_ptr<FakeSerialLine> line = FakeSerialLine::Create();
};

TEST_F(FakeSerialDeviceTest, CreateForPicksTheBackendByPath) {
  auto fake = SerialDevice::CreateFor(name);
  ASSERT_NE(dynamic_cast<FakeSerialDevice*>(fake.get()), nullptr);
  EXPECT_EQ(fake->Open(QStringLiteral("ignored: bound to its line")), SerialStatus::Ok);
  EXPECT_TRUE(line->IsOpen());
  EXPECT_NE(
      dynamic_cast<Rfc2217Device*>(SerialDevice::CreateFor(QStringLiteral("rfc2217://host:2217")).get()),
      nullptr);
  EXPECT_NE(dynamic_cast<TtyDevice*>(SerialDevice::CreateFor(QStringLiteral("/dev/ttyS0")).get()), nullptr);
  FakeSerialDevice::Unregister(name);
  EXPECT_NE(dynamic_cast<TtyDevice*>(SerialDevice::CreateFor(name).get()), nullptr);
  EXPECT_EQ(fake->Close(), SerialStatus::Ok);
  EXPECT_FALSE(line->IsOpen());
}

TEST_F(FakeSerialDeviceTest, OpenFailuresAreScripted) {
  FakeSerialDevice device;
  EXPECT_EQ(device.Open(QStringLiteral("unregistered")), SerialStatus::NotFound);
  for (int code : {SerialStatus::NotFound, SerialStatus::AccessDenied}) {
    line->SetOpenResult(code);
    EXPECT_EQ(device.Open(name), code);
    EXPECT_FALSE(device.IsOpen());
  }
  line->SetOpenResult(SerialStatus::Ok);
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  FakeSerialDevice second;
  EXPECT_EQ(second.Open(name), SerialStatus::AccessDenied);  // one open at a time
  const auto opens = line->CallsOf(Kind::Open);
  ASSERT_EQ(opens.size(), 4u);
  EXPECT_EQ(opens[0].result, SerialStatus::NotFound);
  EXPECT_EQ(opens[2].result, SerialStatus::Ok);
  EXPECT_EQ(opens[3].result, SerialStatus::AccessDenied);
  EXPECT_EQ(line->OpenCount(), 1);
}

TEST_F(FakeSerialDeviceTest, RecordsCallsAndFollowsTheDtrRules) {
  FakeSerialDevice device(line);
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  EXPECT_TRUE(line->Dtr());  // raised by the open itself

  struct Step {
    const char* what;
    std::function<void()> action;
    bool dtr;  // line state afterwards
  };
  SerialLineSettings s;
  const Step steps[] = {
      {"first configure drives the disabled mode", [&] { device.Configure(s); }, false},
      {"SetDtr raises", [&] { device.SetDtr(true); }, true},
      {"baud change keeps DTR",
       [&] {
         s.baudRate = 19200;
         device.Configure(s);
       },
       true},
      {"parity change keeps DTR",
       [&] {
         s.parity = SerialLineSettings::Parity::Even;
         device.Configure(s);
       },
       true},
      {"SetDtr lowers", [&] { device.SetDtr(false); }, false},
      {"mode change to enable raises",
       [&] {
         s.dtrControl = SerialLineSettings::DtrControl::Enable;
         device.Configure(s);
       },
       true},
      {"mode change to disable lowers",
       [&] {
         s.dtrControl = SerialLineSettings::DtrControl::Disable;
         device.Configure(s);
       },
       false},
  };
  for (const Step& step : steps) {
    step.action();
    EXPECT_EQ(line->Dtr(), step.dtr) << step.what;
  }

  device.Purge(SerialPurge::RxClear | SerialPurge::TxClear);
  const Bytes data{0x01, 0xFF};
  int written = 0;
  ASSERT_EQ(device.Write(data, written), SerialStatus::Ok);
  EXPECT_EQ(written, 2);
  EXPECT_EQ(line->Written(), data);
  device.Close();
  EXPECT_FALSE(line->Dtr());  // dropped on close

  const auto calls = line->Calls();
  const Kind expected[] = {Kind::Open,      Kind::Configure, Kind::SetDtr,    Kind::Configure,
                           Kind::Configure, Kind::SetDtr,    Kind::Configure, Kind::Configure,
                           Kind::Purge,     Kind::Write,     Kind::Close};
  ASSERT_EQ(calls.size(), std::size(expected));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].kind, expected[i]) << i;
    if (i > 0) {
      EXPECT_GE(calls[i].time, calls[i - 1].time);
    }
  }
  EXPECT_EQ(calls[3].settings.baudRate, 19200);
  EXPECT_EQ(calls[4].settings.parity, SerialLineSettings::Parity::Even);
  EXPECT_EQ(calls[8].flags, SerialPurge::RxClear | SerialPurge::TxClear);
  EXPECT_EQ(calls[9].data, data);
  EXPECT_EQ(line->Settings().baudRate, 19200);
}

// Records the RxChar and TxEmpty events a device raises and the thread
// that raised them last.
class EventLog {
 public:
  void Watch(FakeSerialDevice& device) {
    device.SetEventMask(SerialEvent::RxChar | SerialEvent::TxEmpty);
    device.SetEventCallback([this](std::uint32_t bits) {
      std::lock_guard lock(mutex_);
      seen_ |= bits;
      thread_ = std::this_thread::get_id();
    });
  }
  std::uint32_t Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  std::thread::id Thread() {
    std::lock_guard lock(mutex_);
    return thread_;
  }

 private:
  std::mutex mutex_;
  std::uint32_t seen_ = 0;
  std::thread::id thread_;
};

TEST_F(FakeSerialDeviceTest, InjectedInputArrivesOnTheIoThread) {
  EventLog events;  // outlives the device, whose I/O thread may still call it
  FakeSerialDevice device(line);
  events.Watch(device);
  line->Inject("lost while closed");
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  device.SetTimeouts(ReadTimeouts(0, 0, 300));

  const auto start = SteadyClock::now();
  line->Inject("late", Ms(60));
  line->Inject("ab");
  Bytes buffer(6);
  int got = 0;
  ASSERT_EQ(device.Read(buffer, got), SerialStatus::Ok);
  EXPECT_EQ(got, 6);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + got), (Bytes{'a', 'b', 'l', 'a', 't', 'e'}));
  EXPECT_GE(SteadyClock::now() - start, Ms(55));

  int written = 0;
  const Bytes one{0x42};
  device.Write(one, written);
  ASSERT_TRUE(WaitFor([&] { return (events.Seen() & SerialEvent::TxEmpty) != 0; }));
  EXPECT_EQ(events.Seen(), SerialEvent::RxChar | SerialEvent::TxEmpty);
  EXPECT_NE(events.Thread(), std::this_thread::get_id());
}

TEST_F(FakeSerialDeviceTest, ResponderAnswersWrites) {
  line->SetResponder([](FakeSerialLine& l, std::span<const std::uint8_t> written) {
    Bytes reply(written.begin(), written.end());
    reply.push_back(0x06);
    l.Inject(reply, Ms(10));
  });
  FakeSerialDevice device(line);
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  device.SetTimeouts(ReadTimeouts(0, 0, 500));
  const Bytes request{0x3F, 0x01};
  int n = 0;
  ASSERT_EQ(device.Write(request, n), SerialStatus::Ok);
  Bytes buffer(3);
  ASSERT_EQ(device.Read(buffer, n), SerialStatus::Ok);
  EXPECT_EQ(buffer, (Bytes{0x3F, 0x01, 0x06}));
}

// With immediate input the responder's answer is in the queue, and the
// events raised, when the write returns, on the writing thread; while
// delayed input is pending, input takes the usual way through the I/O
// thread (ordered by when it is due) and reads wait as usual.
TEST_F(FakeSerialDeviceTest, ImmediateInputIsThereWhenTheWriteReturns) {
  line->SetImmediateInput(true);
  line->SetResponder([](FakeSerialLine& l, std::span<const std::uint8_t> written) {
    Bytes reply(written.begin(), written.end());
    reply.push_back(0x06);
    l.Inject(reply);
  });
  EventLog events;  // outlives the device, whose I/O thread may still call it
  FakeSerialDevice device(line);
  events.Watch(device);
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  device.SetTimeouts(ReadTimeouts(0, 0, 5000));
  const Bytes request{0x3F, 0x01};
  int n = 0;
  ASSERT_EQ(device.Write(request, n), SerialStatus::Ok);
  int count = 0;
  ASSERT_EQ(device.InputCount(count), SerialStatus::Ok);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(events.Seen(), SerialEvent::RxChar | SerialEvent::TxEmpty);
  EXPECT_EQ(events.Thread(), std::this_thread::get_id());
  Bytes buffer(4);
  const auto start = SteadyClock::now();
  ASSERT_EQ(device.Read(buffer, n), SerialStatus::Ok);
  // Nothing more can come: no wait for the read's time-out.
  EXPECT_LT(SteadyClock::now() - start, Ms(2500));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + n), (Bytes{0x3F, 0x01, 0x06}));

  line->Inject("late", Ms(40));
  line->Inject("ab");
  Bytes six(6);
  ASSERT_EQ(device.Read(six, n), SerialStatus::Ok);
  EXPECT_EQ(Bytes(six.begin(), six.begin() + n), (Bytes{'a', 'b', 'l', 'a', 't', 'e'}));
}

TEST_F(FakeSerialDeviceTest, PurgeAndOverflowUseTheSharedQueue) {
  FakeSerialDevice device(line);
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  device.SetQueueSizes(4, 4);
  line->Inject("abcdef");
  ASSERT_TRUE(WaitFor([&] {
    int count = 0;
    device.InputCount(count);
    return count == 4;
  }));
  std::uint32_t errors = 0;
  device.CommErrors(errors);
  EXPECT_EQ(errors, SerialLineError::RxOver);
  device.Purge(SerialPurge::RxClear);
  int count = -1;
  device.InputCount(count);
  EXPECT_EQ(count, 0);
}

TEST_F(FakeSerialDeviceTest, HangUpIsReportedOnce) {
  std::atomic<int> hangUps{0};
  FakeSerialDevice device(line);
  device.SetEventMask(0);  // a hang-up is reported whatever the mask
  device.SetEventCallback([&](std::uint32_t bits) {
    if (bits & SerialEvent::HangUp) ++hangUps;
  });
  ASSERT_EQ(device.Open(name), SerialStatus::Ok);
  line->HangUp();
  ASSERT_TRUE(WaitFor([&] { return hangUps.load() == 1; }));
  line->HangUp();
  Bytes buffer(2);
  int n = 0;
  EXPECT_EQ(device.Read(buffer, n), SerialStatus::BadCommand);
  EXPECT_EQ(device.Write(buffer, n), SerialStatus::BadCommand);
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  EXPECT_EQ(hangUps.load(), 1);
  // The line can be opened again afterwards.
  EXPECT_EQ(device.Open(name), SerialStatus::Ok);
}

}  // namespace
