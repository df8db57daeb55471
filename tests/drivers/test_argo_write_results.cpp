// What the single-colour driver's writes report: a setter says whether the
// device confirmed its write, a write-all names what did and did not reach
// the device, also when the device falls silent, vanishes or the owner
// cancels half-way.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <functional>

#include "fixtures/argo_pty_fixture.h"

namespace argotest {
namespace {

using Result = TArgoWriteResult;

class ArgoWriteResultTest : public ArgoPtyTest {
 protected:
  // A connected device with a range of -50..1000 degrees and its whole
  // configuration read.
  void StartReadDevice() {
    StartDevice(QStringLiteral("argo-current"));
    SetState([](ArgoDeviceState& s) {
      s.rangeLow = 500;
      s.rangeHigh = 11000;
    });
    OpenAndConnect();
    ASSERT_TRUE(driver_->ReadAllParameters(false));
    model_->ClearRequests();
    events_ = EventLog();
  }
};

struct SetterCase {
  const char* name;
  std::function<Result(TpyreonArgo&)> write;
  // A value the setter refuses, or null when it has none.
  std::function<Result(TpyreonArgo&)> outOfRange;
  // The cached value the write changes.
  std::function<QString(const TArgoConfig&)> cached;
};

const std::vector<SetterCase>& SetterCases() {
  static const std::vector<SetterCase> cases = {
      {"SetEmissivity", [](TpyreonArgo& d) { return d.SetEmissivity(0.5f); },
       [](TpyreonArgo& d) { return d.SetEmissivity(1.2f); },
       [](const TArgoConfig& c) { return QString::number(c.Emissivity); }},
      {"SetAlarm2", [](TpyreonArgo& d) { return d.SetAlarm2(250.0f); },
       [](TpyreonArgo& d) { return d.SetAlarm2(2000.0f); },
       [](const TArgoConfig& c) { return QString::number(c.Alarm[1]); }},
      {"SetAverageTime", [](TpyreonArgo& d) { return d.SetAverageTime(2.5f); },
       [](TpyreonArgo& d) { return d.SetAverageTime(-1.0f); },
       [](const TArgoConfig& c) { return QString::number(c.AverageTime); }},
      {"SetAlarmMode",
       [](TpyreonArgo& d) {
         return d.SetAlarmMode(0, TArgoAlarmMode{1, 1, 0, 0});
       },
       [](TpyreonArgo& d) {
         return d.SetAlarmMode(4, TArgoAlarmMode{1, 1, 0, 0});
       },
       [](const TArgoConfig& c) {
         return QStringLiteral("%1 %2").arg(c.AlarmMode[0].Source).arg(c.AlarmMode[0].OpenClose);
       }},
      {"SetRS485Address", [](TpyreonArgo& d) { return d.SetRS485Address(0); },
       [](TpyreonArgo& d) { return d.SetRS485Address(80); },
       [](const TArgoConfig& c) { return QString::number(c.RS485Addr); }},
      {"SetEmissivitySource", [](TpyreonArgo& d) { return d.SetEmissivitySource(2); },
       [](TpyreonArgo& d) { return d.SetEmissivitySource(3); },
       [](const TArgoConfig& c) { return QString::number(c.EmissivitySource); }},
      {"SetTemperatureUnit", [](TpyreonArgo& d) { return d.SetTemperatureUnit(1); }, nullptr,
       [](const TArgoConfig& c) { return QString::number(c.TempUnitFahrenheit); }},
      {"SetMaterialTable",
       [](TpyreonArgo& d) {
         TArgoMaterialTable t = d.Config().MaterialTable;
         t[7].Emiss = 0.42f;
         return d.SetMaterialTable(t);
       },
       [](TpyreonArgo& d) {
         TArgoMaterialTable t = d.Config().MaterialTable;
         t[0].Emiss = 100.0f;
         return d.SetMaterialTable(t);
       },
       [](const TArgoConfig& c) { return QString::number(c.MaterialTable[7].Emiss); }},
      {"SetHeadCodeLarge",
       [](TpyreonArgo& d) {
         TArgoHeadCodeLarge h = d.Config().HeadCodeLarge;
         h[4] = QStringLiteral("00VV");
         return d.SetHeadCodeLarge(h);
       },
       [](TpyreonArgo& d) {
         TArgoHeadCodeLarge h = d.Config().HeadCodeLarge;
         h[4] = QStringLiteral("12345");  // five digits do not fit a group
         return d.SetHeadCodeLarge(h);
       },
       [](const TArgoConfig& c) { return c.HeadCodeLarge[4]; }},
      {"ResetLoopOutput", [](TpyreonArgo& d) { return d.ResetLoopOutput(); }, nullptr,
       [](const TArgoConfig&) { return QString(); }},
  };
  return cases;
}

// Confirmed with the device there; rejected, with error 6 and nothing sent,
// outside the setter's range.
TEST_F(ArgoWriteResultTest, SettersReportConfirmedAndRejectedWrites) {
  StartReadDevice();
  for (const SetterCase& c : SetterCases()) {
    SCOPED_TRACE(c.name);
    events_ = EventLog();
    EXPECT_EQ(c.write(*driver_), Result::Confirmed);
    EXPECT_TRUE(static_cast<bool>(c.write(*driver_)));
    EXPECT_TRUE(events_.errors.empty());
    if (!c.outOfRange) continue;
    model_->ClearRequests();
    const QString before = c.cached(driver_->Config());
    const Result r = c.outOfRange(*driver_);
    EXPECT_EQ(r, Result::Rejected);
    EXPECT_FALSE(static_cast<bool>(r));
    EXPECT_EQ(model_->RequestCount(), 0u);
    EXPECT_EQ(events_.errors, std::vector<int>{argoErrOutOfRange});
    EXPECT_EQ(c.cached(driver_->Config()), before);
  }
}

// A device that falls silent or vanishes leaves every write unconfirmed and
// the cache as it was; a closed port sends nothing and confirms nothing.
TEST_F(ArgoWriteResultTest, SettersReportUnconfirmedWritesWhenTheDeviceDoesNotAnswer) {
  for (const bool vanish : {false, true}) {
    SCOPED_TRACE(vanish ? "vanished" : "silent");
    StartReadDevice();
    const TArgoConfig before = driver_->Config();
    SetFaults([&](ArgoFaults& f) {
      if (vanish)
        f.vanishAfterRequests = 1;
      else
        f.silent = true;
    });
    for (const SetterCase& c : SetterCases()) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(c.write(*driver_), Result::Unconfirmed);
      EXPECT_EQ(c.cached(driver_->Config()), c.cached(before));
    }
    // The loss is reported once, by the first write.
    EXPECT_EQ(std::count(events_.errors.begin(), events_.errors.end(), argoErrNoAnswer), 1);
    driver_->ClosePort();
    model_->ClearRequests();
    EXPECT_EQ(driver_->SetEmissivity(0.5f), Result::Unconfirmed);
    EXPECT_EQ(model_->RequestCount(), 0u);
    TearDown();
    events_ = EventLog();
  }
}

TArgoConfig FiveChanges(const TArgoConfig& read) {
  TArgoConfig n = read;
  n.AverageTime = 2.5f;           // AVERAGE TIME
  n.Emissivity = 0.5f;            // EMISSIVITY
  n.Alarm[1] = 250.0f;            // ALARM 2
  n.AlarmMode[3] = {0, 1, 1, 2};  // ALARM MODE 3
  n.TweakOffset = 1.5f;           // TWEAK OFFSET
  return n;
}

std::vector<std::pair<QString, Result>> Items(const TArgoWriteReport& report) {
  std::vector<std::pair<QString, Result>> out;
  for (const TArgoWriteItem& i : report.Items) out.emplace_back(i.Name, i.Result);
  return out;
}

TEST_F(ArgoWriteResultTest, WriteAllReportsEveryChangedParameter) {
  StartReadDevice();
  TArgoConfig n = FiveChanges(driver_->Config());
  n.Alarm[2] = 2500.0f;  // beyond the model's range: refused, the rest goes on
  const TArgoWriteReport report = driver_->WriteAllParameters(n);
  EXPECT_EQ(Items(report), (std::vector<std::pair<QString, Result>>{
                               {QStringLiteral("AVERAGE TIME"), Result::Confirmed},
                               {QStringLiteral("EMISSIVITY"), Result::Confirmed},
                               {QStringLiteral("ALARM 2"), Result::Confirmed},
                               {QStringLiteral("ALARM 3"), Result::Rejected},
                               {QStringLiteral("ALARM MODE 3"), Result::Confirmed},
                               {QStringLiteral("TWEAK OFFSET"), Result::Confirmed},
                           }));
  EXPECT_EQ(report.Items[2].Key, QStringLiteral("AL2"));
  EXPECT_EQ(report.Items[4].Key, QStringLiteral("AlarmMode3"));
  EXPECT_FALSE(report.AllConfirmed());
  EXPECT_EQ(report.Names(false), QStringList{QStringLiteral("ALARM 3")});
  EXPECT_FALSE(report.Cancelled);
  EXPECT_FALSE(report.DeviceLost);

  // Writing back what the device now holds changes nothing and reports nothing.
  const TArgoWriteReport again = driver_->WriteAllParameters(driver_->Config());
  EXPECT_TRUE(again.Items.empty());
  EXPECT_TRUE(again.AllConfirmed());
}

// The device vanishes on the third write: the first two are confirmed, the
// third is not, the rest is not even sent, and the write-all ends promptly.
TEST_F(ArgoWriteResultTest, WriteAllReportsWhatReachedADeviceThatVanished) {
  StartReadDevice();
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 3; });
  QElapsedTimer t;
  t.start();
  const TArgoWriteReport report = driver_->WriteAllParameters(FiveChanges(driver_->Config()));
  EXPECT_LT(t.elapsed(), 4000);
  EXPECT_EQ(Items(report), (std::vector<std::pair<QString, Result>>{
                               {QStringLiteral("AVERAGE TIME"), Result::Confirmed},
                               {QStringLiteral("EMISSIVITY"), Result::Confirmed},
                               {QStringLiteral("ALARM 2"), Result::Unconfirmed},
                               {QStringLiteral("ALARM MODE 3"), Result::NotAttempted},
                               {QStringLiteral("TWEAK OFFSET"), Result::NotAttempted},
                           }));
  EXPECT_TRUE(report.DeviceLost);
  EXPECT_FALSE(report.Cancelled);
  EXPECT_EQ(report.Names(true), (QStringList{QStringLiteral("AVERAGE TIME"), QStringLiteral("EMISSIVITY")}));
  // Nothing after the unanswered write went out.
  for (const auto& r : model_->Requests()) EXPECT_NE(r.command, 0xA8) << r.name.toStdString();
  EXPECT_EQ(std::count(events_.errors.begin(), events_.errors.end(), argoErrNoAnswer), 1);
}

// The owner cancels after the second write: nothing more is sent and the
// report says so.
TEST_F(ArgoWriteResultTest, WriteAllStopsWhenCancelled) {
  StartReadDevice();
  driver_->SetCancelCheck([this] { return model_->RequestCount() >= 2; });
  const TArgoWriteReport report = driver_->WriteAllParameters(FiveChanges(driver_->Config()));
  driver_->SetCancelCheck(nullptr);
  EXPECT_TRUE(report.Cancelled);
  EXPECT_FALSE(report.DeviceLost);
  EXPECT_EQ(model_->RequestCount(), 2u);
  EXPECT_EQ(report.Names(true), (QStringList{QStringLiteral("AVERAGE TIME"), QStringLiteral("EMISSIVITY")}));
  EXPECT_EQ(report.Names(false), (QStringList{QStringLiteral("ALARM 2"), QStringLiteral("ALARM MODE 3"),
                                              QStringLiteral("TWEAK OFFSET")}));
  EXPECT_TRUE(events_.errors.empty());
}

}  // namespace
}  // namespace argotest
