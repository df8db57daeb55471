// Read-all and write-all against the device emulator: the order of the
// requests, the progress events, and a device that vanishes mid-read.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "fixtures/argo_pty_fixture.h"

namespace argotest {
namespace {

class ArgoReadWriteAllTest : public ArgoPtyTest {
 protected:
  std::vector<std::uint8_t> Commands() const {
    std::vector<std::uint8_t> out;
    for (const auto& r : model_->Requests()) out.push_back(r.command);
    return out;
  }
  std::vector<QString> Captions() const {
    std::vector<QString> out;
    for (const auto& p : events_.progress) out.push_back(p.second);
    return out;
  }
};

TEST_F(ArgoReadWriteAllTest, ReadAllSingleColourOrderAndProgress) {
  StartDevice(QStringLiteral("argo-1500"));
  OpenAndConnect();
  ASSERT_TRUE(driver_->ReadAllParameters(true));

  std::vector<std::uint8_t> expected = {0x0F, 0x0F, 0x45, 0x04, 0x05, 0x0A, 0x0B, 0x0C,
                                        0x0D, 0x13, 0x14, 0x15, 0x16, 0x17, 0x1B};
  expected.insert(expected.end(), 32, 0x23);
  expected.insert(expected.end(), 3, 0x24);
  expected.insert(expected.end(),
                  {0x27, 0x28, 0x28, 0x28, 0x28, 0x4A, 0x2B, 0x2C, 0x43, 0x06, 0x07, 0x08, 0x09, 0x0E,
                   0x10, 0x11, 0x12, 0x18, 0x19, 0x1A, 0x1C, 0x1D, 0x1E, 0x22, 0x25, 0x26, 0x50, 0x43});
  EXPECT_EQ(Commands(), expected);

  // 44 steps against a total of 42: the last step shows 105 %.
  ASSERT_EQ(events_.progress.size(), 44u);
  EXPECT_EQ(events_.progress.front(), std::make_pair(2, QStringLiteral("READ FW REV.")));
  EXPECT_EQ(events_.progress[1], std::make_pair(5, QStringLiteral("READ MODEL INFO")));
  EXPECT_EQ(events_.progress[21].second, QStringLiteral("READ ALARM HYSTERESE"));
  EXPECT_EQ(events_.progress.back(), std::make_pair(105, QStringLiteral("READ PANEL LOCK")));
  EXPECT_EQ(events_.loadConfig, std::vector<bool>{true});
  EXPECT_TRUE(driver_->Config().ConfigValid);
  EXPECT_EQ(driver_->Config().FWrev, 1500);
}

struct RatioCase {
  const char* profile;
  std::size_t steps;
  bool addTop;
  bool deflection;
  bool extended;
};

TEST_F(ArgoReadWriteAllTest, ReadAllRatioStepsByFirmware) {
  const RatioCase cases[] = {
      {"argo-5003", 45, false, false, false},
      {"ratio-5013", 49, false, false, true},
      {"ratio", 55, true, true, true},
  };
  for (const RatioCase& c : cases) {
    SCOPED_TRACE(c.profile);
    StartDevice(QString::fromLatin1(c.profile));
    OpenAndConnect();
    ASSERT_TRUE(driver_->ReadAllParameters(false));
    EXPECT_TRUE(events_.loadConfig.empty());
    const auto captions = Captions();
    auto has = [&](const char* t) {
      return std::count(captions.begin(), captions.end(), QString::fromLatin1(t)) > 0;
    };
    EXPECT_EQ(captions.size(), c.steps);
    EXPECT_EQ(has("READ ADDTOP"), c.addTop);
    EXPECT_EQ(has("READ DEFLECTION 1"), c.deflection);
    EXPECT_EQ(has("READ RATIO ALARM HYST"), c.extended);
    EXPECT_FALSE(has("READ EMISSIVITY"));
    EXPECT_EQ(std::count(captions.begin(), captions.end(), QStringLiteral("READ ALx SOURCE")), 2);
    for (const auto& r : model_->Requests())
      EXPECT_EQ(r.outcome, ArgoRequestOutcome::Answered) << r.name.toStdString();
    TearDown();
    events_ = EventLog();
  }
}

TEST_F(ArgoReadWriteAllTest, WriteAllOfAnUnchangedCopySendsNothing) {
  StartDevice(QStringLiteral("argo-current"));
  OpenAndConnect();
  ASSERT_TRUE(driver_->ReadAllParameters(false));
  model_->ClearRequests();
  events_ = EventLog();
  QElapsedTimer t;
  t.start();
  driver_->WriteAllParameters(driver_->Config());
  EXPECT_GE(t.elapsed(), 500);
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_EQ(events_.progress, (std::vector<std::pair<int, QString>>{{100, QStringLiteral("READY")},
                                                                    {0, QStringLiteral("READY")}}));
}

TEST_F(ArgoReadWriteAllTest, WriteAllSendsTheChangedFieldsInOrder) {
  StartDevice(QStringLiteral("argo-current"));
  SetState([](ArgoDeviceState& s) {
    s.rangeLow = 500;
    s.rangeHigh = 11000;
  });
  OpenAndConnect();
  ASSERT_TRUE(driver_->ReadAllParameters(false));
  model_->ClearRequests();
  events_ = EventLog();

  TArgoConfig n = driver_->Config();
  n.Emissivity = 0.5f;
  n.Alarm[1] = 250.0f;
  n.AlarmMode[3] = TArgoAlarmMode{0, 1, 1, 2};
  n.BurstChannels = {1, 4, 0, 0, 0, 0, 0, 0, 0};
  n.HeadCodeLarge[2] = QStringLiteral("0ABC");
  driver_->WriteAllParameters(n);

  EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{0x84, 0x8B, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA8, 0x51}));
  EXPECT_EQ(events_.progress, (std::vector<std::pair<int, QString>>{
                                  {14, QStringLiteral("WRITE EMISSIVITY")},
                                  {22, QStringLiteral("WRITE ALARM 2")},
                                  {54, QStringLiteral("WRITE HEADCODE LARGE")},
                                  {57, QStringLiteral("WRITE ALARM MODE 3")},
                                  {73, QStringLiteral("WRITE BURST VALUES")},
                                  {100, QStringLiteral("READY")},
                                  {0, QStringLiteral("READY")},
                              }));
  EXPECT_FLOAT_EQ(driver_->Config().Emissivity, 0.5f);
  EXPECT_EQ(driver_->Config().HeadCodeLarge[2], QStringLiteral("0ABC"));
  EXPECT_EQ(State().burstSlots[0], 0x14);
  EXPECT_TRUE(events_.errors.empty());
}

// At firmware 2000 the head code is read in the short form and written in
// the same form, so writing back what was read changes nothing.
TEST_F(ArgoReadWriteAllTest, HeadCodeAtFirmware2000UsesOneForm) {
  StartDevice(QStringLiteral("argo-2000"));
  OpenAndConnect();
  ASSERT_TRUE(driver_->ReadAllParameters(false));
  const auto read = Commands();
  EXPECT_EQ(std::count(read.begin(), read.end(), 0x24), 3);
  model_->ClearRequests();
  events_ = EventLog();
  driver_->WriteAllParameters(driver_->Config());
  EXPECT_EQ(model_->RequestCount(), 0u);

  TArgoConfig n = driver_->Config();
  n.HeadCodeShort[1] = QStringLiteral("1234");
  events_ = EventLog();
  driver_->WriteAllParameters(n);
  EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{0xA4, 0xA4, 0xA4}));
  EXPECT_EQ(events_.progress.front().second, QStringLiteral("WRITE HEADCODE SHORT"));
}

// The device vanishes in the middle of a read-all: one error and one
// disconnect, the read ends promptly with False, and the owner learns it.
TEST_F(ArgoReadWriteAllTest, DeviceVanishingDuringReadAll) {
  StartDevice(QStringLiteral("argo-1500"));
  OpenAndConnect();
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 12; });
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(driver_->ReadAllParameters(true));
  // The read gives up at the first request that got no answer after all its
  // tries instead of trying the remaining ones.
  EXPECT_LT(t.elapsed(), 3000);
  EXPECT_EQ(events_.sequence,
            (std::vector<QString>{QStringLiteral("error 5"), QStringLiteral("disconnect")}));
  EXPECT_EQ(events_.loadConfig, std::vector<bool>{false});
  EXPECT_FALSE(driver_->Config().ConfigValid);
  EXPECT_LT(events_.progress.size(), 12u);
}

// A device that falls silent with its port open: the read-all ends after the
// first request's tries, reports the loss once and sends nothing more.
TEST_F(ArgoReadWriteAllTest, DeviceFallingSilentDuringReadAllEndsTheReadAtOnce) {
  StartDevice(QStringLiteral("argo-1500"));
  OpenAndConnect();
  const std::size_t before = model_->RequestCount();
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(driver_->ReadAllParameters(true));
  EXPECT_LT(t.elapsed(), 3000);
  EXPECT_EQ(events_.sequence,
            (std::vector<QString>{QStringLiteral("error 5"), QStringLiteral("disconnect")}));
  EXPECT_EQ(events_.loadConfig, std::vector<bool>{false});
  EXPECT_TRUE(events_.progress.empty());
  // One request, three tries (a stream-stop may come first).
  EXPECT_LE(model_->RequestCount() - before, 4u);
}

}  // namespace
}  // namespace argotest
