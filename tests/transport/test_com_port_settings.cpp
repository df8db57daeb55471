// Error texts, settings objects and how the port hands its settings to the line.

#include <gtest/gtest.h>

#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport_test_support.h"

namespace {

using transport_test::FakeRig;
using Kind = FakeSerialLine::Call::Kind;

TEST(ComPortError, MessageTableTexts) {
  const char* const texts[] = {"Unable to open com port",
                               "WriteFile function failed",
                               "ReadFile function failed",
                               "Invalid Async parameter",
                               "PurgeComm function failed",
                               "Unable to get async status",
                               "SetCommState function failed",
                               "SetCommTimeouts failed",
                               "SetupComm function failed",
                               "ClearCommError function failed",
                               "GetCommModemStatus function failed",
                               "EscapeCommFunction function failed",
                               "TransmitCommChar function failed",
                               "Cannot set property while connected",
                               "EnumPorts function failed",
                               "Failed to store settings",
                               "Failed to load settings",
                               "Link (un)registration failed",
                               "Cannot change led state if ComPort is selected",
                               "Cannot wait for event if event thread is created",
                               "WaitForEvent method failed",
                               "A component is linked to OnRxBuf event",
                               "Registry error",
                               "Port Not Open"};
  ASSERT_EQ(std::size(texts), static_cast<std::size_t>(CEPortNotOpen + 1));
  for (int n = 1; n <= 24; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ComErrorText(n), QString::fromLatin1(texts[n - 1]));
    const EComPort plain(n, -1);
    EXPECT_EQ(plain.Message(), QString::fromLatin1(texts[n - 1]));
    EXPECT_EQ(plain.ErrorNumber(), n);
    EXPECT_EQ(plain.WindowsError(), -1);
    const EComPort coded(n, 5);
    EXPECT_EQ(coded.Message(), QString::fromLatin1(texts[n - 1]) + QStringLiteral(" (Error: 5)"));
    EXPECT_EQ(coded.WindowsError(), 5);
    EXPECT_STREQ(coded.what(), coded.Message().toUtf8().constData());
  }
  EXPECT_TRUE(ComErrorText(0).isEmpty());
  EXPECT_TRUE(ComErrorText(25).isEmpty());
}

TEST(ComSettings, BufferSizesAreEvenAndPositive) {
  struct Case {
    int set;
    int expected;
  };
  const Case cases[] = {{10001, 10000}, {10000, 10000}, {3, 2}, {1, 1024}, {0, 1024}, {-8, 1024}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    TComPort port;
    port.Buffer().SetInputSize(c.set);
    port.Buffer().SetOutputSize(c.set);
    EXPECT_EQ(port.Buffer().InputSize(), c.expected);
    EXPECT_EQ(port.Buffer().OutputSize(), c.expected);
  }
}

TEST(ComSettings, FlowControlIsComputedFromItsParts) {
  struct Case {
    TRTSFlowControl rts;
    bool cts;
    bool xIn;
    bool xOut;
    TFlowControl expected;
  };
  const Case cases[] = {
      {rtsHandshake, true, false, false, fcHardware}, {rtsDisable, false, true, true, fcSoftware},
      {rtsDisable, false, false, false, fcNone},      {rtsEnable, false, false, false, fcCustom},
      {rtsHandshake, true, true, false, fcCustom},    {rtsDisable, false, true, false, fcCustom},
      {rtsDisable, true, false, false, fcCustom},
  };
  for (const Case& c : cases) {
    TComFlowControl f;
    f.SetControlRTS(c.rts);
    f.SetOutCTSFlow(c.cts);
    f.SetXonXoffIn(c.xIn);
    f.SetXonXoffOut(c.xOut);
    EXPECT_EQ(f.FlowControl(), c.expected) << c.rts << c.cts << c.xIn << c.xOut;
  }
}

TEST(ComSettings, WritingFlowControlSetsItsKindAndKeepsTheDtrSide) {
  for (TFlowControl kind : {fcHardware, fcSoftware, fcNone}) {
    SCOPED_TRACE(kind);
    TComFlowControl f;
    f.SetControlDTR(dtrEnable);
    f.SetOutDSRFlow(true);
    f.SetDSRSensitivity(true);
    f.SetTxContinueOnXoff(true);
    f.SetControlRTS(rtsToggle);
    f.SetXonXoffIn(true);
    f.SetFlowControl(kind);
    EXPECT_EQ(f.FlowControl(), kind);
    EXPECT_EQ(f.ControlDTR(), dtrEnable);
    EXPECT_TRUE(f.OutDSRFlow());
    EXPECT_TRUE(f.DSRSensitivity());
    EXPECT_TRUE(f.TxContinueOnXoff());
  }
  TComFlowControl f;
  f.SetControlRTS(rtsEnable);
  f.SetFlowControl(fcCustom);
  EXPECT_EQ(f.ControlRTS(), rtsEnable);
}

TEST(ComSettings, AssignCopiesEveryValue) {
  TComPort source;
  source.Parity().SetBits(prEven);
  source.Parity().SetCheck(true);
  source.Parity().SetReplace(true);
  source.Parity().SetReplaceChar('?');
  source.Timeouts().SetReadInterval(3);
  source.Timeouts().SetReadTotalConstant(7);
  source.FlowControl().SetFlowControl(fcSoftware);
  source.FlowControl().SetXonChar('A');
  source.Buffer().SetInputSize(4096);

  TComPort dest;
  dest.SetParity(source.Parity());
  dest.SetTimeouts(source.Timeouts());
  dest.SetFlowControl(source.FlowControl());
  dest.SetBuffer(source.Buffer());
  EXPECT_EQ(dest.Parity().Bits(), prEven);
  EXPECT_TRUE(dest.Parity().Check());
  EXPECT_TRUE(dest.Parity().Replace());
  EXPECT_EQ(dest.Parity().ReplaceChar(), '?');
  EXPECT_EQ(dest.Timeouts().ReadInterval(), 3);
  EXPECT_EQ(dest.Timeouts().ReadTotalConstant(), 7);
  EXPECT_EQ(dest.Timeouts().WriteTotalConstant(), 1000);
  EXPECT_EQ(dest.FlowControl().FlowControl(), fcSoftware);
  EXPECT_EQ(dest.FlowControl().XonChar(), 'A');
  EXPECT_EQ(dest.Buffer().InputSize(), 4096);
  // The back reference stays with its own port.
  EXPECT_EQ(dest.Parity().ComPort(), &dest);
}

TEST(ComSettings, OpenAppliesBufferThenLineThenTimeouts) {
  FakeRig rig;
  TComPort port;
  port.SetDeviceFactory(rig.Factory());
  port.SetPort(QStringLiteral("COM3"));
  port.SetBaudRate(br115200);
  port.Buffer().SetInputSize(10000);
  port.FlowControl().SetControlDTR(dtrEnable);
  port.Timeouts().SetReadInterval(0);
  port.Timeouts().SetReadTotalConstant(350);
  port.Timeouts().SetWriteTotalMultiplier(-1);
  port.Open();

  std::vector<Kind> kinds;
  for (const auto& call : rig.line->Calls()) {
    if (call.kind == Kind::Configure || call.kind == Kind::SetTimeouts || call.kind == Kind::SetQueueSizes) {
      kinds.push_back(call.kind);
    }
  }
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::SetQueueSizes, Kind::Configure, Kind::SetTimeouts}));
  const SerialLineSettings s = rig.line->Settings();
  EXPECT_EQ(s.baudRate, 115200);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.parity, SerialLineSettings::Parity::None);
  EXPECT_EQ(s.dtrControl, SerialLineSettings::DtrControl::Enable);
  EXPECT_EQ(s.xonLimit, 2500);
  EXPECT_EQ(s.xoffLimit, 2500);
  const SerialTimeouts t = rig.line->Timeouts();
  EXPECT_EQ(t.readInterval, 0u);
  EXPECT_EQ(t.readTotalConstant, 350u);
  EXPECT_EQ(t.readTotalMultiplier, 0u);
  EXPECT_EQ(t.writeTotalMultiplier, SerialTimeouts::kMaxDword);
  EXPECT_EQ(t.writeTotalConstant, 1000u);
  ASSERT_FALSE(rig.line->CallsOf(Kind::SetQueueSizes).empty());
  EXPECT_EQ(rig.line->CallsOf(Kind::SetQueueSizes).front().inputSize, 10000);
  port.Close();
}

TEST(ComSettings, ChangesReachAnOpenLineAtOnceAndAClosedOneAtOpen) {
  FakeRig rig;
  TComPort port;
  port.SetDeviceFactory(rig.Factory());
  port.Parity().SetBits(prOdd);  // closed: stored only
  port.Open();
  EXPECT_EQ(rig.line->Settings().parity, SerialLineSettings::Parity::Odd);

  const std::size_t configures = rig.line->CallsOf(Kind::Configure).size();
  port.Parity().SetBits(prEven);
  EXPECT_EQ(rig.line->Settings().parity, SerialLineSettings::Parity::Even);
  port.Parity().SetBits(prEven);  // unchanged: not applied again
  EXPECT_EQ(rig.line->CallsOf(Kind::Configure).size(), configures + 1);

  port.Timeouts().SetReadTotalConstant(20);
  EXPECT_EQ(rig.line->Timeouts().readTotalConstant, 20u);
  port.SetBaudRate(br57600);
  EXPECT_EQ(rig.line->Settings().baudRate, 57600);
  port.Close();
}

TEST(ComSettings, ALineSettingTheLineRefusesFailsTheOpenAndLeavesThePortClosed) {
  FakeRig rig;
  TComPort port;
  port.SetDeviceFactory(rig.Factory());
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(0);
  int opened = 0;
  port.OnAfterOpen = [&](QObject*) { ++opened; };
  try {
    port.Open();
    FAIL() << "open succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.ErrorNumber(), 7);
    EXPECT_EQ(e.Message(), QStringLiteral("SetCommState function failed (Error: 87)"));
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(opened, 0);
  EXPECT_FALSE(rig.line->IsOpen());
}

}  // namespace
