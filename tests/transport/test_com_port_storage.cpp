// Text converters and the settings store and load of the port.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/ini_file.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/com_text_converters.h"
#include "transport_test_support.h"

namespace {

TEST(ComTextConverters, BooleansAndCharacters) {
  EXPECT_EQ(BoolToText(true), QStringLiteral("Yes"));
  EXPECT_EQ(BoolToText(false), QStringLiteral("No"));
  for (const char* yes : {"Yes", "YES", "yes"}) EXPECT_TRUE(TextToBool(QString::fromLatin1(yes))) << yes;
  for (const char* no : {"No", "", "1", "True", "Yes "})
    EXPECT_FALSE(TextToBool(QString::fromLatin1(no))) << no;

  const std::pair<int, const char*> toText[] = {{17, "#17"}, {'A', "A"},    {0, "#0"},     {32, "#32"},
                                                {33, "!"},   {127, "\x7f"}, {128, "#128"}, {255, "#255"}};
  for (const auto& [code, text] : toText) {
    EXPECT_EQ(CharToText(static_cast<char>(code)), QString::fromLatin1(text)) << code;
  }
  const std::pair<const char*, int> fromText[] = {{"", 0},     {"#", '#'}, {"#17", 17},   {"A", 'A'},
                                                  {"AB", 'A'}, {"#0", 0},  {"#255", 255}, {"#019", 19}};
  for (const auto& [text, code] : fromText) {
    EXPECT_EQ(static_cast<unsigned char>(TextToChar(QString::fromLatin1(text))), code) << text;
  }
  for (const char* bad : {"#x", "#1a", "#256", "#-1", "# 5"}) {
    EXPECT_THROW(TextToChar(QString::fromLatin1(bad)), EConvertError) << bad;
  }
}

TEST(ComTextConverters, EnumerationWordsAndTheirFallbacks) {
  EXPECT_EQ(BaudRateToText(br19200), QStringLiteral("19200"));
  EXPECT_EQ(BaudRateToText(brCustom), QStringLiteral("Custom"));
  EXPECT_EQ(StopBitsToText(sbOne5StopBits), QStringLiteral("1.5"));
  EXPECT_EQ(DataBitsToText(dbSeven), QStringLiteral("7"));
  EXPECT_EQ(ParityToText(prSpace), QStringLiteral("Space"));
  EXPECT_EQ(FlowControlToText(fcSoftware), QStringLiteral("Software"));
  EXPECT_EQ(DTRToText(dtrHandshake), QStringLiteral("Handshake"));
  EXPECT_EQ(RTSToText(rtsToggle), QStringLiteral("Toggle"));

  EXPECT_EQ(TextToBaudRate(QStringLiteral("115200")), br115200);
  EXPECT_EQ(TextToBaudRate(QStringLiteral("115200 ")), br9600);  // no word matches
  EXPECT_EQ(TextToBaudRate(QStringLiteral("custom")), brCustom);
  EXPECT_EQ(TextToParity(QStringLiteral("none")), prNone);
  EXPECT_EQ(TextToParity(QStringLiteral("EVEN")), prEven);
  EXPECT_EQ(TextToParity(QStringLiteral("?")), prNone);
  EXPECT_EQ(TextToStopBits(QStringLiteral("2")), sbTwoStopBits);
  EXPECT_EQ(TextToStopBits(QStringLiteral("3")), sbOneStopBit);
  EXPECT_EQ(TextToDataBits(QStringLiteral("5")), dbFive);
  EXPECT_EQ(TextToDataBits(QStringLiteral("9")), dbEight);
  EXPECT_EQ(TextToFlowControl(QStringLiteral("hardware")), fcHardware);
  EXPECT_EQ(TextToFlowControl(QStringLiteral("xyz")), fcCustom);
  EXPECT_EQ(TextToDTR(QStringLiteral("enable")), dtrEnable);
  EXPECT_EQ(TextToDTR(QStringLiteral("Toggle")), dtrDisable);
  EXPECT_EQ(TextToRTS(QStringLiteral("toggle")), rtsToggle);
  EXPECT_EQ(TextToRTS(QStringLiteral("")), rtsDisable);
}

class ComPortStorage : public ::testing::Test {
 protected:
  QString Path() const { return dir.filePath(QStringLiteral("port.ini")); }
  void WriteFile(const QByteArray& text) {
    QFile f(Path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  QTemporaryDir dir;
};

TEST_F(ComPortStorage, BasicGroupWritesItsKeysInOrder) {
  IniFile ini(Path());
  TComPort port;
  port.setObjectName(QStringLiteral("ComPort1"));
  port.SetBaudRate(br19200);
  port.SetPort(QStringLiteral("COM4"));
  port.StoreIniFile(ini);
  EXPECT_EQ(ini.ReadSection(QStringLiteral("ComPort1")),
            (QStringList{"Port", "BaudRate", "StopBits", "DataBits", "Parity", "FlowControl"}));
  EXPECT_EQ(ini.ReadString(QStringLiteral("ComPort1"), QStringLiteral("BaudRate"), QString()),
            QStringLiteral("19200"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("ComPort1"), QStringLiteral("Port"), QString()),
            QStringLiteral("COM4"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("ComPort1"), QStringLiteral("Parity"), QString()),
            QStringLiteral("None"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("ComPort1"), QStringLiteral("FlowControl"), QString()),
            QStringLiteral("None"));

  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(250000);
  port.StoreIniFile(ini);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("ComPort1"), QStringLiteral("CustomBaudRate"), 0), 250000);
}

TEST_F(ComPortStorage, EveryGroupRoundTrips) {
  IniFile ini(Path());
  TComPort source;
  source.setObjectName(QStringLiteral("Line"));
  source.SetStoredProps(TStoredProps::All());
  source.SetPort(QStringLiteral("COM12"));
  source.SetBaudRate(brCustom);
  source.SetCustomBaudRate(31250);
  source.SetStopBits(sbTwoStopBits);
  source.SetDataBits(dbSeven);
  source.SetEventChar('\n');
  source.SetDiscardNull(true);
  source.Parity().SetBits(prMark);
  source.Parity().SetCheck(true);
  source.Parity().SetReplaceChar('#');
  source.Buffer().SetInputSize(8192);
  source.Buffer().SetOutputSize(512);
  source.Timeouts().SetReadInterval(5);
  source.Timeouts().SetReadTotalConstant(350);
  source.Timeouts().SetReadTotalMultiplier(2);
  source.Timeouts().SetWriteTotalConstant(-1);
  source.Timeouts().SetWriteTotalMultiplier(1);
  source.FlowControl().SetFlowControl(fcHardware);
  source.FlowControl().SetControlDTR(dtrHandshake);
  source.FlowControl().SetDSRSensitivity(true);
  source.FlowControl().SetXonChar('A');
  source.FlowControl().SetXoffChar(static_cast<char>(200));
  source.StoreIniFile(ini);
  EXPECT_EQ(ini.ReadString(QStringLiteral("Line"), QStringLiteral("FlowControl.XonChar"), QString()),
            QStringLiteral("A"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("Line"), QStringLiteral("FlowControl.XoffChar"), QString()),
            QStringLiteral("#200"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("Line"), QStringLiteral("EventChar"), QString()),
            QStringLiteral("#10"));

  auto expectSame = [&](TComPort& dest) {
    EXPECT_EQ(dest.Port(), QStringLiteral("COM12"));
    EXPECT_EQ(dest.BaudRate(), brCustom);
    EXPECT_EQ(dest.CustomBaudRate(), 31250);
    EXPECT_EQ(dest.StopBits(), sbTwoStopBits);
    EXPECT_EQ(dest.DataBits(), dbSeven);
    EXPECT_EQ(dest.EventChar(), '\n');
    EXPECT_TRUE(dest.DiscardNull());
    EXPECT_EQ(dest.Parity().Bits(), prMark);
    EXPECT_TRUE(dest.Parity().Check());
    EXPECT_FALSE(dest.Parity().Replace());
    EXPECT_EQ(dest.Parity().ReplaceChar(), '#');
    EXPECT_EQ(dest.Buffer().InputSize(), 8192);
    EXPECT_EQ(dest.Buffer().OutputSize(), 512);
    EXPECT_EQ(dest.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(dest.Timeouts().ReadTotalConstant(), 350);
    EXPECT_EQ(dest.Timeouts().ReadTotalMultiplier(), 2);
    EXPECT_EQ(dest.Timeouts().WriteTotalConstant(), -1);
    EXPECT_EQ(dest.Timeouts().WriteTotalMultiplier(), 1);
    EXPECT_EQ(dest.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(dest.FlowControl().ControlDTR(), dtrHandshake);
    EXPECT_TRUE(dest.FlowControl().DSRSensitivity());
    EXPECT_EQ(dest.FlowControl().XonChar(), 'A');
    EXPECT_EQ(static_cast<unsigned char>(dest.FlowControl().XoffChar()), 200);
  };
  TComPort dest;
  dest.setObjectName(QStringLiteral("Line"));
  dest.SetStoredProps(TStoredProps::All());
  dest.LoadIniFile(ini);
  expectSame(dest);

  // The registry form: the same values under a key path.
  IniFile registry(dir.filePath(QStringLiteral("registry.ini")));
  source.StoreRegistry(registry, QStringLiteral("Software\\ThermaSentinel\\Line"));
  TComPort fromRegistry;
  fromRegistry.SetStoredProps(TStoredProps::All());
  fromRegistry.LoadRegistry(registry, QStringLiteral("Software\\ThermaSentinel\\Line"));
  expectSame(fromRegistry);
}

TEST_F(ComPortStorage, IniLoadKeepsCurrentValuesForMissingOrUnknownKeys) {
  WriteFile(
      "[Port]\n"
      "Parity=none\n"
      "DataBits=9\n"
      "EventChar=#\n"
      "Buffer.InputSize=oops\n");
  IniFile ini(Path());
  TComPort port;
  port.setObjectName(QStringLiteral("Port"));
  port.SetStoredProps({spBasic, spOthers, spBuffer});
  port.SetBaudRate(br57600);
  port.Parity().SetBits(prOdd);
  port.Buffer().SetInputSize(10000);
  port.LoadIniFile(ini);
  EXPECT_EQ(port.BaudRate(), br57600);          // missing: the current value
  EXPECT_EQ(port.Parity().Bits(), prNone);      // any case matches
  EXPECT_EQ(port.DataBits(), dbEight);          // unknown word: the fallback
  EXPECT_EQ(port.EventChar(), '#');             // "#" alone is the character itself
  EXPECT_EQ(port.Buffer().InputSize(), 10000);  // unparsable: the current value
}

TEST_F(ComPortStorage, ABadCharacterCodeEndsTheLoadThere) {
  WriteFile(
      "[Port]\n"
      "BaudRate=38400\n"
      "EventChar=#abc\n"
      "DiscardNull=Yes\n");
  IniFile ini(Path());
  TComPort port;
  port.setObjectName(QStringLiteral("Port"));
  port.SetStoredProps({spBasic, spOthers});
  EXPECT_THROW(port.LoadIniFile(ini), EConvertError);
  EXPECT_EQ(port.BaudRate(), br38400);  // read before the failure
  EXPECT_FALSE(port.DiscardNull());     // never reached
}

TEST_F(ComPortStorage, RegistryLoadReadsWithoutDefaults) {
  IniFile registry(Path());
  ASSERT_TRUE(registry.WriteString(QStringLiteral("Key"), QStringLiteral("Port"), QStringLiteral("COM2")));
  TComPort port;
  port.SetBaudRate(br57600);
  port.LoadRegistry(registry, QStringLiteral("Key"));
  EXPECT_EQ(port.Port(), QStringLiteral("COM2"));
  EXPECT_EQ(port.BaudRate(), br9600);  // missing text matches no word

  port.SetStoredProps({spBuffer});
  EXPECT_THROW(port.LoadRegistry(registry, QStringLiteral("Key")), EConvertError);
}

TEST_F(ComPortStorage, LoadingIntoAnOpenPortAppliesEachGroup) {
  transport_test::FakeRig rig;
  WriteFile(
      "[Port]\n"
      "Port=COM7\n"
      "Parity=Even\n"
      "BaudRate=57600\n");
  IniFile ini(Path());
  TComPort port;
  port.setObjectName(QStringLiteral("Port"));
  port.SetDeviceFactory(rig.Factory());
  port.SetPort(QStringLiteral("COM7"));
  port.Open();
  port.LoadIniFile(ini);
  EXPECT_EQ(rig.line->Settings().parity, SerialLineSettings::Parity::Even);
  EXPECT_EQ(rig.line->Settings().baudRate, 57600);
  EXPECT_EQ(rig.line->OpenCount(), 1);  // same port name: not reopened
  port.Close();
}

}  // namespace
