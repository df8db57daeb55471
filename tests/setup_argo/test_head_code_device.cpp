#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "drivers/argo/argo_codec.h"
#include "setup_argo/argo_head_param_dlg.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace {

using argotest::WaitForEvents;

class HeadCodeDeviceTest : public argotest::ArgoSessionTest {};

// A short-code device whose code could not be read: the groups handed in are
// empty, yet the editor works on the short code the device keeps (the mode
// comes from the firmware), and cancelling leaves the device's code alone.
TEST_F(HeadCodeDeviceTest, FailedReadKeepsTheShortFormAndTheDevicesCode) {
  StartSession([](ArgoDeviceState& s) {
    s.firmware = 1999;
    s.headCode = {0x12345, 0x6789A, 0xBCDEF, 0, 0};
  });
  RunOnSession([](TpyreonArgo& d) { d.GetFirmwareRevision(); });
  ASSERT_EQ(family_->Snapshot().Firmware, 1999);
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  TArgoHeadCodeShort cached{"x", "x", "x"};
  RunOnSession([&](TpyreonArgo& d) { cached = d.GetHeadCodeShort(); });
  SetFaults([](ArgoFaults& f) { f.silent = false; });
  ASSERT_TRUE(cached[0].isEmpty());
  model_->ClearRequests();

  TArgoHeadParamDlg dlg;
  dlg.Beep = [] {};
  dlg.Mode = HeadCodeValidator::ModeForFirmware(family_->Snapshot().Firmware);
  dlg.FShortCode = cached;
  dlg.FLargeCode = {};
  dlg.show();
  EXPECT_EQ(dlg.Mode, HeadCodeValidator::TMode::Short);
  EXPECT_EQ(dlg.meHeadParam->text(), QStringLiteral("    -    -    "));
  EXPECT_FALSE(dlg.BtnOK->isEnabled());
  dlg.btnCancel->click();
  EXPECT_TRUE(model_->Requests().empty());
  EXPECT_EQ(State().headCode[0], 0x12345u);

  // Typed in and confirmed, the short code reaches the device as typed.
  dlg.show();
  dlg.meHeadParam->setText(QString());
  dlg.meHeadParam->insert(QStringLiteral("0001-0002-000v"));
  ASSERT_TRUE(dlg.BtnOK->isEnabled());
  dlg.BtnOK->click();
  const TArgoHeadCodeShort typed = dlg.FShortCode;
  RunOnSession([typed](TpyreonArgo& d) { d.SetHeadCodeShort(typed); });
  std::uint32_t expected = 0;
  ASSERT_TRUE(ArgoCodec::ParseHeadCodeGroup(QStringLiteral("000V"), expected));
  EXPECT_EQ(State().headCode[2], expected);
  EXPECT_EQ(State().headCode[0], 1u);
}

}  // namespace
