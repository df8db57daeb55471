#pragma once

#include <QString>
#include <exception>
#include <string>

#include "transport/com_types.h"

// The port's errors stand in one list, TComExceptions (com_types.h); an
// error's number in the message table is its value + 1.
constexpr int ComErrorNumber(TComExceptions error) { return static_cast<int>(error) + 1; }

// The text of error number `errorNumber` (1..24) of the port's message
// table; an empty text for any other number.
QString ComErrorText(int errorNumber);

// A readable text for a line error code as carried in WindowsError (a
// SerialStatus code), followed by the errno behind it when there is one:
// "Serial line failure (errno 22: Invalid argument)".
QString SystemErrorText(int code, int sysErrno = 0);

// The exception raised by a failed port operation. The message is the
// table text, followed by " (Error: n)" when a line error code exists.
class EComPort : public std::exception {
 public:
  // `windowsError` -1 (or any value below 1) means "no code"; `sysErrno`
  // is the errno behind the failure (0: none).
  EComPort(int errorNumber, int windowsError, int sysErrno = 0);
  EComPort(TComExceptions error, int windowsError, int sysErrno = 0)
      : EComPort(ComErrorNumber(error), windowsError, sysErrno) {}
  // Any message, for callers that need their own text.
  EComPort(const QString& message, int errorNumber, int windowsError, int sysErrno = 0);

  const char* what() const noexcept override { return utf8_.c_str(); }
  const QString& Message() const { return message_; }
  // 1..24, the row of the message table.
  int ErrorNumber() const { return errorNumber_; }
  // The line error code, -1 when there is none.
  int WindowsError() const { return windowsError_; }
  // The errno behind the failure, 0 when there is none.
  int Errno() const { return errno_; }
  // The message with what the line code and the errno say, for log lines.
  QString Details() const;

 private:
  QString message_;
  std::string utf8_;
  int errorNumber_;
  int windowsError_;
  int errno_;
};

// What a caught exception says, for a log line: an EComPort's Details(),
// otherwise what().
QString ExceptionDetails(const std::exception& e);

// Raised when a stored text cannot be converted to a value (a character
// code after "#" that is not a decimal number, an integer that is missing).
class EConvertError : public std::exception {
 public:
  explicit EConvertError(const QString& message) : message_(message), utf8_(message.toStdString()) {}
  const char* what() const noexcept override { return utf8_.c_str(); }
  const QString& Message() const { return message_; }

 private:
  QString message_;
  std::string utf8_;
};
