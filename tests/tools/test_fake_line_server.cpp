#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "recording_model.h"
#include "tools/devsim/fake_line_server.h"
#include "tests/support/scoped_event_callback.h"

namespace {

using namespace std::chrono_literals;
using Parity = SerialLineSettings::Parity;

SerialLineSettings Line(int baud, Parity parity = Parity::None) {
  SerialLineSettings s;
  s.baudRate = baud;
  s.parity = parity;
  s.dtrControl = SerialLineSettings::DtrControl::Enable;
  return s;
}

class FakeLineServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line_ = FakeSerialLine::Create();
    model_ = std::make_shared<RecordingModel>(19200, true);
    server_ = std::make_unique<FakeLineServer>(model_, line_);
    server_->Start();
    device_ = std::make_unique<FakeSerialDevice>(line_);
    ASSERT_EQ(device_->Open(QStringLiteral("fake")), SerialStatus::Ok);
    SerialTimeouts t;
    t.readInterval = 0;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = 300;
    ASSERT_EQ(device_->SetTimeouts(t), SerialStatus::Ok);
  }
  void TearDown() override {
    device_->Close();
    server_.reset();
  }

  std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& sent) {
    int n = 0;
    EXPECT_EQ(device_->Write(sent, n), SerialStatus::Ok);
    std::vector<std::uint8_t> got(sent.size());
    EXPECT_EQ(device_->Read(got, n), SerialStatus::Ok);
    got.resize(static_cast<std::size_t>(n));
    return got;
  }

  std::shared_ptr<FakeSerialLine> line_;
  std::shared_ptr<RecordingModel> model_;
  std::unique_ptr<FakeLineServer> server_;
  std::unique_ptr<FakeSerialDevice> device_;
};

TEST_F(FakeLineServerTest, EchoesOnlyAtTheModelRate) {
  const std::vector<std::uint8_t> sent{0x00, 0x11, 0xAA, 0xFF};
  ASSERT_EQ(device_->Configure(Line(9600)), SerialStatus::Ok);
  EXPECT_TRUE(Exchange(sent).empty());
  ASSERT_EQ(device_->Configure(Line(19200)), SerialStatus::Ok);
  EXPECT_EQ(Exchange(sent), sent);
  EXPECT_EQ(model_->Bauds(), (std::vector<int>{9600, 19200}));
}

TEST_F(FakeLineServerTest, ModemLinesParityAndPurgesReachTheModel) {
  ASSERT_EQ(device_->Configure(Line(19200)), SerialStatus::Ok);
  ASSERT_EQ(device_->SetDtr(false), SerialStatus::Ok);
  ASSERT_EQ(device_->SetDtr(true), SerialStatus::Ok);
  ASSERT_EQ(device_->Configure(Line(19200, Parity::Even)), SerialStatus::Ok);
  ASSERT_EQ(device_->Purge(SerialPurge::RxClear), SerialStatus::Ok);
  ASSERT_EQ(device_->Close(), SerialStatus::Ok);
  // Open raised DTR, then off, on, and close dropped it.
  EXPECT_EQ(model_->Dtr(), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(model_->Parities(), (std::vector<Parity>{Parity::Even, Parity::None}));
  EXPECT_EQ(model_->Purges(), (std::vector<std::uint32_t>{SerialPurge::RxClear}));
}

TEST_F(FakeLineServerTest, VanishHangsTheLineUp) {
  std::atomic<bool> hungUp{false};
  const test_support::ScopedEventCallback watch(*device_, [&](std::uint32_t events) {
    if (events & SerialEvent::HangUp) hungUp = true;
  });
  server_->Access([](DeviceModel&, DeviceLink& link) { link.Vanish(); });
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (!hungUp && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(hungUp);
  EXPECT_TRUE(server_->Vanished());
}

}  // namespace
