#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/rfc2217_device.h"
#include "recording_model.h"
#include "tools/devsim/rfc2217_server.h"
#include "tests/support/scoped_event_callback.h"

// The project's own RFC 2217 client against the emulator's server.

namespace {

using namespace std::chrono_literals;
using Parity = SerialLineSettings::Parity;

SerialLineSettings Line(int baud, Parity parity = Parity::None) {
  SerialLineSettings s;
  s.baudRate = baud;
  s.parity = parity;
  s.dtrControl = SerialLineSettings::DtrControl::Enable;
  s.rtsControl = SerialLineSettings::RtsControl::Enable;
  return s;
}

class Rfc2217OwnClient : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_shared<RecordingModel>(9600, true);
    server_ = std::make_unique<Rfc2217Server>(model_);
    ASSERT_TRUE(server_->Start());
    ASSERT_EQ(device_.Open(server_->Url()), SerialStatus::Ok);
    SerialTimeouts t;
    t.readInterval = 0;
    t.readTotalMultiplier = 0;
    t.readTotalConstant = 400;
    ASSERT_EQ(device_.SetTimeouts(t), SerialStatus::Ok);
  }
  void TearDown() override { device_.Close(); }

  std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& sent) {
    int written = 0;
    EXPECT_EQ(device_.Write(sent, written), SerialStatus::Ok);
    EXPECT_EQ(written, static_cast<int>(sent.size()));
    std::vector<std::uint8_t> got(sent.size());
    int read = 0;
    EXPECT_EQ(device_.Read(got, read), SerialStatus::Ok);
    got.resize(static_cast<std::size_t>(read));
    return got;
  }

  std::shared_ptr<RecordingModel> model_;
  std::unique_ptr<Rfc2217Server> server_;
  Rfc2217Device device_;
};

TEST_F(Rfc2217OwnClient, EchoOnlyAtTheModelRate) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  struct Case {
    int baud;
    bool answered;
  };
  for (const Case c : {Case{19200, false}, Case{9600, true}, Case{14400, false}, Case{9600, true}}) {
    SCOPED_TRACE(c.baud);
    ASSERT_EQ(device_.Configure(Line(c.baud)), SerialStatus::Ok);
    EXPECT_EQ(Exchange(all), c.answered ? all : std::vector<std::uint8_t>{});
  }
  EXPECT_EQ(model_->Received().size(), 2 * all.size());
  const std::vector<int> bauds = model_->Bauds();
  ASSERT_FALSE(bauds.empty());
  EXPECT_EQ(bauds.back(), 9600);
}

TEST_F(Rfc2217OwnClient, DtrRtsParityAndPurgeReachTheModel) {
  ASSERT_EQ(device_.Configure(Line(9600)), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] { return !model_->DtrLocked().empty() && model_->DtrLocked().back(); }));
  ASSERT_EQ(device_.SetDtr(false), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] { return !model_->DtrLocked().back(); }));
  ASSERT_EQ(device_.SetDtr(true), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] { return model_->DtrLocked().back(); }));
  ASSERT_EQ(device_.SetRts(false), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] { return !model_->RtsLocked().empty() && !model_->RtsLocked().back(); }));

  ASSERT_EQ(device_.Configure(Line(9600, Parity::Even)), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor(
      [&] { return !model_->ParitiesLocked().empty() && model_->ParitiesLocked().back() == Parity::Even; }));
  ASSERT_EQ(device_.Configure(Line(9600, Parity::None)), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] { return model_->ParitiesLocked().back() == Parity::None; }));

  ASSERT_EQ(device_.Purge(SerialPurge::RxClear | SerialPurge::TxClear), SerialStatus::Ok);
  ASSERT_TRUE(model_->WaitFor([&] {
    for (std::uint32_t f : model_->PurgesLocked())
      if ((f & SerialPurge::RxClear) && (f & SerialPurge::TxClear)) return true;
    return false;
  }));

  // Closing the port drops DTR, as on a real line.
  device_.Close();
  EXPECT_TRUE(model_->WaitFor([&] { return !model_->DtrLocked().back(); }));
}

TEST_F(Rfc2217OwnClient, VanishIsAHangUp) {
  std::atomic<bool> hungUp{false};
  const test_support::ScopedEventCallback watch(device_, [&](std::uint32_t events) {
    if (events & SerialEvent::HangUp) hungUp = true;
  });
  ASSERT_EQ(device_.Configure(Line(9600)), SerialStatus::Ok);
  EXPECT_EQ(Exchange({1, 2, 3}), (std::vector<std::uint8_t>{1, 2, 3}));
  server_->Vanish();
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (!hungUp && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(hungUp);
}

}  // namespace
