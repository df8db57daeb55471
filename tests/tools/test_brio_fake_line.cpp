#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "test_brio_fixture.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/fake_line_server.h"
#include "tests/support/scoped_event_callback.h"

// The Brio emulators in process on a fake serial line, driven on the real
// clock the way the drivers drive them: DTR, sleeps of the protocol, reads
// under time-outs. Reads wait for their bytes up to a deadline, so a busy
// machine only makes them slower.

namespace {

using namespace BrioTest;

class BrioFakeLine : public ::testing::Test {
 protected:
  void Serve(std::shared_ptr<BrioDeviceModel> model) {
    model_ = model;
    line_ = FakeSerialLine::Create();
    server_ = std::make_unique<FakeLineServer>(model_, line_);
    server_->Start();
    port_ = std::make_unique<FakeSerialDevice>(line_);
    ASSERT_EQ(port_->Open(QStringLiteral("fake")), SerialStatus::Ok);
    Configure(9600, Parity::None);
    ASSERT_EQ(port_->SetTimeouts(ReadTimeout(400)), SerialStatus::Ok);
  }
  void TearDown() override {
    if (port_) port_->Close();
    server_.reset();
  }
  void Configure(int baud, Parity parity) {
    SerialLineSettings s = Line9600(parity);
    s.baudRate = baud;
    ASSERT_EQ(port_->Configure(s), SerialStatus::Ok);
  }
  void Write(const Bytes& bytes) {
    int n = 0;
    ASSERT_EQ(port_->Write(bytes, n), SerialStatus::Ok);
  }
  Bytes Exchange(const Bytes& request, std::size_t expected) {
    return BrioTest::Exchange(*port_, request, expected);
  }
  static void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

  std::shared_ptr<BrioDeviceModel> model_;
  std::shared_ptr<FakeSerialLine> line_;
  std::unique_ptr<FakeLineServer> server_;
  std::unique_ptr<FakeSerialDevice> port_;
};

// The second generation's power-on handshake on the host's timeline: DTR
// high, 250 ms, ten zero bytes, 50 ms, "9WAIT" -> "WAITING", 1000 ms, 01 ->
// two bytes, then the serial number and the identification.
TEST_F(BrioFakeLine, SecondGenerationPowerOnHandshake) {
  auto model = std::make_shared<BrioGen2Model>(BrioProfiles::Default(2));
  Serve(model);
  // Opening raised DTR for a moment; the configuration dropped it again.
  EXPECT_TRUE(Exchange({0x01}, 2).empty());
  // The model stamps the rise while SetDtr runs, so the host's clock is
  // read before it.
  const auto rise = Clock::now();
  ASSERT_EQ(port_->SetDtr(true), SerialStatus::Ok);
  Sleep(250ms);
  Write(Bytes(10, 0x00));
  Sleep(50ms);
  EXPECT_EQ(Exchange({'9', 'W', 'A', 'I', 'T'}, 7), (Bytes{'W', 'A', 'I', 'T', 'I', 'N', 'G'}));
  Sleep(1000ms);
  EXPECT_EQ(Exchange({0x01}, 2), (Bytes{0x0D, 0xAC}));
  EXPECT_EQ(Exchange({0x0E}, 3), (Bytes{0x10, 0x7A, 0xC4}));
  EXPECT_EQ(Exchange({'E'}, 6).size(), 6u);
  // The device answered at once: each request's record is no later than
  // its reply could have been read.
  for (const BrioRequestRecord& r : model->Requests()) EXPECT_GE(r.time, rise);
  EXPECT_GE(model->StartedAt() - rise, std::chrono::milliseconds(model->Options().bootMs));

  // Only at its own rate.
  Configure(19200, Parity::None);
  EXPECT_TRUE(Exchange({0x01}, 2).empty());
  Configure(9600, Parity::None);
  EXPECT_EQ(Exchange({0x01}, 2).size(), 2u);
}

// The first generation powered and configured as its driver does it:
// DTR high, 100 ms, mode 0x8C, flags read and written back with 0x10,
// mode 0x80; each answer well inside the verified write's 50 ms.
TEST_F(BrioFakeLine, FirstGenerationPowerOnConfiguration) {
  auto model = std::make_shared<BrioGen1Model>(BrioProfiles::Default(1));
  Serve(model);
  ASSERT_EQ(port_->SetDtr(true), SerialStatus::Ok);
  Sleep(100ms);
  EXPECT_EQ(Exchange({0x3D, 0x02, 0x61, 0x8C}, 1), Bytes{0x8C});
  EXPECT_EQ(Exchange({0x3D, 0x02, 0x61, 0x8C}, 1), Bytes{0x8C});
  const Bytes flags = Exchange({0x3C, 0x02, 0x5F}, 1);
  ASSERT_EQ(flags.size(), 1u);
  const std::uint8_t withBit = std::uint8_t(flags[0] | 0x10);
  EXPECT_EQ(Exchange({0x3D, 0x02, 0x5F, withBit}, 1), Bytes{withBit});
  EXPECT_EQ(Exchange({0x3D, 0x02, 0x61, 0x80}, 1), Bytes{0x80});
  EXPECT_EQ(Exchange({0x3E, 0x02, 0x00}, 2), (Bytes{0x0D, 0xAC}));

  // DTR low: silent at once, and the RAM forgets the flags.
  ASSERT_EQ(port_->SetDtr(false), SerialStatus::Ok);
  EXPECT_TRUE(Exchange({0x3C, 0x02, 0x5F}, 1).empty());
  ASSERT_EQ(port_->SetDtr(true), SerialStatus::Ok);
  EXPECT_TRUE(ExchangeUntil(*port_, {0x3C, 0x02, 0x5F}, Bytes{0x01}));
}

// A configuration write that the device does not survive: it vanishes in
// the middle of the block, the host sees the line hang up, and the flash
// shows what was written.
TEST_F(BrioFakeLine, VanishesMidProgrammingOnTheLine) {
  auto model = std::make_shared<BrioGen1Model>(BrioProfiles::Default(1));
  BrioFaults f;
  f.vanishAfterProgrammedBytes = 100;
  model->SetFaults(f);
  Serve(model);
  std::atomic<bool> hungUp{false};
  const test_support::ScopedEventCallback watch(*port_, [&](std::uint32_t events) {
    if (events & SerialEvent::HangUp) hungUp = true;
  });
  ASSERT_EQ(port_->SetDtr(true), SerialStatus::Ok);
  Sleep(100ms);
  const Bytes vectors = Exchange({0x3E, 0xFF, 0xE0}, 2);
  ASSERT_EQ(vectors.size(), 2u);
  Write(Bytes(std::begin(BrioWire::Loader::kEnterLoader), std::end(BrioWire::Loader::kEnterLoader)));
  Configure(9600, Parity::Even);
  auto step = [&](const Bytes& frame) {
    EXPECT_EQ(Exchange({BrioWire::Loader::kSync}, 1), Bytes{0x90});
    return Exchange(frame, 1);
  };
  using namespace BrioWire::Loader;
  EXPECT_EQ(step(BuildFrame(kReceivePassword, 0xFFE0, 32, model->ReadMemory(0xFFE0, 32))), Bytes{0x90});
  EXPECT_EQ(step(BuildFrame(kErase, 0x1000, kEraseSegmentArgument)), Bytes{0x90});
  EXPECT_EQ(step(BuildFrame(kErase, 0x1040, kEraseSegmentArgument)), Bytes{0x90});
  const Bytes config = Pattern(128, 0x3C);
  EXPECT_EQ(Exchange({kSync}, 1), Bytes{0x90});
  Write(BuildFrame(kProgram, 0x1000, 128, config));
  const auto deadline = Clock::now() + 3s;
  while (!hungUp && Clock::now() < deadline) Sleep(5ms);
  EXPECT_TRUE(hungUp);
  EXPECT_TRUE(server_->Vanished());
  Bytes expected(config.begin(), config.begin() + 100);
  expected.resize(128, 0xFF);
  EXPECT_EQ(model->ReadMemory(0x1000, 128), expected);
}

}  // namespace
