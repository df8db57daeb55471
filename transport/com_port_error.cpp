#include "transport/com_port_error.h"

#include <array>
#include <cstring>

#include "platform/serial_device.h"

namespace {

// The message table, in the order of TComExceptions.
constexpr std::array<const char*, CEPortNotOpen + 1> kMessages = {
    "Unable to open com port",
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
    "Port Not Open",
};

QString ComposeMessage(int errorNumber, int windowsError) {
  QString text = ComErrorText(errorNumber);
  if (windowsError > 0) text += QStringLiteral(" (Error: %1)").arg(windowsError);
  return text;
}

// What a SerialStatus code means.
QString StatusText(int code) {
  switch (code) {
    case SerialStatus::NotFound:
      return QStringLiteral("No such serial port");
    case SerialStatus::AccessDenied:
      return QStringLiteral("Serial port in use or access denied");
    case SerialStatus::InvalidHandle:
      return QStringLiteral("Serial port not open");
    case SerialStatus::NotReady:
      return QStringLiteral("Serial port not ready");
    case SerialStatus::BadCommand:
      return QStringLiteral("Serial device not responding or gone");
    case SerialStatus::SystemFailure:
      return QStringLiteral("Serial line failure");
    case SerialStatus::InvalidParameter:
      return QStringLiteral("Invalid parameter");
    default:
      return code > 0 ? QStringLiteral("Serial line error %1").arg(code) : QString();
  }
}

}  // namespace

QString ComErrorText(int errorNumber) {
  if (errorNumber < 1 || errorNumber > static_cast<int>(kMessages.size())) return QString();
  return QString::fromLatin1(kMessages[static_cast<std::size_t>(errorNumber - 1)]);
}

QString SystemErrorText(int code, int sysErrno) {
  QString text = StatusText(code);
  if (sysErrno != 0) {
    const QString cause =
        QStringLiteral("errno %1: %2").arg(sysErrno).arg(QString::fromLocal8Bit(std::strerror(sysErrno)));
    text = text.isEmpty() ? cause : text + QStringLiteral(" (") + cause + QLatin1Char(')');
  }
  return text;
}

QString EComPort::Details() const {
  const QString cause = SystemErrorText(windowsError_, errno_);
  return cause.isEmpty() ? message_ : message_ + QStringLiteral(" - ") + cause;
}

QString ExceptionDetails(const std::exception& e) {
  if (const auto* port = dynamic_cast<const EComPort*>(&e)) return port->Details();
  return QString::fromLocal8Bit(e.what());
}

EComPort::EComPort(int errorNumber, int windowsError, int sysErrno)
    : EComPort(ComposeMessage(errorNumber, windowsError), errorNumber, windowsError, sysErrno) {}

EComPort::EComPort(const QString& message, int errorNumber, int windowsError, int sysErrno)
    : message_(message),
      utf8_(message.toStdString()),
      errorNumber_(errorNumber),
      windowsError_(windowsError > 0 ? windowsError : -1),
      errno_(sysErrno) {}
