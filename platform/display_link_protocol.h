#pragma once

// The link between ThermaSentinel and its display program GlowReadout: one
// local-socket connection per display, carrying the window messages the two
// programs exchange as frames. Both programs use this header and nothing
// else to read and write the wire.
//
// A frame is a 32-bit little-endian length followed by that many body bytes:
//
//   u32 message number
//   u32 wParam
//   i32 lParam
//   [u32 data kind, data bytes]   only for WM_COPYDATA and the introduction
//
// A body of 12 bytes carries no data; a body of at least 16 bytes carries a
// data kind (WM_COPYDATA's dwData) and the rest of the body as data (a text
// in UTF-8, no terminator: its length is the frame's). A frame whose body is
// shorter than 12 bytes, between 13 and 15 bytes, longer than
// kMaxFrameBodyBytes, carrying data on a message that takes none, or lacking
// data on one that needs it, is malformed: the reader stops and the
// connection is dropped. Unknown message numbers are well-formed and left to
// the receiver to ignore.
//
// The display connects to the local socket named by kServerEnvironment once
// its window is first shown and sends the introduction first: message
// MsgIntroduction, wParam its process id, lParam its window id, data the
// token it found in kTokenEnvironment. Window ids are 32-bit numbers below
// 2^31 chosen by their program, never 0.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace DisplayLink {

// Main program -> display.
inline constexpr std::uint32_t MsgDisplayValue = 11025;
inline constexpr std::uint32_t MsgDisplayOwner = 11026;
inline constexpr std::uint32_t MsgDisplayClose = 11027;
inline constexpr std::uint32_t WmCopyData = 74;
// Display -> main program.
inline constexpr std::uint32_t MsgDisplayReport = 21025;
inline constexpr std::uint32_t MsgShowMainApp = 21026;
inline constexpr std::uint32_t MsgDisplayColor = 21027;
inline constexpr std::uint32_t MsgDisplayHandle = 21028;
// Display -> main program, first frame on a connection.
inline constexpr std::uint32_t MsgIntroduction = 0x7F000001u;

// Kinds of WM_COPYDATA (dwData).
inline constexpr int kTextPopupFirst = 0;
inline constexpr int kTextPopupLast = 10;
inline constexpr int kTextValue = 254;
inline constexpr int kTextDecimalSeparator = 255;

// Report codes (high part of MsgDisplayReport's lParam).
namespace ReportCode {
inline constexpr int Left = 1;
inline constexpr int Top = 2;
inline constexpr int Width = 3;
inline constexpr int Height = 4;
inline constexpr int ColorLow = 5;
inline constexpr int ColorHigh = 6;
inline constexpr int Style = 7;
inline constexpr int CrossX = 11;
inline constexpr int CrossY = 12;
inline constexpr int CrossShown = 13;
inline constexpr int ExitAll = 254;
inline constexpr int Closed = 255;
}  // namespace ReportCode

// Style bits of report code 7.
inline constexpr int kStyleTransparent = 0x01;
inline constexpr int kStyleBorder = 0x02;
inline constexpr int kStyleContrast = 0x04;

inline constexpr int kMaxTextBytes = 1024;
inline constexpr int kMaxFrameBodyBytes = 16 + kMaxTextBytes;
inline constexpr int kFrameHeaderBytes = 4;

inline constexpr char kServerEnvironment[] = "THERMASENTINEL_DISPLAY_SERVER";
inline constexpr char kTokenEnvironment[] = "THERMASENTINEL_DISPLAY_TOKEN";

struct TLinkMessage {
  std::uint32_t Msg = 0;
  std::uint32_t WParam = 0;
  std::int32_t LParam = 0;
  bool HasData = false;
  std::uint32_t DataKind = 0;
  QByteArray Data;

  bool operator==(const TLinkMessage&) const = default;
};

// True for the messages whose frame carries a data part.
bool TakesData(std::uint32_t msg);

// The frame of `message`; data longer than kMaxTextBytes is cut there (at a
// whole UTF-8 character).
QByteArray EncodeFrame(const TLinkMessage& message);

// Builders of the usual messages.
TLinkMessage Message(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);
TLinkMessage CopyData(std::uint32_t senderWindow, int kind, const QString& text);
TLinkMessage Introduction(std::uint32_t pid, std::uint32_t windowId, const QByteArray& token);

// A report's lParam: code x 65536 + value, the value a signed 16-bit number
// (clamped) so that the sum can be taken apart again whatever its sign.
std::int32_t EncodeReport(int code, int value);
struct TReport {
  int Code = 0;
  int Value = 0;
  bool operator==(const TReport&) const = default;
};
TReport DecodeReport(std::int32_t lParam);

// Reads frames from a byte stream in any chunking. After a malformed frame
// it stays failed and yields nothing more.
class TFrameReader {
 public:
  void Feed(const char* data, qsizetype size);
  void Feed(const QByteArray& bytes) { Feed(bytes.constData(), bytes.size()); }
  // The next whole message, or nothing (more bytes needed, or failed).
  std::optional<TLinkMessage> Next();
  bool Failed() const { return failed_; }

 private:
  QByteArray buffer_;
  qsizetype offset_ = 0;
  bool failed_ = false;
};

// Colours travel as 0x00BBGGRR (the command line's "/COLOR=", the saved
// records, MsgDisplayColor).
constexpr std::uint32_t ColorRef(int red, int green, int blue) {
  return (static_cast<std::uint32_t>(red) & 0xFFu) | ((static_cast<std::uint32_t>(green) & 0xFFu) << 8) |
         ((static_cast<std::uint32_t>(blue) & 0xFFu) << 16);
}
constexpr int ColorRefRed(std::uint32_t c) { return static_cast<int>(c & 0xFFu); }
constexpr int ColorRefGreen(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int ColorRefBlue(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFFu); }

// A fresh window id: random, 1 .. 2^31 - 1.
std::uint32_t NewWindowId();

}  // namespace DisplayLink
