#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "setup_argo/mat_table_dlg.h"
#include "setup_argo/material_table_rules.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "ui/d_spin_edit.h"
#include "ui/opt_string_grid.h"

namespace {

using argotest::WaitForEvents;
using R = MaterialTableRules;

TEST(MaterialTableRulesTest, ItemsAndCodesByFirmware) {
  // Per firmware: the item shown for codes 0..5 (-1: none).
  const std::pair<int, std::array<int, 6>> cases[] = {
      {2399, {0, 1, 2, 3, 4, -1}},  {2400, {0, 1, -1, 2, 3, -1}}, {2450, {0, 1, -1, 2, 3, -1}},
      {2499, {0, 1, -1, 2, 3, -1}}, {2500, {0, 1, 2, 3, 4, -1}},  {65535, {0, 1, 2, 3, 4, -1}},
  };
  for (const auto& [firmware, items] : cases) {
    const bool single = R::SingleOutputFirmware(firmware);
    for (int code = 0; code < 6; ++code) {
      const int item = R::ItemForCode(static_cast<std::uint8_t>(code), single);
      EXPECT_EQ(item, items[static_cast<std::size_t>(code)]) << firmware << " code " << code;
      if (item >= 0) {
        EXPECT_EQ(R::CodeForItem(item, single), code) << firmware << " item " << item;
      }
    }
    // No item beyond the valid codes: nothing offered routes to a wrong output.
    const int count = static_cast<int>(R::ItemCodes(single).size());
    EXPECT_EQ(count, single ? 4 : 5) << firmware;
    EXPECT_EQ(R::CodeForItem(count, single), -1) << firmware;
  }
}

TArgoMaterialTable Rows(std::uint8_t devLo, std::uint8_t devHi) {
  TArgoMaterialTable t{};
  for (auto& r : t) {
    r.DevLo = devLo;
    r.DevHi = devHi;
  }
  return t;
}

TEST(MaterialTableRulesTest, AlarmsOfARowNeverShareAnOutput) {
  struct Case {
    const char* what;
    std::uint8_t lo, hi;
    bool alarmB;
    std::uint8_t code;
    bool all;
    std::uint8_t row2Lo, row2Hi, row5Lo, row5Hi;
  };
  const Case cases[] = {
      {"B takes A's output: A gives it up", 3, 1, true, 3, false, 4, 3, 3, 1},
      {"A takes B's output: B gives it up", 0, 2, false, 2, false, 2, 4, 0, 2},
      {"different outputs stay", 0, 1, false, 3, false, 3, 1, 0, 1},
      {"all rows' A to channel 1", 0, 3, false, 3, true, 3, 4, 3, 4},
      {"all rows' B to none keeps A", 4, 2, true, 4, true, 4, 4, 4, 4},
  };
  for (const auto& c : cases) {
    TArgoMaterialTable t = Rows(c.lo, c.hi);
    R::SetOutput(t, c.alarmB, 2, c.code, c.all);
    EXPECT_EQ(t[2].DevLo, c.row2Lo) << c.what;
    EXPECT_EQ(t[2].DevHi, c.row2Hi) << c.what;
    EXPECT_EQ(t[5].DevLo, c.row5Lo) << c.what;
    EXPECT_EQ(t[5].DevHi, c.row5Hi) << c.what;
  }
}

TEST(MaterialTableRulesTest, LimitsFollowTheUnit) {
  const auto c = R::AlarmLimits(0, 1000, false);
  const auto f = R::AlarmLimits(0, 1000, true);
  EXPECT_DOUBLE_EQ(c.Min, 0);
  EXPECT_DOUBLE_EQ(c.Max, 1000);
  EXPECT_NEAR(f.Min, 32, 1e-3);
  EXPECT_NEAR(f.Max, 1832, 1e-3);
  EXPECT_TRUE(R::OutputWithoutEffect(R::kOutputChannel2, false, true));
  EXPECT_TRUE(R::OutputWithoutEffect(R::kOutputChannel1, true, false));
  EXPECT_FALSE(R::OutputWithoutEffect(R::kOutputChannel2, true, false));
  EXPECT_FALSE(R::OutputWithoutEffect(R::kVisualAlarm1, true, true));
}

// The dialog with the device behind a session (the firmware is read there).
class MatTableDlgTest : public argotest::ArgoSessionTest {
 protected:
  void Open(int firmware) {
    StartSession([firmware](ArgoDeviceState& s) { s.firmware = static_cast<std::uint16_t>(firmware); });
    dlg_.FDevice = family_.get();
    dlg_.FRangeLow = 0;
    dlg_.FRangeHigh = 1000;
    for (std::size_t r = 0; r < dlg_.FTable.size(); ++r)
      dlg_.FTable[r] = {0.95f, 100.0f + static_cast<float>(r), 500.0f, 0, 1};
    dlg_.show();
    ASSERT_TRUE(WaitForEvents([&] { return dlg_.Ready(); }, 10000));
  }
  void TearDown() override {
    dlg_.FDevice = nullptr;
    ArgoSessionTest::TearDown();
  }
  void Select(int col, int row) { dlg_.sgMatTable->setCurrentCell(row, col); }
  int Requests(const char* name) const {
    int n = 0;
    for (const auto& r : RequestNames()) n += r == QLatin1String(name);
    return n;
  }

  TMatTableDlg dlg_;
};

TEST_F(MatTableDlgTest, SingleOutputFirmwareOffersOnlyValidOutputs) {
  Open(2450);
  dlg_.FTable[0].DevLo = R::kOutputChannel2;  // no such output here: shown blank
  Select(1, 1);
  EXPECT_EQ(dlg_.sgMatTable->Cells(3, 1), QString());
  dlg_.FTable[0].DevLo = R::kVisualAlarm1;
  ASSERT_EQ(dlg_.cbAlarmDevice->count(), 4);
  for (int i = 0; i < dlg_.cbAlarmDevice->count(); ++i)
    EXPECT_FALSE(dlg_.cbAlarmDevice->itemText(i).isEmpty());
  EXPECT_EQ(dlg_.cbAlarmDevice->itemText(2), QStringLiteral("output channel 1"));

  dlg_.cbAllHiDevice->setChecked(true);
  Select(5, 3);
  dlg_.cbAlarmDevice->setCurrentIndex(2);
  for (const auto& row : dlg_.FTable) EXPECT_EQ(row.DevHi, R::kOutputChannel1);
  EXPECT_EQ(dlg_.sgMatTable->Cells(5, 1), QStringLiteral("output channel 1"));
  Select(5, 6);
  EXPECT_EQ(dlg_.cbAlarmDevice->currentIndex(), 2);  // a stored code 3 shows as the third item

  // The firmware was read once for this show, however often the grid refilled.
  Select(1, 1);
  Select(3, 2);
  EXPECT_EQ(Requests("GetFirmwareRevision"), 1);
  EXPECT_EQ(Requests("SetMaterialTable"), 0);
}

TEST_F(MatTableDlgTest, FailedFirmwareReadCountsAsOtherFirmware) {
  StartSession([](ArgoDeviceState& s) { s.firmware = 2450; });
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  dlg_.FDevice = family_.get();
  dlg_.FTable[0].DevLo = R::kOutputChannel2;
  dlg_.show();
  EXPECT_FALSE(dlg_.sgMatTable->isEnabled());  // no input while the read runs
  ASSERT_TRUE(WaitForEvents([&] { return dlg_.Ready(); }, 15000));
  EXPECT_EQ(dlg_.Firmware(), 65535);
  EXPECT_EQ(dlg_.cbAlarmDevice->count(), 5);
  EXPECT_EQ(dlg_.sgMatTable->Cells(3, 1), QStringLiteral("output channel 2"));
  EXPECT_TRUE(dlg_.btnOK->isEnabled());
}

TEST_F(MatTableDlgTest, SetAllAndTheOutputOfAnotherAlarm) {
  Open(2510);
  EXPECT_EQ(dlg_.cbAlarmDevice->count(), 5);
  dlg_.FTable[4].DevHi = R::kOutputChannel1;
  dlg_.cbAllLoDevice->setChecked(true);
  Select(3, 1);
  dlg_.cbAlarmDevice->setCurrentIndex(3);  // output channel 1
  for (const auto& row : dlg_.FTable) {
    EXPECT_EQ(row.DevLo, R::kOutputChannel1);
    EXPECT_NE(row.DevHi, R::kOutputChannel1);
  }
  EXPECT_EQ(dlg_.FTable[4].DevHi, R::kNone);
  EXPECT_EQ(dlg_.FTable[0].DevHi, R::kVisualAlarm2);

  // Emissivity with "Set all": the value reaches every row and every cell.
  dlg_.cbAllEmiss->setChecked(true);
  Select(1, 2);
  dlg_.seEmissivity->setText(QStringLiteral("0.800"));
  for (int r = 0; r < 8; ++r) {
    EXPECT_FLOAT_EQ(dlg_.FTable[static_cast<std::size_t>(r)].Emiss, 0.8f);
    EXPECT_EQ(dlg_.sgMatTable->Cells(1, r + 1), QStringLiteral("0.800"));
  }
}

TEST_F(MatTableDlgTest, FahrenheitEditsAreStoredInCelsius) {
  Open(2510);
  dlg_.UnitChanged(true);
  Select(2, 3);
  dlg_.seAlarm->setText(QStringLiteral("212.0"));
  EXPECT_NEAR(dlg_.FTable[2].LoAlarm, 100.0f, 1e-3);
  dlg_.cbAllHiAlarm->setChecked(true);
  Select(4, 1);
  dlg_.seAlarm->setText(QStringLiteral("212.0"));
  for (const auto& row : dlg_.FTable) EXPECT_NEAR(row.HiAlarm, 100.0f, 1e-3);
}

TEST_F(MatTableDlgTest, UnitChangeWhileOpenKeepsStoredAlarms) {
  Open(2510);
  dlg_.FTable[3].HiAlarm = 815.5f;  // 1499.9 °F: above the range's 1000 read as °F
  dlg_.UnitChanged(true);
  EXPECT_TRUE(dlg_.sgMatTable->Cells(4, 4).startsWith(QStringLiteral("1500")))  // no decimal from 1000 up
      << dlg_.sgMatTable->Cells(4, 4).toStdString();
  Select(4, 4);
  EXPECT_NEAR(dlg_.seAlarm->Value(), 1499.9, 0.05);
  EXPECT_NEAR(dlg_.FTable[3].HiAlarm, 815.5f, 0.05f);
  EXPECT_NEAR(dlg_.seAlarm->MaxValue(), 1832.0, 1e-3);
}

TEST_F(MatTableDlgTest, OutputsWithoutEffectAreGrey) {
  dlg_.FCh2Analog = true;
  Open(2510);
  dlg_.FTable[1].DevLo = R::kOutputChannel2;
  Select(1, 1);  // refills the grid
  const auto* grey = dlg_.sgMatTable->Objects(3, 2);
  const auto* normal = dlg_.sgMatTable->Objects(3, 1);
  ASSERT_NE(grey, nullptr);
  ASSERT_NE(normal, nullptr);
  EXPECT_NE(grey->Color, normal->Color);
  EXPECT_EQ(grey->Color, dlg_.palette().color(QPalette::Disabled, QPalette::WindowText));
}

}  // namespace
