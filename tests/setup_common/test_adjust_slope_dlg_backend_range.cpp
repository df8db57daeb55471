#include <gtest/gtest.h>

#include <QLabel>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "setup_common/adjust_slope_dlg.h"
#include "setup_common/slope_field_backend.h"
#include "tests/support/wait_for.h"
#include "ui/d_spin_edit.h"

namespace {

using test_support::WaitForEvents;

// The editor's output range, unit texts and slope decimals are the
// backend's: a field backend with a range of its caller's (4..20 mA, whole
// micro-amperes per degree) shows them, and the output edits are limited
// to that range.
TEST(AdjustSlopeDlgBackendRangeTest, RangeAndSlopeTextComeFromTheBackend) {
  SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
  NumberText::SetDecimalSeparator(QChar('.'));
  SlopeMath::TOutputRange range;
  range.low = 4.0;
  range.high = 20.0;
  range.unit = QStringLiteral("mA");
  range.smallUnit = QStringLiteral("uA");
  range.slopeDecimals = 0;
  SlopeFieldBackend fields(range, 1.0);  // microamperes
  fields.LoTemp = 0;
  fields.HiTemp = 1000;
  fields.LoOutput = 4000;
  fields.HiOutput = 20000;
  TAdjustSlopeDlg dlg;
  dlg.SetBackend(&fields);
  dlg.TempMin = 0;
  dlg.TempMax = 1000;
  dlg.show();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.stSlope->text() == QStringLiteral("16uA/°C"); }))
      << dlg.stSlope->text().toStdString();
  EXPECT_EQ(dlg.stLimitsHi2->text(), QStringLiteral("20mA = 1000°C"));
  EXPECT_EQ(dlg.seLoRangeAnalogy->MinValue(), 4.0);
  EXPECT_EQ(dlg.seHiRangeAnalogy->MaxValue(), 20.0);
  dlg.reject();
}

}  // namespace
