// The calibration page of the ratio setup dialog without its widgets: the
// two-point calculation, the copy of a live value, the grid's rows and the
// checks before a write, and Read, Write and Save as factory default as
// jobs on the device's session against the emulated ratio device.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_calibration_math.h"
#include "setup_argo/ratio_calibration_model.h"
#include "setup_argo/ratio_calibration_session.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace argotest {
namespace {

using Math = RatioCalibrationMath;
using Model = RatioCalibrationModel;
using Outcome = ArgoSetupSession::TOutcome;
using Bytes = std::vector<std::uint8_t>;

TEST(RatioCalibrationMath, TwoPointCalculation) {
  struct Case {
    const char* name;
    Math::TInput input;
    Math::Status status;
    int badField;
    const char* offset;
    const char* gain;
  };
  const Case cases[] = {
      {"offset of 10 K in sixteenths",
       {"700", "1390", "710", "1400", "0", "1.0"},
       Math::Status::Ok,
       -1,
       "160",
       "1.0000"},
      {"either separator",
       {"700,0", "1390.0", "710", "1400", "0", "1,0000"},
       Math::Status::Ok,
       -1,
       "160",
       "1.0000"},
      {"gain and offset both move",
       {"700", "1400", "700", "1414", "0", "1.0"},
       Math::Status::Ok,
       -1,
       "-311",
       "1.0200"},
      {"equal actual values",
       {"900", "900", "710", "1400", "0", "1.0"},
       Math::Status::ArithmeticError,
       -1,
       "",
       ""},
      {"zero gain", {"700", "1390", "710", "1400", "0", "0"}, Math::Status::ArithmeticError, -1, "", ""},
      {"raw values beyond single precision",
       {"700", "1390", "710", "1400", "0", "1e-45"},
       Math::Status::ArithmeticError,
       -1,
       "",
       ""},
      {"empty actual value 1",
       {"", "1390", "710", "1400", "0", "1.0"},
       Math::Status::ConversionError,
       Math::Actual1,
       "",
       ""},
      {"nominal value 2 not a number",
       {"700", "1390", "710", "abc", "0", "1.0"},
       Math::Status::ConversionError,
       Math::Nominal2,
       "",
       ""},
      {"nan is not a number",
       {"700", "nan", "710", "1400", "0", "1.0"},
       Math::Status::ConversionError,
       Math::Actual2,
       "",
       ""},
      {"beyond single precision",
       {"700", "1390", "1e39", "1400", "0", "1.0"},
       Math::Status::ConversionError,
       Math::Nominal1,
       "",
       ""},
      {"grid gain not a number",
       {"700", "1390", "710", "1400", "0", "x"},
       Math::Status::ConversionError,
       -1,
       "",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Math::TResult r = Math::Calculate(c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.badField, c.badField);
    if (c.status == Math::Status::Ok) {
      EXPECT_EQ(r.offsetText, QString::fromLatin1(c.offset));
      EXPECT_EQ(r.gainText, QString::fromLatin1(c.gain));
    }
  }
}

TEST(RatioCalibrationMath, LiveValueGoesToTheNearerActualValue) {
  struct Case {
    const char* live;
    const char* nominal1;
    const char* nominal2;
    bool ok;
    int target;
    int badField;
  };
  const Case cases[] = {
      {"1395", "710", "1400", true, Math::Actual2, -1},
      {"720,5", "710", "1400", true, Math::Actual1, -1},
      {"1055", "710", "1400", true, Math::Actual2, -1},  // a tie
      {"-9999.0", "710", "1400", false, Math::Actual2, -1},
      {"", "710", "1400", false, Math::Actual2, -1},
      {"1395", "x", "1400", false, Math::Actual2, Math::Nominal1},
      {"1395", "710", "", false, Math::Actual2, Math::Nominal2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.live);
    const Math::TCopy copy = Math::CopyTarget(QString::fromLatin1(c.live), QString::fromLatin1(c.nominal1),
                                              QString::fromLatin1(c.nominal2));
    EXPECT_EQ(copy.ok, c.ok);
    EXPECT_EQ(copy.badField, c.badField);
    if (c.ok) {
      EXPECT_EQ(copy.target, c.target);
    }
  }
}

TArgoConfig CalibratedConfig() {
  TArgoConfig c;
  c.LWLDiameter = 400;
  c.LWLLength = 2000;
  c.MBRangeStart = 700.0f;
  c.MBRangeEnd = 2500.0f;
  c.ItemNumber = 4294967295u;
  c.RatioSerialNumber = 10516;
  c.AddTop = -160;
  c.MulTop = 1.25f;
  c.AddQuot = 52;
  c.MulQuot = 0.999755859375f;
  c.Deflection1 = 1.5f;
  c.Deflection2 = 2.75f;
  return c;
}

TEST(RatioCalibrationModel, RowsKeysAndTextForms) {
  Model m;
  ASSERT_EQ(m.rowCount(), 12);
  for (int row = 0; row < Model::RowCount; ++row) EXPECT_EQ(m.Value(row), QStringLiteral("0"));
  m.Fill(CalibratedConfig());
  QStringList keys, values;
  for (int row = 0; row < Model::RowCount; ++row) {
    keys << m.data(m.index(row, Model::KeyColumn)).toString();
    values << m.data(m.index(row, Model::ValueColumn)).toString();
  }
  EXPECT_EQ(keys, QStringList({"r_LWL_dia", "r_LWL_len", "r_MB_anf", "r_MB_end", "r_ItemNumber",
                               "r_SerialNumber", "r_addTop", "r_mulTop", "r_addQuot", "r_mulQuot",
                               "r_deflection1", "r_deflection2"}));
  EXPECT_EQ(values, QStringList({"400", "2000", "700.0", "2500.0", "4294967295", "10516", "-160", "1.2500",
                                 "52", "0.9998", "1.500", "2.750"}));
  EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
  EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));

  // Locked until a Read; keys are never editable.
  EXPECT_TRUE(m.Locked());
  EXPECT_FALSE(m.setData(m.index(0, Model::ValueColumn), QStringLiteral("5")));
  EXPECT_EQ(m.flags(m.index(0, Model::ValueColumn)), Qt::NoItemFlags);
  m.SetLocked(false);
  EXPECT_FALSE(m.flags(m.index(3, Model::KeyColumn)).testFlag(Qt::ItemIsEditable));
  EXPECT_FALSE(m.setData(m.index(3, Model::KeyColumn), QStringLiteral("r_renamed")));
  EXPECT_EQ(m.Key(3), QStringLiteral("r_MB_end"));
  EXPECT_TRUE(m.flags(m.index(3, Model::ValueColumn)).testFlag(Qt::ItemIsEditable));
  EXPECT_TRUE(m.setData(m.index(3, Model::ValueColumn), QStringLiteral("2400,5")));
  EXPECT_EQ(m.Value(Model::MbEnd), QStringLiteral("2400,5"));

  // Reset of one channel from the cache.
  m.SetValue(Model::AddQuot, QStringLiteral("9"));
  m.SetValue(Model::MulQuot, QStringLiteral("2"));
  m.SetValue(Model::AddTop, QStringLiteral("1"));
  m.ResetChannel(Model::Channel::Quotient, CalibratedConfig());
  EXPECT_EQ(m.Value(Model::AddQuot), QStringLiteral("52"));
  EXPECT_EQ(m.Value(Model::MulQuot), QStringLiteral("0.9998"));
  EXPECT_EQ(m.Value(Model::AddTop), QStringLiteral("1"));
}

// Every value is checked against what its register holds before anything is
// sent; a value that does not fit is named, never wrapped.
TEST(RatioCalibrationModel, ParseChecksEveryRowAgainstItsType) {
  struct Case {
    int row;
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {Model::LwlDiameter, "70000", false},
      {Model::LwlDiameter, "65535", true},
      {Model::LwlLength, "-1", false},
      {Model::LwlLength, "399.6", true},
      {Model::AddTop, "32767", true},
      {Model::AddTop, "32768", false},
      {Model::AddQuot, "-32768", true},
      {Model::AddQuot, "-40000", false},
      {Model::ItemNumber, "4294967295", true},
      {Model::ItemNumber, "4294967296", false},
      {Model::SerialNumber, "12.5", false},
      {Model::SerialNumber, "-1", false},
      {Model::MulTop, "15.9997", true},
      {Model::MulTop, "16", false},
      {Model::MulQuot, "-0.1", false},
      {Model::Deflection1, "655.35", true},
      {Model::Deflection2, "655.36", false},
      {Model::MbStart, "abc", false},
      {Model::MbEnd, "inf", false},
      {Model::MbEnd, "", false},
      {Model::MbStart, "-0.5", false},
      {Model::MbEnd, "700", false},  // not above the start (700)
      {Model::MbEnd, "3000.1", false},
      {Model::MbEnd, "3000", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Model::Key(c.row).toLatin1().constData()) + " = " + c.text);
    Model m;
    m.Fill(CalibratedConfig());
    m.SetValue(c.row, QString::fromLatin1(c.text));
    const Model::TParsed parsed = m.Parse();
    EXPECT_EQ(parsed.values.has_value(), c.ok);
    EXPECT_EQ(parsed.badRow, c.ok ? -1 : c.row);
  }
  // The first bad row in the order of writing is named.
  Model m;
  m.Fill(CalibratedConfig());
  m.SetValue(Model::AddTop, QStringLiteral("x"));
  m.SetValue(Model::LwlLength, QStringLiteral("x"));
  EXPECT_EQ(m.Parse().badRow, Model::LwlLength);

  m.Fill(CalibratedConfig());
  const auto v = m.Parse().values;
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->ItemNumber, 4294967295u);
  EXPECT_EQ(v->AddTop, -160);
  EXPECT_FLOAT_EQ(v->MulTop, 1.25f);
}

class RatioCalibrationSessionTest : public ArgoSessionTest {
 protected:
  static constexpr int kShortSettleMs = 20;

  void Open(const QString& profile = QStringLiteral("ratio"), int settleMs = kShortSettleMs) {
    StartSession({}, profile);
    ReadAllAndOpenSetup();
    calibration_ = std::make_unique<RatioCalibrationSession>(*setup_, settleMs);
    model_->ClearRequests();
  }
  void TearDown() override {
    calibration_.reset();
    setup_.reset();
    ArgoSessionTest::TearDown();
  }
  Outcome Run(const std::function<void(RatioCalibrationSession&, ArgoSetupSession::Done)>& start) {
    std::optional<Outcome> out;
    start(*calibration_, [&](const Outcome& o) { out = o; });
    EXPECT_TRUE(WaitForEvents([&] { return out.has_value(); }, 30000));
    return out.value_or(Outcome{});
  }
  bool Sent(const Bytes& request) const {
    for (const auto& r : RequestBytes())
      if (r == request) return true;
    return false;
  }

  std::unique_ptr<RatioCalibrationSession> calibration_;
};

// Write sends every value in the fixed order and the grid, refilled from
// the cache afterwards, shows what the device now holds.
TEST_F(RatioCalibrationSessionTest, WriteSendsTheGridInItsOrder) {
  Open();
  Model grid;
  grid.Fill(CalibratedConfig());
  grid.SetValue(Model::MbEnd, QStringLiteral("2400,5"));
  const auto values = grid.Parse().values;
  ASSERT_TRUE(values.has_value());
  const Outcome o = Run([&](RatioCalibrationSession& s, auto done) { s.Write(*values, done); });
  ASSERT_TRUE(o.ran);
  EXPECT_TRUE(o.report.AllConfirmed());
  EXPECT_EQ(o.report.Items.size(), 10u);
  EXPECT_EQ(RequestNames(),
            (std::vector<QString>{"SetMBRange", "SetLWLParameter", "SetItemNumber", "SetRatioSerialNumber",
                                  "SetAddTop", "SetMulTop", "SetAddQuot", "SetMulQuot", "SetDeflection1",
                                  "SetDeflection2"}));
  const ArgoDeviceState s = State();
  EXPECT_EQ(s.itemNumber, 4294967295u);
  EXPECT_EQ(s.addTop, 0xFF60);
  EXPECT_EQ(s.mulTop, 5120);
  EXPECT_EQ(s.rangeEnd, 25005);
  EXPECT_EQ(s.deflection2, 275);
  Model after;
  after.Fill(o.config);
  EXPECT_EQ(after.Value(Model::MbEnd), QStringLiteral("2400.5"));
  EXPECT_EQ(after.Value(Model::AddTop), QStringLiteral("-160"));
  EXPECT_EQ(after.Value(Model::ItemNumber), QStringLiteral("4294967295"));
}

// When the device stops answering, the report tells what reached it.
TEST_F(RatioCalibrationSessionTest, WriteStopsWhereTheDeviceStopsConfirming) {
  Open();
  Model grid;
  grid.Fill(CalibratedConfig());
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 6; });
  const Outcome o = Run([&](RatioCalibrationSession& s, auto done) { s.Write(*grid.Parse().values, done); });
  EXPECT_TRUE(o.report.DeviceLost);
  QStringList written, notAttempted;
  for (const TArgoWriteItem& i : o.report.Items) {
    if (i.Result) written << i.Key;
    if (i.Result.Result == TArgoWriteResult::NotAttempted) notAttempted << i.Key;
  }
  EXPECT_EQ(written, QStringList({"r_MB_anf", "r_LWL_dia", "r_ItemNumber", "r_SerialNumber", "r_addTop"}));
  EXPECT_EQ(notAttempted, QStringList({"r_addQuot", "r_mulQuot", "r_deflection1", "r_deflection2"}));
  EXPECT_EQ(RatioCalibrationSession::WriteKeys().size(), 10);
}

// Read restores the factory values first; the cache it hands back holds them.
// Save as factory default makes the present values the ones Read restores.
TEST_F(RatioCalibrationSessionTest, ReadRestoresFactoryValuesAndSaveStoresThem) {
  Open();
  SetState([](ArgoDeviceState& s) {
    s.addTop = 0x0100;
    s.mulQuot = 8192;
    s.itemNumber = 77;
  });
  Outcome o = Run([](RatioCalibrationSession& s, auto done) { s.Read(done); });
  ASSERT_TRUE(o.ran);
  EXPECT_TRUE(o.connected);
  EXPECT_FALSE(o.report.Cancelled);
  ASSERT_FALSE(RequestBytes().empty());
  EXPECT_EQ(RequestBytes().front(), (Bytes{0x65, 0x01, 0x7F, 0x91, 0x8A}));
  Model grid;
  grid.Fill(o.config);
  EXPECT_EQ(grid.Value(Model::AddTop), QStringLiteral("18"));  // the profile's factory 0x0012
  EXPECT_EQ(grid.Value(Model::MulQuot), QStringLiteral("1.0000"));
  EXPECT_EQ(grid.Value(Model::ItemNumber), QString::number(State().itemNumber));

  SetState([](ArgoDeviceState& s) {
    s.addTop = 0xFFF0;
    s.fibreLength = 1234;
  });
  model_->ClearRequests();
  o = Run([](RatioCalibrationSession& s, auto done) { s.SaveAsFactoryDefault(done); });
  EXPECT_TRUE(o.report.AllConfirmed());
  EXPECT_EQ(RequestBytes(), (std::vector<Bytes>{{0x65, 0x01, 0x7F, 0x97, 0x8C}}));
  SetState([](ArgoDeviceState& s) { s.addTop = 0x0001; });
  o = Run([](RatioCalibrationSession& s, auto done) { s.Read(done); });
  grid.Fill(o.config);
  EXPECT_EQ(grid.Value(Model::AddTop), QStringLiteral("-16"));
  EXPECT_EQ(grid.Value(Model::LwlLength), QStringLiteral("1234"));
}

// The main window is not told of the configuration Read loads halfway
// through; its handler is back afterwards.
TEST_F(RatioCalibrationSessionTest, ReadHoldsOffTheConfigurationLoadedEvent) {
  Open();
  auto loaded = std::make_shared<int>(0);
  RunOnSession([loaded](TpyreonArgo& d) { d.OnLoadConfigData = [loaded](QObject*, bool) { ++*loaded; }; });
  const Outcome o = Run([](RatioCalibrationSession& s, auto done) { s.Read(done); });
  EXPECT_TRUE(o.connected);
  EXPECT_EQ(*loaded, 0);
  RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(true); });
  EXPECT_EQ(*loaded, 1);
}

// A Read cancelled while it lets the device settle sends nothing.
TEST_F(RatioCalibrationSessionTest, ReadCancelledBeforeTheResetSendsNothing) {
  Open(QStringLiteral("ratio"), 10000);
  std::optional<Outcome> out;
  calibration_->Read([&](const Outcome& o) { out = o; });
  calibration_->CancelRead();
  ASSERT_TRUE(WaitForEvents([&] { return out.has_value(); }, 8000));
  EXPECT_TRUE(out->report.Cancelled);
  EXPECT_EQ(model_->RequestCount(), 0u);
}

}  // namespace
}  // namespace argotest
