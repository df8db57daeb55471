#include "transport/com_port_error.h"

#include <QStringList>
#include <cstring>

#include "platform/serial_device.h"

namespace {

const QStringList& MessageTable() {
  static const QStringList table = {
      QStringLiteral("Unable to open com port"),
      QStringLiteral("WriteFile function failed"),
      QStringLiteral("ReadFile function failed"),
      QStringLiteral("Invalid Async parameter"),
      QStringLiteral("PurgeComm function failed"),
      QStringLiteral("Unable to get async status"),
      QStringLiteral("SetCommState function failed"),
      QStringLiteral("SetCommTimeouts failed"),
      QStringLiteral("SetupComm function failed"),
      QStringLiteral("ClearCommError function failed"),
      QStringLiteral("GetCommModemStatus function failed"),
      QStringLiteral("EscapeCommFunction function failed"),
      QStringLiteral("TransmitCommChar function failed"),
      QStringLiteral("Cannot set property while connected"),
      QStringLiteral("EnumPorts function failed"),
      QStringLiteral("Failed to store settings"),
      QStringLiteral("Failed to load settings"),
      QStringLiteral("Link (un)registration failed"),
      QStringLiteral("Cannot change led state if ComPort is selected"),
      QStringLiteral("Cannot wait for event if event thread is created"),
      QStringLiteral("WaitForEvent method failed"),
      QStringLiteral("A component is linked to OnRxBuf event"),
      QStringLiteral("Registry error"),
      QStringLiteral("Port Not Open"),
  };
  return table;
}

QString ComposeMessage(int errorNumber, int windowsError) {
  QString text = ComErrorText(errorNumber);
  if (windowsError > 0) text += QStringLiteral(" (Error: %1)").arg(windowsError);
  return text;
}

}  // namespace

QString ComErrorText(int errorNumber) {
  const QStringList& table = MessageTable();
  if (errorNumber < 1 || errorNumber > table.size()) return QString();
  return table.at(errorNumber - 1);
}

QString SystemErrorText(int code) {
  switch (code) {
    case SerialStatus::NotFound:
      return QStringLiteral("No such serial port");
    case SerialStatus::AccessDenied:
      return QStringLiteral("Serial port in use or access denied");
    case SerialStatus::NotReady:
      return QStringLiteral("Serial port not ready");
    case SerialStatus::BadCommand:
      return QStringLiteral("Serial device not responding or gone");
    case SerialStatus::InvalidParameter:
      return QStringLiteral("Invalid parameter");
    default:
      return code > 0 ? QString::fromLocal8Bit(std::strerror(code)) : QString();
  }
}

EComPort::EComPort(int errorNumber, int windowsError)
    : EComPort(ComposeMessage(errorNumber, windowsError), errorNumber, windowsError) {}

EComPort::EComPort(const QString& message, int errorNumber, int windowsError)
    : message_(message),
      utf8_(message.toStdString()),
      errorNumber_(errorNumber),
      windowsError_(windowsError > 0 ? windowsError : -1) {}
