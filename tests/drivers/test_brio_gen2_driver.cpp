// The second-generation Brio driver against its emulator: the power-on
// handshake, the exchange and its tries, value reads with their posted
// values, identification, loop output, image reads and the burst stream.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "drivers/device_session.h"
#include "test_brio_gen2_fixture.h"
#include "tools/devsim/brio_wire.h"

namespace briotest {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const char* t) { return Bytes(t, t + std::strlen(t)); }

// Where in everything written to the line `bytes` first appear (at or
// after byte `from`), and when the driver handed their first byte over: the
// line stamps each write on the driver's thread as it is made, so the
// pauses between writes are the driver's own, however late the emulator
// got to them.
struct Written {
  std::size_t at;
  FakeSerialLine::TimePoint time;
};
std::optional<Written> FindWritten(const FakeSerialLine& line, const Bytes& bytes, std::size_t from = 0) {
  Bytes all;
  std::vector<FakeSerialLine::TimePoint> times;
  for (const FakeSerialLine::Call& c : line.CallsOf(FakeSerialLine::Call::Kind::Write)) {
    all.insert(all.end(), c.data.begin(), c.data.end());
    times.insert(times.end(), c.data.size(), c.time);
  }
  if (from > all.size()) return std::nullopt;
  const auto found =
      std::search(all.begin() + static_cast<std::ptrdiff_t>(from), all.end(), bytes.begin(), bytes.end());
  if (found == all.end()) return std::nullopt;
  const auto at = static_cast<std::size_t>(found - all.begin());
  return Written{at, times[at]};
}

TEST_F(BrioGen2Test, PowerOnHandshakeSequenceAndTiming) {
  StartDevice();
  driver_->SetLogFile(true);
  ASSERT_TRUE(driver_->OpenPort());
  Deliver();
  EXPECT_EQ(sink_.Numbers(), std::vector<std::uint16_t>{MsgBrioPortOpened});
  EXPECT_FALSE(line_->Dtr());
  std::vector<int> progress;
  driver_->SetProgressHandler([&](int percent) { progress.push_back(percent); });
  ASSERT_TRUE(driver_->PowerOnHandshake(true));
  // From 0 to 100 in steps, the second of waiting in tenths among them.
  ASSERT_GE(progress.size(), 12u);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(), std::less_equal<>()));
  EXPECT_TRUE(line_->Dtr());
  EXPECT_TRUE(driver_->DtrOn());
  EXPECT_TRUE(driver_->Connected());
  const auto requests = model_->Requests();
  ASSERT_GE(requests.size(), 3u);
  // "9WAIT" answered, then 01 after a second, then the serial number.
  const auto& wait = requests[requests.size() - 3];
  const auto& poll = requests[requests.size() - 2];
  EXPECT_EQ(wait.bytes, Text("9WAIT"));
  EXPECT_EQ(poll.bytes, Bytes{0x01});
  EXPECT_EQ(requests.back().bytes, Bytes{0x0E});
  // The driver's pauses, on the line: the first "9WAIT" at least 300 ms
  // after DTR rose, 01 at least the second of waiting after it.
  const auto dtr = line_->CallsOf(FakeSerialLine::Call::Kind::SetDtr);
  ASSERT_FALSE(dtr.empty());
  ASSERT_TRUE(dtr.back().on);
  const auto waitSent = FindWritten(*line_, Text("9WAIT"));
  ASSERT_TRUE(waitSent.has_value());
  EXPECT_GE(waitSent->time - dtr.back().time, std::chrono::milliseconds(300));
  const auto pollSent = FindWritten(*line_, Bytes{0x01}, waitSent->at);
  ASSERT_TRUE(pollSent.has_value());
  EXPECT_GE(pollSent->time - waitSent->time, std::chrono::milliseconds(1000));
  Deliver();
  EXPECT_EQ(sink_.Count(MsgBrioDeviceFound), 1);
  EXPECT_TRUE(driver_->ConnectPollActive());
  const QString log = LogText();
  EXPECT_TRUE(log.contains(QStringLiteral("\tCom Port 9 öffnen\n")));
  EXPECT_TRUE(log.contains(QStringLiteral("\tCom Port 9 geöffnet\n")));
  EXPECT_TRUE(log.contains(QStringLiteral("\tSenden :\tSende : 0E \t\t\t Versuch : 0\n")));
  EXPECT_TRUE(log.contains(QStringLiteral("\tSende : 0E \t\t\tEmpfangen : 00 29 05 \n")));
}

TEST_F(BrioGen2Test, UnansweredWaitIsTriedAgainInTheNextPass) {
  BrioFaults f;
  f.ignoreWait = 1;
  StartDevice(QStringLiteral("brio-2w"));
  model_->SetFaults(f);
  ASSERT_TRUE(driver_->OpenPort());
  // The first "9WAIT" goes unanswered; the next pass succeeds.
  std::vector<int> progress;
  driver_->SetProgressHandler([&](int percent) { progress.push_back(percent); });
  ASSERT_TRUE(driver_->PowerOnHandshake(true));
  int waits = 0;
  for (const auto& r : model_->Requests()) waits += r.bytes == Text("9WAIT") ? 1 : 0;
  EXPECT_EQ(waits, 2);
  // The progress goes on rising through the second pass.
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(), std::less_equal<>()));
  ASSERT_GE(progress.size(), 3u);
  EXPECT_GT(progress[progress.size() - 2], TpyreonBrio_mA::HandshakePercent(1, 0.0));
  EXPECT_EQ(progress.back(), 100);
}

// The handshake's share per pass: the first pass spans most of the bar,
// each later one a quarter of the one before, so eleven failed passes end
// below 100 % and nothing goes back.
TEST(BrioGen2HandshakeProgress, SharePerPass) {
  struct Row {
    int pass;
    double fraction;
    int percent;
  };
  const Row rows[] = {{0, 0.0, 0},  {0, 0.5, 34}, {0, 1.0, 68},  {1, 0.0, 68},
                      {1, 1.0, 84}, {2, 1.0, 89}, {10, 1.0, 90}, {0, 2.0, 68}};
  for (const Row& r : rows)
    EXPECT_EQ(TpyreonBrio_mA::HandshakePercent(r.pass, r.fraction), r.percent) << r.pass << " " << r.fraction;
}

TEST_F(BrioGen2Test, ValueReadsPostTheirChannelsAndScaledValues) {
  struct Case {
    float (TpyreonBrio_mA::*read)();
    std::uint8_t command;
    int channel;
    float value;
    std::int32_t posted;
  };
  StartDevice();
  OpenAndPowerOn();
  const Case cases[] = {
      {&TpyreonBrio_mA::ReadTargetTemperature, 0x01, 1, 250.0f, 2500},
      {&TpyreonBrio_mA::ReadInternalTemperature, 0x02, 2, 31.5f, 315},
      {&TpyreonBrio_mA::ReadActualTemperature, 0x03, 4, 250.4f, 2504},
      {&TpyreonBrio_mA::ReadBoxTemperature, 0x09, 5, 28.2f, 282},
      {&TpyreonBrio_mA::PollEmissivity, 0x04, 6, 0.95f, 950},
      {&TpyreonBrio_mA::ReadChannel7, 0x11, 7, float(0x0321), 0x0321},
      {&TpyreonBrio_mA::ReadAmbientTemperature, 0x12, 8, 23.0f, 230},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channel);
    model_->ClearRequests();
    sink_.got.clear();
    EXPECT_NEAR((driver_->*c.read)(), c.value, 1e-3);
    EXPECT_EQ(RequestBytes(), std::vector<Bytes>{Bytes{c.command}});
    Deliver();
    ASSERT_EQ(sink_.got.size(), 1u);
    EXPECT_EQ(sink_.got[0].msg, MsgBrioNewValues);
    EXPECT_EQ(sink_.got[0].wParam, kWParam + std::uint32_t(c.channel) * 65536u);
    EXPECT_EQ(sink_.got[0].lParam, c.posted);
  }
  EXPECT_EQ(driver_->ReadSerialNumber(), 10501);
  EXPECT_EQ(driver_->ReadEmissivitySwitches(), 3);
}

TEST_F(BrioGen2Test, HighResolutionReadsHundredths) {
  StartDevice(QStringLiteral("briov2-hires"));
  OpenAndPowerOn();
  ASSERT_TRUE(driver_->ReadCalibrationImage());
  EXPECT_TRUE(driver_->IsHighResolution());
  Deliver();
  sink_.got.clear();
  BrioLiveValues v = model_->LiveValues();
  v.target = 23.45;
  model_->SetLiveValues(v);
  EXPECT_NEAR(driver_->ReadTargetTemperature(), 23.45f, 1e-4);
  Deliver();
  ASSERT_EQ(sink_.got.size(), 1u);
  EXPECT_EQ(sink_.got[0].lParam, 2345);
  // The box temperature always comes in tenths.
  EXPECT_NEAR(driver_->ReadBoxTemperature(), 28.2f, 1e-3);
}

TEST_F(BrioGen2Test, SilentDeviceLosesContactOnceAndThePollFindsItAgain) {
  StartDevice();
  driver_->SetLogFile(true);
  OpenAndPowerOn();
  SetFaults([](BrioFaults& f) { f.silent = true; });
  EXPECT_EQ(driver_->ReadTargetTemperature(), -9999.0f);
  // Three exchanges of two tries each.
  EXPECT_EQ(RequestBytes(), std::vector<Bytes>(6, Bytes{0x01}));
  Deliver();
  EXPECT_EQ(sink_.Numbers(), (std::vector<std::uint16_t>{MsgBrioError, MsgBrioDisconnected}));
  EXPECT_EQ(sink_.Errors(), std::vector<std::int32_t>{5});
  EXPECT_FALSE(driver_->Connected());
  EXPECT_TRUE(driver_->ConnectPollActive());
  EXPECT_TRUE(LogText().contains(QStringLiteral("\tSende : 01 \t\t\tEmpfangen : TIMEOUT\n")));
  // A failure while not connected posts nothing.
  sink_.got.clear();
  EXPECT_EQ(driver_->ReadInternalTemperature(), -9999.0f);
  Deliver();
  EXPECT_TRUE(sink_.got.empty());

  SetFaults([](BrioFaults& f) { f.silent = false; });
  ASSERT_TRUE(test_support::WaitForEvents([&] { return driver_->Connected(); }, 5000));
  Deliver();
  EXPECT_EQ(sink_.Count(MsgBrioDeviceFound), 1);
  EXPECT_FALSE(driver_->ConnectPollActive());
}

TEST_F(BrioGen2Test, ClosedPortSendsNothingAndReports) {
  StartDevice();
  EXPECT_EQ(driver_->ReadTargetTemperature(), -9999.0f);
  EXPECT_EQ(driver_->ReadSerialNumber(), -1);
  EXPECT_FALSE(driver_->GetLaserState());
  EXPECT_FALSE(driver_->PowerOnHandshake(true));
  EXPECT_FALSE(driver_->ReadConfigurationImage());
  EXPECT_EQ(driver_->WriteMemoryByte(0x025F, 0x90), -1);
  Deliver();
  // The value read posts nothing; the serial read, the laser state and the
  // image read report 4, the handshake 3.
  EXPECT_EQ(sink_.Errors(), (std::vector<std::int32_t>{4, 4, 3, 4}));
  EXPECT_TRUE(model_->Requests().empty());
}

TEST_F(BrioGen2Test, WriteRequestsOnTheWire) {
  struct Case {
    const char* name;
    std::function<void(TpyreonBrio_mA&)> call;
    std::vector<Bytes> expected;
  };
  StartDevice(QStringLiteral("fenn-2w"));
  OpenAndPowerOn();
  const Case cases[] = {
      {"emissivity below range", [](TpyreonBrio_mA& d) { d.SetEmissivity(0.0999f); }, {}},
      {"emissivity 1.1", [](TpyreonBrio_mA& d) { d.SetEmissivity(1.1f); }, {{0x84, 0x04, 0x4C}}},
      {"laser on", [](TpyreonBrio_mA& d) { d.SetLaser(true); }, {{0x90, 0x01}}},
      {"laser state", [](TpyreonBrio_mA& d) { EXPECT_TRUE(d.GetLaserState()); }, {{0x10}}},
      {"loop 5 V", [](TpyreonBrio_mA& d) { d.SetLoopOutput(5.0f); }, {{0x81, 0x32}}},
      {"loop off", [](TpyreonBrio_mA& d) { d.SetLoopOutput(-1.0f); }, {{0x82}}},
      // Beyond a byte: clamped to the top, never wrapped (30 V is not 4.4 V).
      {"loop 30 V", [](TpyreonBrio_mA& d) { d.SetLoopOutput(30.0f); }, {{0x81, 0xFF}}},
      {"current 12", [](TpyreonBrio_mA& d) { d.SetLoopOutputCurrent(12.0f); }, {{0x81, 0x78}}},
      {"current 0", [](TpyreonBrio_mA& d) { d.SetLoopOutputCurrent(0.0f); }, {{0x82}}},
      // A negative current gives the lowest output, not 0xEC.
      {"current -2", [](TpyreonBrio_mA& d) { d.SetLoopOutputCurrent(-2.0f); }, {{0x81, 0x00}}},
      {"end loop", [](TpyreonBrio_mA& d) { d.EndLoopMaintenance(); }, {{0x82}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model_->ClearRequests();
    c.call(*driver_);
    ASSERT_TRUE(test_support::WaitFor([&] { return model_->Requests().size() >= c.expected.size(); }));
    EXPECT_EQ(RequestBytes(), c.expected);
  }
  EXPECT_TRUE(model_->LaserOn());
  // The memory byte is written twice and the two answers compared; a busy
  // line may make it repeat the pair, never send anything else.
  model_->ClearRequests();
  EXPECT_EQ(driver_->WriteMemoryByte(0x0264, 0x02), 2);
  const auto writes = RequestBytes();
  EXPECT_GE(writes.size(), 2u);
  for (const Bytes& w : writes) EXPECT_EQ(w, (Bytes{0x3D, 0x02, 0x64, 0x02}));
}

TEST_F(BrioGen2Test, IdentificationPerModel) {
  struct Case {
    const char* profile;
    std::uint16_t feature;
    float low, high;
    bool extended;
  };
  const Case cases[] = {
      {"brio-2w", 0x0002, -30.0f, 1000.0f, false},
      {"briov2", 0x4081, -30.0f, 1000.0f, true},
      {"briov2-hires", 0x4080, -50.0f, 500.0f, true},
      {"fenn-2w-hires", 0x1010, -50.0f, 500.0f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    StartDevice(QString::fromLatin1(c.profile));
    OpenAndPowerOn();
    ASSERT_TRUE(driver_->ReadCalibrationImage());
    ASSERT_TRUE(driver_->ReadConfigurationImage());
    EXPECT_EQ(driver_->FeatureWord(), c.feature);
    EXPECT_NEAR(driver_->RangeLow(), c.low, 1e-3);
    EXPECT_NEAR(driver_->RangeHigh(), c.high, 1e-3);
    const auto& p = model_->Profile();
    if (c.extended) {
      EXPECT_NEAR(driver_->Range2Low(), p.range2Low, 1e-3);
      EXPECT_NEAR(driver_->Range2High(), p.range2High, 1e-3);
      EXPECT_EQ(driver_->FlagWord(), p.flagWord);
    }
    EXPECT_EQ(driver_->HasExtendedIdentity(), c.extended);
    TearDown();
    sink_.got.clear();
  }
}

TEST_F(BrioGen2Test, FeatureTestsAndOutputMask) {
  StartDevice(QStringLiteral("briov2"));
  OpenAndPowerOn();
  ASSERT_TRUE(driver_->ReadCalibrationImage());
  ASSERT_TRUE(driver_->ReadConfigurationImage());
  EXPECT_TRUE(driver_->IsBriov2());
  EXPECT_TRUE(driver_->HasLaser());
  EXPECT_TRUE(driver_->SupportsInputOff());
  EXPECT_TRUE(driver_->HasTCKTable());
  EXPECT_FALSE(driver_->IsHighResolution());
  // Calibration word 0 is 1018 on this device.
  EXPECT_EQ(driver_->GetOutputModeMask(), 0x8018);
}

TEST_F(BrioGen2Test, ReadAllImagesWithoutExtendedImage) {
  StartDevice(QStringLiteral("brio-2w"));
  OpenAndPowerOn();
  driver_->ReadAllImages();
  std::vector<Bytes> sent;
  for (const auto& r : RequestBytes())
    if (!r.empty() && r[0] == '9') sent.push_back(r);
  EXPECT_EQ(sent, (std::vector<Bytes>{Text("9CALI"), Text("9CONF"), Text("9INTV")}));
  Deliver();
  EXPECT_EQ(sink_.Numbers(), (std::vector<std::uint16_t>{MsgBrioCaliLoaded, MsgBrioConfigLoaded,
                                                         MsgBrioVectorsLoaded, MsgBrioAllLoaded}));
  const Bytes config = model_->ReadMemory(0x1000, 128);
  const Bytes calibration = model_->ReadMemory(0x1080, 128);
  const Bytes vectors = model_->ReadMemory(0xFFE0, 32);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_TRUE(std::equal(config.begin(), config.end(), driver_->ConfigImage(n).Data.begin())) << n;
    EXPECT_TRUE(std::equal(calibration.begin(), calibration.end(), driver_->CalibrationImage(n).Data.begin()))
        << n;
    EXPECT_TRUE(driver_->CalibrationImage(n).Loaded) << n;
    EXPECT_EQ(driver_->ConfigImage(n).Loaded, n == 1) << n;
  }
  EXPECT_TRUE(std::equal(vectors.begin(), vectors.end(), driver_->VectorImage().Data.begin()));
  EXPECT_TRUE(driver_->ExtendedImage().Loaded);
}

TEST_F(BrioGen2Test, ReadAllImagesOfABriov2ReadsTheExtendedImageLast) {
  StartDevice(QStringLiteral("briov2"));
  OpenAndPowerOn();
  driver_->Identify();
  sink_.got.clear();
  driver_->ReadAllImages();
  Deliver();
  EXPECT_EQ(sink_.Numbers(), (std::vector<std::uint16_t>{MsgBrioCaliLoaded, MsgBrioConfigLoaded,
                                                         MsgBrioVectorsLoaded, MsgBrioAllLoaded}));
  const Bytes extended = model_->ReadMemory(0xC000, 256);
  EXPECT_TRUE(driver_->ExtendedImage().Loaded);
  EXPECT_TRUE(std::equal(extended.begin(), extended.end(), driver_->ExtendedImage().Data.begin()));
}

TEST_F(BrioGen2Test, ShortImageReplyClearsEveryCopyAndSkipsIdentification) {
  StartDevice();
  OpenAndPowerOn();
  ASSERT_TRUE(driver_->ReadConfigurationImage());
  model_->ClearRequests();
  SetFaults([](BrioFaults& f) { f.shortReplyBytes = 1; });
  EXPECT_FALSE(driver_->ReadConfigurationImage());
  for (int n = 1; n <= 4; ++n) EXPECT_FALSE(driver_->ConfigImage(n).Loaded) << n;
  for (const auto& r : RequestBytes()) EXPECT_EQ(r, Text("9CONF"));
}

TEST_F(BrioGen2Test, BurstEntriesEqualTheFramesSent) {
  StartDevice(QStringLiteral("briov2"), {}, [](BrioProfile& p) {
    const std::uint16_t channels[] = {0x0200, 0x0202, 0x0204};
    BrioProfiles::SetBurstChannels(p, channels);
  });
  ASSERT_TRUE(driver_->OpenPort());
  ASSERT_TRUE(driver_->PowerOnHandshake(false));
  driver_->BeginBurstReception(3);
  EXPECT_EQ(driver_->BurstFrameLength(), 8);
  std::vector<TBrioV2BurstRecord> got;
  ASSERT_TRUE(test_support::WaitForEvents(
      [&] {
        TBrioV2BurstRecord e;
        while (driver_->BurstCount() > 0) {
          driver_->GetNextBurstEntry(e);
          got.push_back(e);
        }
        return got.size() >= 20;
      },
      10000));
  Deliver();
  EXPECT_EQ(sink_.Count(MsgBrioBurstStart), 1);
  const auto sent = model_->SentFrames();
  // The entries are consecutive frames the device sent, in order.
  auto match = [&](const TBrioV2BurstRecord& e, const BrioSentFrame& f) {
    for (std::size_t k = 0; k < 3; ++k)
      if (e.Values[k] != f.values[k]) return false;
    return e.Values[3] == 0;
  };
  std::size_t start = 0;
  while (start < sent.size() && !match(got[0], sent[start])) ++start;
  ASSERT_LT(start, sent.size());
  for (std::size_t i = 0; i < got.size() && start + i < sent.size(); ++i)
    EXPECT_TRUE(match(got[i], sent[start + i])) << i;
  EXPECT_EQ(got[0].Time, 0.0f);
  for (std::size_t i = 1; i < got.size(); ++i) EXPECT_GE(got[i].Time, got[i - 1].Time);
  TBrioV2BurstRecord empty;
  empty.Time = 5.0f;
  while (driver_->BurstCount() > 0) driver_->GetNextBurstEntry(empty);
  driver_->ClosePort();
  driver_->GetNextBurstEntry(empty);
  EXPECT_EQ(empty, TBrioV2BurstRecord());
}

// The watchdog runs from the last chunk received; it reports silence only
// while the device counts as connected, every 300 ms.
TEST_F(BrioGen2Test, BurstWatchdogReportsSilenceWhileConnected) {
  StartDevice();
  OpenAndPowerOn();
  driver_->BeginBurstReception(3);
  const Bytes noise{0x12, 0x34, 0x56};
  line_->Inject(std::span<const std::uint8_t>(noise));
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(test_support::WaitForEvents(
      [&] {
        Deliver();
        return sink_.Errors().size() >= 3;
      },
      5000));
  // Three reports need at least 900 ms of silence.
  EXPECT_GE(t.elapsed(), 850);
  for (std::int32_t code : sink_.Errors()) EXPECT_EQ(code, 5);
  driver_->ClosePort();
}

TEST_F(BrioGen2Test, DeviceVanishingMidReadEndsWithFailure) {
  StartDevice();
  OpenAndPowerOn();
  line_->HangUp();
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(driver_->ReadTargetTemperature(), -9999.0f);
  EXPECT_FALSE(driver_->ReadConfigurationImage());
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_FALSE(driver_->Connected());
  Deliver();
  EXPECT_EQ(sink_.Count(MsgBrioDisconnected), 1);
  driver_->DropRemovedPort();
  EXPECT_FALSE(driver_->PortOpen());
}

// On a device session's thread: the exchanges run there, the messages
// arrive on the receiver's thread in the order posted.
TEST_F(BrioGen2Test, OnASessionThreadMessagesArriveOnTheReceiversThread) {
  StartDevice();
  delete driver_;
  driver_ = nullptr;
  DeviceSession session;
  TpyreonBrio_mA* remote = nullptr;
  ASSERT_TRUE(session.Start([&] {
    remote = new TpyreonBrio_mA();
    remote->SetComPort(kComPort);
    return remote;
  }));
  bool ok = false;
  bool done = false;
  ASSERT_TRUE(session.Post(
      [&] {
        TBrioNotify n;
        n.Enabled = true;
        n.Window = &sink_;
        n.Msg = MsgBrioPortOpened;
        remote->SetPortOpenedNotify(n);
        n.Msg = MsgBrioDeviceFound;
        remote->SetDeviceFoundNotify(n);
        n.Msg = MsgBrioNewValues;
        remote->SetNewValuesNotify(n);
        ok =
            remote->OpenPort() && remote->PowerOnHandshake(true) && remote->ReadTargetTemperature() == 250.0f;
      },
      [&](bool) { done = true; }));
  ASSERT_TRUE(test_support::WaitForEvents([&] { return done && sink_.got.size() >= 3; }, 15000));
  EXPECT_TRUE(ok);
  EXPECT_EQ(sink_.Numbers(),
            (std::vector<std::uint16_t>{MsgBrioPortOpened, MsgBrioDeviceFound, MsgBrioNewValues}));
  EXPECT_FALSE(sink_.onOtherThread);
  EXPECT_TRUE(session.Shutdown(3000));
}

}  // namespace
}  // namespace briotest
