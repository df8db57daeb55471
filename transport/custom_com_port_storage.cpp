// Settings store and load of the port component.

#include "platform/ini_file.h"
#include "transport/com_port_error.h"
#include "transport/com_text_converters.h"
#include "transport/custom_com_port.h"

namespace {

// One section of an ini file, written or read key by key. The "registry"
// form reads without defaults: a missing text reads as empty, a missing or
// malformed integer is a conversion error.
class SettingsSection {
 public:
  SettingsSection(IniFile& ini, QString section, bool withDefaults)
      : ini_(ini), section_(std::move(section)), withDefaults_(withDefaults) {}

  void WriteText(const QString& key, const QString& value) {
    if (!ini_.WriteString(section_, key, value)) throw EComPort(CE_StoreFailed, -1);
  }
  void WriteInt(const QString& key, int value) {
    if (!ini_.WriteInteger(section_, key, value)) throw EComPort(CE_StoreFailed, -1);
  }
  QString ReadText(const QString& key, const QString& current) const {
    return ini_.ReadString(section_, key, withDefaults_ ? current : QString());
  }
  int ReadInt(const QString& key, int current) const {
    if (withDefaults_) return ini_.ReadInteger(section_, key, current);
    const QString text = ini_.ReadString(section_, key, QString());
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
  }

 private:
  IniFile& ini_;
  QString section_;
  bool withDefaults_;
};

void Store(TCustomComPort& port, SettingsSection& io) {
  const TStoredProps props = port.StoredProps();
  if (props.Contains(spBasic)) {
    io.WriteText(QStringLiteral("Port"), port.Port());
    io.WriteText(QStringLiteral("BaudRate"), BaudRateToText(port.BaudRate()));
    if (port.BaudRate() == brCustom) io.WriteInt(QStringLiteral("CustomBaudRate"), port.CustomBaudRate());
    io.WriteText(QStringLiteral("StopBits"), StopBitsToText(port.StopBits()));
    io.WriteText(QStringLiteral("DataBits"), DataBitsToText(port.DataBits()));
    io.WriteText(QStringLiteral("Parity"), ParityToText(port.Parity().Bits()));
    io.WriteText(QStringLiteral("FlowControl"), FlowControlToText(port.FlowControl().FlowControl()));
  }
  if (props.Contains(spOthers)) {
    io.WriteText(QStringLiteral("EventChar"), CharToText(port.EventChar()));
    io.WriteText(QStringLiteral("DiscardNull"), BoolToText(port.DiscardNull()));
  }
  if (props.Contains(spParity)) {
    io.WriteText(QStringLiteral("Parity.Check"), BoolToText(port.Parity().Check()));
    io.WriteText(QStringLiteral("Parity.Replace"), BoolToText(port.Parity().Replace()));
    io.WriteText(QStringLiteral("Parity.ReplaceChar"), CharToText(port.Parity().ReplaceChar()));
  }
  if (props.Contains(spBuffer)) {
    io.WriteInt(QStringLiteral("Buffer.OutputSize"), port.Buffer().OutputSize());
    io.WriteInt(QStringLiteral("Buffer.InputSize"), port.Buffer().InputSize());
  }
  if (props.Contains(spTimeouts)) {
    const TComTimeouts& t = port.Timeouts();
    io.WriteInt(QStringLiteral("Timeouts.ReadInterval"), t.ReadInterval());
    io.WriteInt(QStringLiteral("Timeouts.ReadTotalConstant"), t.ReadTotalConstant());
    io.WriteInt(QStringLiteral("Timeouts.ReadTotalMultiplier"), t.ReadTotalMultiplier());
    io.WriteInt(QStringLiteral("Timeouts.WriteTotalConstant"), t.WriteTotalConstant());
    io.WriteInt(QStringLiteral("Timeouts.WriteTotalMultiplier"), t.WriteTotalMultiplier());
  }
  if (props.Contains(spFlowControl)) {
    const TComFlowControl& f = port.FlowControl();
    io.WriteText(QStringLiteral("FlowControl.ControlRTS"), RTSToText(f.ControlRTS()));
    io.WriteText(QStringLiteral("FlowControl.ControlDTR"), DTRToText(f.ControlDTR()));
    io.WriteText(QStringLiteral("FlowControl.DSRSensitivity"), BoolToText(f.DSRSensitivity()));
    io.WriteText(QStringLiteral("FlowControl.OutCTSFlow"), BoolToText(f.OutCTSFlow()));
    io.WriteText(QStringLiteral("FlowControl.OutDSRFlow"), BoolToText(f.OutDSRFlow()));
    io.WriteText(QStringLiteral("FlowControl.TxContinueOnXoff"), BoolToText(f.TxContinueOnXoff()));
    io.WriteText(QStringLiteral("FlowControl.XonXoffIn"), BoolToText(f.XonXoffIn()));
    io.WriteText(QStringLiteral("FlowControl.XonXoffOut"), BoolToText(f.XonXoffOut()));
    io.WriteText(QStringLiteral("FlowControl.XoffChar"), CharToText(f.XoffChar()));
    io.WriteText(QStringLiteral("FlowControl.XonChar"), CharToText(f.XonChar()));
  }
}

// Each value goes through its property setter as it is read, so an open
// port re-applies each group on the way.
void Load(TCustomComPort& port, const SettingsSection& io) {
  const TStoredProps props = port.StoredProps();
  if (props.Contains(spBasic)) {
    port.SetPort(io.ReadText(QStringLiteral("Port"), port.Port()));
    port.SetBaudRate(
        TextToBaudRate(io.ReadText(QStringLiteral("BaudRate"), BaudRateToText(port.BaudRate()))));
    if (port.BaudRate() == brCustom)
      port.SetCustomBaudRate(io.ReadInt(QStringLiteral("CustomBaudRate"), 9600));
    port.SetStopBits(
        TextToStopBits(io.ReadText(QStringLiteral("StopBits"), StopBitsToText(port.StopBits()))));
    port.SetDataBits(
        TextToDataBits(io.ReadText(QStringLiteral("DataBits"), DataBitsToText(port.DataBits()))));
    port.Parity().SetBits(
        TextToParity(io.ReadText(QStringLiteral("Parity"), ParityToText(port.Parity().Bits()))));
    port.FlowControl().SetFlowControl(TextToFlowControl(
        io.ReadText(QStringLiteral("FlowControl"), FlowControlToText(port.FlowControl().FlowControl()))));
  }
  if (props.Contains(spOthers)) {
    port.SetEventChar(TextToChar(io.ReadText(QStringLiteral("EventChar"), CharToText(port.EventChar()))));
    port.SetDiscardNull(
        TextToBool(io.ReadText(QStringLiteral("DiscardNull"), BoolToText(port.DiscardNull()))));
  }
  if (props.Contains(spParity)) {
    TComParity& p = port.Parity();
    p.SetCheck(TextToBool(io.ReadText(QStringLiteral("Parity.Check"), BoolToText(p.Check()))));
    p.SetReplace(TextToBool(io.ReadText(QStringLiteral("Parity.Replace"), BoolToText(p.Replace()))));
    p.SetReplaceChar(
        TextToChar(io.ReadText(QStringLiteral("Parity.ReplaceChar"), CharToText(p.ReplaceChar()))));
  }
  if (props.Contains(spBuffer)) {
    TComBuffer& b = port.Buffer();
    b.SetOutputSize(io.ReadInt(QStringLiteral("Buffer.OutputSize"), b.OutputSize()));
    b.SetInputSize(io.ReadInt(QStringLiteral("Buffer.InputSize"), b.InputSize()));
  }
  if (props.Contains(spTimeouts)) {
    TComTimeouts& t = port.Timeouts();
    t.SetReadInterval(io.ReadInt(QStringLiteral("Timeouts.ReadInterval"), t.ReadInterval()));
    t.SetReadTotalConstant(io.ReadInt(QStringLiteral("Timeouts.ReadTotalConstant"), t.ReadTotalConstant()));
    t.SetReadTotalMultiplier(
        io.ReadInt(QStringLiteral("Timeouts.ReadTotalMultiplier"), t.ReadTotalMultiplier()));
    t.SetWriteTotalConstant(
        io.ReadInt(QStringLiteral("Timeouts.WriteTotalConstant"), t.WriteTotalConstant()));
    t.SetWriteTotalMultiplier(
        io.ReadInt(QStringLiteral("Timeouts.WriteTotalMultiplier"), t.WriteTotalMultiplier()));
  }
  if (props.Contains(spFlowControl)) {
    TComFlowControl& f = port.FlowControl();
    f.SetControlRTS(
        TextToRTS(io.ReadText(QStringLiteral("FlowControl.ControlRTS"), RTSToText(f.ControlRTS()))));
    f.SetControlDTR(
        TextToDTR(io.ReadText(QStringLiteral("FlowControl.ControlDTR"), DTRToText(f.ControlDTR()))));
    f.SetDSRSensitivity(TextToBool(
        io.ReadText(QStringLiteral("FlowControl.DSRSensitivity"), BoolToText(f.DSRSensitivity()))));
    f.SetOutCTSFlow(
        TextToBool(io.ReadText(QStringLiteral("FlowControl.OutCTSFlow"), BoolToText(f.OutCTSFlow()))));
    f.SetOutDSRFlow(
        TextToBool(io.ReadText(QStringLiteral("FlowControl.OutDSRFlow"), BoolToText(f.OutDSRFlow()))));
    f.SetTxContinueOnXoff(TextToBool(
        io.ReadText(QStringLiteral("FlowControl.TxContinueOnXoff"), BoolToText(f.TxContinueOnXoff()))));
    f.SetXonXoffIn(
        TextToBool(io.ReadText(QStringLiteral("FlowControl.XonXoffIn"), BoolToText(f.XonXoffIn()))));
    f.SetXonXoffOut(
        TextToBool(io.ReadText(QStringLiteral("FlowControl.XonXoffOut"), BoolToText(f.XonXoffOut()))));
    f.SetXoffChar(TextToChar(io.ReadText(QStringLiteral("FlowControl.XoffChar"), CharToText(f.XoffChar()))));
    f.SetXonChar(TextToChar(io.ReadText(QStringLiteral("FlowControl.XonChar"), CharToText(f.XonChar()))));
  }
}

}  // namespace

void TCustomComPort::StoreRegistry(IniFile& registry, const QString& key) {
  SettingsSection io(registry, key, false);
  Store(*this, io);
}

void TCustomComPort::StoreIniFile(IniFile& iniFile) {
  SettingsSection io(iniFile, objectName(), true);
  Store(*this, io);
}

void TCustomComPort::LoadRegistry(IniFile& registry, const QString& key) {
  SettingsSection io(registry, key, false);
  Load(*this, io);
}

void TCustomComPort::LoadIniFile(IniFile& iniFile) {
  SettingsSection io(iniFile, objectName(), true);
  Load(*this, io);
}
