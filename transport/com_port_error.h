#pragma once

#include <QString>
#include <exception>
#include <string>

#include "transport/com_types.h"

// The text of error number `errorNumber` (1..24) of the port's message
// table; an empty text for any other number.
QString ComErrorText(int errorNumber);

// A readable text for a line error code as carried in WindowsError (the
// serial layer's status codes, or an errno value).
QString SystemErrorText(int code);

// The exception raised by a failed port operation. The message is the
// table text, followed by " (Error: n)" when a line error code exists.
class EComPort : public std::exception {
 public:
  // `windowsError` -1 (or any value below 1) means "no code".
  EComPort(int errorNumber, int windowsError);
  // Any message, for callers that need their own text.
  EComPort(const QString& message, int errorNumber, int windowsError);

  const char* what() const noexcept override { return utf8_.c_str(); }
  const QString& Message() const { return message_; }
  // 1..24, the row of the message table.
  int ErrorNumber() const { return errorNumber_; }
  // The line error code, -1 when there is none.
  int WindowsError() const { return windowsError_; }

 private:
  QString message_;
  std::string utf8_;
  int errorNumber_;
  int windowsError_;
};

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
