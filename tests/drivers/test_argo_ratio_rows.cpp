// The ratio model's setters as the ratio setup dialog uses them, against the
// emulator: the ranges each accepts, the firmware that carries the channel
// calibration registers, the signed offsets and the extended alarms.

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <vector>

#include "fixtures/argo_pty_fixture.h"

namespace argotest {
namespace {

using Driver = TpyreonArgo;

class ArgoRatioRowsTest : public ArgoPtyTest {
 protected:
  void Start(const QString& profile) {
    StartDevice(profile);
    OpenAndConnect();
  }
  // Runs `op` and tells whether it was refused with error 6 and nothing sent.
  void ExpectRejected(const char* name, const std::function<TArgoWriteResult(Driver&)>& op) {
    SCOPED_TRACE(name);
    events_ = EventLog();
    model_->ClearRequests();
    EXPECT_EQ(op(*driver_), TArgoWriteResult::Rejected);
    EXPECT_EQ(events_.errors, std::vector<int>{6});
    EXPECT_EQ(model_->RequestCount(), 0u);
  }
  void ExpectConfirmed(const char* name, const std::function<TArgoWriteResult(Driver&)>& op) {
    SCOPED_TRACE(name);
    events_ = EventLog();
    model_->ClearRequests();
    EXPECT_EQ(op(*driver_), TArgoWriteResult::Confirmed);
    EXPECT_TRUE(events_.errors.empty());
    EXPECT_EQ(model_->RequestCount(), 1u);
  }
};

TEST_F(ArgoRatioRowsTest, SetterRangesOfTheRatioDialog) {
  Start(QStringLiteral("ratio"));
  // The visual alarm takes the four measured sources, the process value and
  // the three fixed colours.
  for (std::uint8_t source = 0; source <= 7; ++source) {
    ExpectConfirmed("visual alarm source 0..7", [&](Driver& d) { return d.SetVisualAlarmSource(source); });
    EXPECT_EQ(State().visualAlarmSource, source);
    EXPECT_EQ(driver_->Config().VisualAlarmSource, source);
  }
  ExpectRejected("visual alarm source 8", [](Driver& d) { return d.SetVisualAlarmSource(8); });
  ExpectRejected("display main source 5", [](Driver& d) { return d.SetDisplayMainSource(5); });
  ExpectRejected("process source 3", [](Driver& d) { return d.SetProcessSource(3); });
  ExpectConfirmed("process source 2", [](Driver& d) { return d.SetProcessSource(2); });
  EXPECT_EQ(driver_->Config().ProcessSource, 2);

  // Two alarm outputs, sources 1 (Tquot) .. 5 (process value).
  ExpectConfirmed("alarm source 1 on output 0", [](Driver& d) { return d.SetAlarmSource(0, 1); });
  ExpectConfirmed("alarm source 5 on output 1", [](Driver& d) { return d.SetAlarmSource(1, 5); });
  EXPECT_EQ(State().alarmSource[0], 1);
  EXPECT_EQ(State().alarmSource[1], 5);
  EXPECT_EQ(driver_->Config().AlarmSource[1], 5);
  ExpectRejected("alarm source 0", [](Driver& d) { return d.SetAlarmSource(0, 0); });
  ExpectRejected("alarm source 6", [](Driver& d) { return d.SetAlarmSource(1, 6); });
  ExpectRejected("alarm output 2", [](Driver& d) { return d.SetAlarmSource(2, 1); });

  // Offsets are signed words.
  ExpectConfirmed("AddTop -32768", [](Driver& d) { return d.SetAddTop(-32768); });
  EXPECT_EQ(State().addTop, 0x8000);
  EXPECT_EQ(driver_->Config().AddTop, -32768);
  ExpectConfirmed("AddQuot -160", [](Driver& d) { return d.SetAddQuot(-160); });
  EXPECT_EQ(State().addQuot, 0xFF60);
  EXPECT_EQ(driver_->Config().AddQuot, -160);
  driver_->GetAddQuot();
  EXPECT_EQ(driver_->Config().AddQuot, -160);
  ExpectRejected("AddTop 32768", [](Driver& d) { return d.SetAddTop(32768); });
  ExpectRejected("AddQuot -32769", [](Driver& d) { return d.SetAddQuot(-32769); });
  // A gain the word cannot hold.
  ExpectRejected("MulTop 16", [](Driver& d) { return d.SetMulTop(16.0f); });
}

// AddTop .. MulQuot exist from firmware 5014 on, the deflections from 5016
// on: older firmware is never asked for them (it would not answer, and the
// driver would count the device as gone).
TEST_F(ArgoRatioRowsTest, CalibrationRegistersFollowTheFirmware) {
  struct Case {
    const char* profile;
    bool channels;
    bool deflections;
  };
  for (const Case& c : {Case{"ratio-5013", false, false}, Case{"ratio-5014", true, false},
                        Case{"ratio-5015", true, false}, Case{"ratio", true, true}}) {
    SCOPED_TRACE(c.profile);
    Start(QString::fromLatin1(c.profile));
    const std::vector<std::function<TArgoWriteResult(Driver&)>> channelWrites = {
        [](Driver& d) { return d.SetAddTop(5); }, [](Driver& d) { return d.SetMulTop(1.25f); },
        [](Driver& d) { return d.SetAddQuot(-7); }, [](Driver& d) { return d.SetMulQuot(0.75f); }};
    for (const auto& write : channelWrites) {
      model_->ClearRequests();
      EXPECT_EQ(write(*driver_) == TArgoWriteResult::Confirmed, c.channels);
      EXPECT_EQ(model_->RequestCount(), c.channels ? 1u : 0u);
    }
    model_->ClearRequests();
    EXPECT_EQ(driver_->SetDeflection1(2.5f) == TArgoWriteResult::Confirmed, c.deflections);
    EXPECT_EQ(driver_->SetDeflection2(1.5f) == TArgoWriteResult::Confirmed, c.deflections);
    EXPECT_EQ(model_->RequestCount(), c.deflections ? 2u : 0u);
    EXPECT_TRUE(driver_->Connected());
    EXPECT_TRUE(events_.errors.empty());
    if (c.channels) {
      EXPECT_EQ(driver_->Config().AddTop, 5);
      EXPECT_FLOAT_EQ(driver_->Config().MulQuot, 0.75f);
    }
    TearDown();
  }
}

// A write-all on firmware without the channel registers leaves them out
// instead of losing the device on them.
TEST_F(ArgoRatioRowsTest, WriteAllSkipsChannelCalibrationBefore5014) {
  Start(QStringLiteral("ratio-5013"));
  ASSERT_TRUE(driver_->ReadAllParameters(false));
  model_->ClearRequests();
  TArgoConfig edited = driver_->Config();
  edited.AddTop = 12;
  edited.MulQuot = 1.5f;
  edited.Slope = 1.1f;
  const TArgoWriteReport report = driver_->WriteAllParameters(edited);
  EXPECT_FALSE(report.DeviceLost);
  EXPECT_EQ(report.Names(true), QStringList{QStringLiteral("RATIO SLOPE")});
  EXPECT_TRUE(report.Names(false).isEmpty());
  EXPECT_TRUE(driver_->Connected());
  EXPECT_EQ(State().slope, 1100);
}

// On extended-alarm firmware alarm 1 and 2 are the backlight thresholds:
// written and read back with the ratio alarm hysteresis and mode.
TEST_F(ArgoRatioRowsTest, ExtendedAlarmThresholds) {
  Start(QStringLiteral("ratio-5013"));
  ASSERT_TRUE(driver_->HasExtendedAlarms());
  EXPECT_EQ(driver_->SetAlarm1(812.5f), TArgoWriteResult::Confirmed);
  EXPECT_EQ(driver_->SetAlarm2(1900.0f), TArgoWriteResult::Confirmed);
  EXPECT_EQ(driver_->SetRatioAlarmHysteresis(2.5f), TArgoWriteResult::Confirmed);
  EXPECT_EQ(driver_->SetRatioAlarmMode(0x05), TArgoWriteResult::Confirmed);
  EXPECT_EQ(State().alarm[0], 9125);
  EXPECT_EQ(State().alarm[1], 20000);
  EXPECT_EQ(State().ratioAlarmHysteresis, 25);
  EXPECT_EQ(State().ratioAlarmMode, 0x05);
  SetState([](ArgoDeviceState& s) { s.alarm[0] = 8000; });
  ASSERT_TRUE(driver_->ReadAllParameters(false));
  EXPECT_FLOAT_EQ(driver_->Config().Alarm[0], 700.0f);
  EXPECT_FLOAT_EQ(driver_->Config().Alarm[1], 1900.0f);
  EXPECT_FLOAT_EQ(driver_->Config().RatioAlarmHysteresis, 2.5f);
  EXPECT_EQ(driver_->Config().RatioAlarmMode, 0x05);
}

}  // namespace
}  // namespace argotest
