// Both Brio families on their device session threads against the
// emulated devices: connection with the image reads, the model decision,
// polled values, burst records equal to what the device sent, and the
// notifications of the second generation arriving on the owner's thread.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

#include "drivers/brio/brio_notify.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::BrioEmulator;
using test_support::WaitForEvents;

constexpr int kPort = 9;

// The values of the device's sent frames, in channel order.
std::vector<std::vector<std::uint16_t>> SentValues(const BrioDeviceModel& model) {
  std::vector<std::vector<std::uint16_t>> out;
  for (const BrioSentFrame& f : model.SentFrames())
    if (!f.spoiled && !f.truncated) out.push_back(f.values);
  return out;
}

// The taken records are a run of consecutive frames the device sent.
void ExpectRecordsAreSentFrames(const std::vector<TMeasurementRecord>& records,
                                const std::vector<std::vector<std::uint16_t>>& sent, int channels) {
  ASSERT_FALSE(records.empty());
  std::size_t start = 0;
  const auto matches = [&](std::size_t at, const TMeasurementRecord& r) {
    for (int k = 0; k < channels; ++k)
      if (sent[at][static_cast<std::size_t>(k)] != r.Values[static_cast<std::size_t>(k)]) return false;
    return true;
  };
  while (start < sent.size() && !matches(start, records.front())) ++start;
  ASSERT_LT(start, sent.size()) << "the first record was never sent";
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_LT(start + i, sent.size());
    EXPECT_TRUE(matches(start + i, records[i])) << "record " << i;
    if (i > 0) {
      EXPECT_GE(records[i].Time, records[i - 1].Time);
    }
  }
}

class BrioFamilyTest : public ::testing::Test {
 protected:
  void TearDown() override {
    family_.reset();
    emulator_.Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }
  // Starts a burst and checks the records against the frames the device
  // sent (`channels` words each); returns the newest record's values.
  TChannelValues StreamAndCheck(int channels, const int& burstStarts) {
    DeviceFamily& f = *family_;
    bool started = false;
    f.StartBurst(false, [&](bool ok) { started = ok; });
    EXPECT_TRUE(WaitForEvents([&] { return f.Records().Size() >= 40; }, 30000));
    EXPECT_TRUE(started);
    EXPECT_EQ(burstStarts, 1);
    std::vector<TMeasurementRecord> records;
    f.Records().TakeAll(records);
    ExpectRecordsAreSentFrames(records, SentValues(emulator_.Model()), channels);
    EXPECT_EQ(f.Records().Dropped(), 0u);
    if (records.empty()) return {};
    const TChannelValues v = f.SampleOf(records.back()).Values;
    EXPECT_NEAR(v[ChannelValues::TObj], emulator_.Profile().live.target, 10.0);
    return v;
  }

  QTemporaryDir dir_;
  BrioEmulator emulator_;
  std::unique_ptr<DeviceFamily> family_;
};

// The first generation: port opened, powered, found, read with progress;
// polled values; a burst whose records are the frames the device sent.
TEST_F(BrioFamilyTest, FirstGenerationConnectsPollsAndStreams) {
  ASSERT_TRUE(emulator_.Start(1, QStringLiteral("voduz1"), dir_.path(), kPort));
  family_ = std::make_unique<BrioFamily>(nullptr, DeviceType::Voduz1);
  DeviceFamily& f = *family_;
  int comOpen = 0, connects = 0, allLoaded = 0, burstStarts = 0, lastProgress = -1;
  // The channels of the readings, and which one closed the poll.
  std::vector<int> read;
  std::vector<bool> closing;
  bool everyReportOnThisThread = true;
  const auto here = [&] { everyReportOnThisThread &= QThread::currentThread() == qApp->thread(); };
  f.OnComOpen = [&] {
    here();
    ++comOpen;
    f.PowerOn({});
  };
  f.OnConnect = [&] {
    here();
    ++connects;
    f.ReadConfiguration({});
  };
  f.OnProgress = [&](int p, const QString&) { lastProgress = p; };
  f.OnAllLoaded = [&] {
    here();
    ++allLoaded;
  };
  f.OnBurstStart = [&] { ++burstStarts; };
  f.OnChannelValues = [&](const TChannelSample& r) {
    here();
    for (int c = 0; c < 11; ++c)
      if (r.Has(c)) read.push_back(c);
    closing.push_back(r.ClosesPoll);
  };
  bool opened = false;
  f.Open(kPort, 0, 0, [&](bool ok) { opened = ok; });
  ASSERT_TRUE(WaitForEvents([&] { return allLoaded > 0; }, 20000));
  EXPECT_TRUE(opened);
  EXPECT_EQ(comOpen, 1);
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(lastProgress, 100);
  EXPECT_TRUE(everyReportOnThisThread);
  const TDeviceSnapshot& s = f.Snapshot();
  EXPECT_TRUE(s.ImagesLoaded);
  EXPECT_EQ(s.TypeCode, DeviceType::Voduz1);
  EXPECT_EQ(static_cast<std::uint32_t>(s.SerialNumber), emulator_.Profile().serial);

  TPollResult polled;
  bool pollDone = false;
  f.PollValues([&](const TPollResult& r) {
    polled = r;
    pollDone = true;
  });
  ASSERT_TRUE(WaitForEvents([&] { return pollDone; }, 10000));
  EXPECT_TRUE(polled.Answered);
  EXPECT_EQ(read, (std::vector<int>{ChannelValues::TAct, ChannelValues::TObj, ChannelValues::TInt}));
  EXPECT_EQ(closing, (std::vector<bool>{false, false, true}));

  // Target and internal temperature stream; the list ends before the actual.
  const TChannelValues v = StreamAndCheck(2, burstStarts);
  EXPECT_EQ(v[ChannelValues::TAct], ChannelValues::kNoValue);
  EXPECT_EQ(v[ChannelValues::TBox], ChannelValues::kNoValue);
}

// Every second-generation model line: the notifications arrive in order on
// the owner's thread with the snapshot of their moment, and the model is
// decided from the identification.
class BrioMaFamilyModels : public BrioFamilyTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BrioMaFamilyModels, ConnectsAndIdentifies) {
  ASSERT_TRUE(emulator_.Start(2, QString::fromLatin1(GetParam()), dir_.path(), kPort));
  family_ = std::make_unique<BrioMaFamily>(nullptr);
  DeviceFamily& f = *family_;
  std::vector<std::uint16_t> got;
  bool loadedOnAllLoaded = false;
  bool everyReportOnThisThread = true;
  f.OnBrioNotify = [&](std::uint16_t msg, std::uint32_t, std::int32_t) {
    everyReportOnThisThread &= QThread::currentThread() == qApp->thread();
    got.push_back(msg);
    if (msg == MsgBrioPortOpened) f.PowerOn({});
    if (msg == MsgBrioDeviceFound) f.ReadConfiguration({});
    if (msg == MsgBrioAllLoaded) loadedOnAllLoaded = f.Snapshot().ImagesLoaded;
  };
  // The same notifications, typed, after each numbered one.
  int comOpen = 0, found = 0, images = 0, allLoaded = 0;
  f.OnComOpen = [&] { ++comOpen; };
  f.OnConnect = [&] { ++found; };
  f.OnImageLoaded = [&] { ++images; };
  f.OnAllLoaded = [&] { allLoaded += loadedOnAllLoaded ? 1 : 0; };
  f.Open(kPort, 0, 0, {});
  ASSERT_TRUE(WaitForEvents([&] { return loadedOnAllLoaded; }, 30000));
  EXPECT_TRUE(everyReportOnThisThread);
  EXPECT_EQ(comOpen, 1);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(images, 3);
  EXPECT_EQ(allLoaded, 1);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], MsgBrioPortOpened);
  EXPECT_EQ(got[1], MsgBrioDeviceFound);
  EXPECT_EQ(got.back(), MsgBrioAllLoaded);
  // The image-read steps, for the progress, while the reads went on.
  for (std::uint16_t step : {MsgBrioCaliLoaded, MsgBrioConfigLoaded, MsgBrioVectorsLoaded})
    EXPECT_EQ(std::count(got.begin(), got.end(), step), 1) << step;
  const TDeviceSnapshot& s = f.Snapshot();
  EXPECT_EQ(s.TypeCode, emulator_.Profile().deviceTypeCode);
  EXPECT_EQ(static_cast<std::uint32_t>(s.SerialNumber), emulator_.Profile().serial);
  EXPECT_FLOAT_EQ(s.RangeLo, static_cast<float>(emulator_.Profile().rangeLow));
  EXPECT_FLOAT_EQ(s.RangeHi, static_cast<float>(emulator_.Profile().rangeHigh));
  EXPECT_EQ(f.HasLaser(), (emulator_.Profile().featureWord & 0x0001) != 0);
}

INSTANTIATE_TEST_SUITE_P(Profiles, BrioMaFamilyModels,
                         ::testing::Values("brio-2w", "duna-2w-v1", "fenn-2w", "briov2", "dunav2",
                                           "duna-2w-v2", "duna-2w2m-v2", "briov2-hires", "fenn-2w-hires"));

// A second-generation burst: the burst-start notification, then records
// equal to the frames sent, converted at the model's resolution.
TEST_F(BrioFamilyTest, SecondGenerationStreams) {
  ASSERT_TRUE(emulator_.Start(2, QStringLiteral("fenn-2w-hires"), dir_.path(), kPort));
  family_ = std::make_unique<BrioMaFamily>(nullptr);
  DeviceFamily& f = *family_;
  bool loaded = false;
  int burstStarts = 0;
  f.OnBrioNotify = [&](std::uint16_t msg, std::uint32_t, std::int32_t) {
    if (msg == MsgBrioPortOpened) f.PowerOn({});
    if (msg == MsgBrioDeviceFound) f.ReadConfiguration({});
    if (msg == MsgBrioAllLoaded) loaded = true;
    if (msg == MsgBrioBurstStart) ++burstStarts;
  };
  f.Open(kPort, 0, 0, {});
  ASSERT_TRUE(WaitForEvents([&] { return loaded; }, 30000));
  ASSERT_TRUE(f.Snapshot().HighResolution);
  const TChannelValues v = StreamAndCheck(3, burstStarts);
  EXPECT_NEAR(v[ChannelValues::TAct], emulator_.Profile().live.actual, 10.0);
  EXPECT_EQ(v[ChannelValues::TBox], ChannelValues::kNoValue);
}

}  // namespace
