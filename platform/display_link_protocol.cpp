#include "platform/display_link_protocol.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <algorithm>

namespace DisplayLink {

namespace {

constexpr qsizetype kFixedBody = 12;
constexpr qsizetype kDataBody = 16;

void AppendU32(QByteArray& out, std::uint32_t v) {
  char b[4];
  qToLittleEndian(v, b);
  out.append(b, 4);
}

std::uint32_t ReadU32(const char* p) { return qFromLittleEndian<std::uint32_t>(p); }

// Cuts UTF-8 bytes at `limit` without splitting a character.
QByteArray CutUtf8(QByteArray bytes, qsizetype limit) {
  if (bytes.size() <= limit) return bytes;
  qsizetype end = limit;
  // Step back over continuation bytes to the start of the cut character.
  while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
  bytes.truncate(end);
  return bytes;
}

}  // namespace

bool TakesData(std::uint32_t msg) { return msg == WmCopyData || msg == MsgIntroduction; }

QByteArray EncodeFrame(const TLinkMessage& message) {
  const bool withData = TakesData(message.Msg);
  const QByteArray data = withData ? CutUtf8(message.Data, kMaxTextBytes) : QByteArray();
  QByteArray out;
  const qsizetype body = withData ? kDataBody + data.size() : kFixedBody;
  out.reserve(kFrameHeaderBytes + body);
  AppendU32(out, static_cast<std::uint32_t>(body));
  AppendU32(out, message.Msg);
  AppendU32(out, message.WParam);
  AppendU32(out, static_cast<std::uint32_t>(message.LParam));
  if (withData) {
    AppendU32(out, message.DataKind);
    out.append(data);
  }
  return out;
}

TLinkMessage Message(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
  TLinkMessage m;
  m.Msg = msg;
  m.WParam = wParam;
  m.LParam = lParam;
  return m;
}

TLinkMessage CopyData(std::uint32_t senderWindow, int kind, const QString& text) {
  TLinkMessage m = Message(WmCopyData, senderWindow, 0);
  m.HasData = true;
  m.DataKind = static_cast<std::uint32_t>(kind);
  m.Data = CutUtf8(text.toUtf8(), kMaxTextBytes);
  return m;
}

TLinkMessage Introduction(std::uint32_t pid, std::uint32_t windowId, const QByteArray& token) {
  TLinkMessage m = Message(MsgIntroduction, pid, static_cast<std::int32_t>(windowId));
  m.HasData = true;
  m.Data = CutUtf8(token, kMaxTextBytes);
  return m;
}

std::int32_t EncodeReport(int code, int value) {
  const int v = std::clamp(value, -32768, 32767);
  return static_cast<std::int32_t>(code * 65536 + v);
}

TReport DecodeReport(std::int32_t lParam) {
  // The low half is the signed value; what remains, shifted down, the code.
  const int value = static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam & 0xFFFF));
  const std::int64_t code = (static_cast<std::int64_t>(lParam) - value) / 65536;
  return {static_cast<int>(code), value};
}

void TFrameReader::Feed(const char* data, qsizetype size) {
  if (failed_ || size <= 0) return;
  if (offset_ > 0 && offset_ == buffer_.size()) {
    buffer_.clear();
    offset_ = 0;
  }
  buffer_.append(data, size);
}

std::optional<TLinkMessage> TFrameReader::Next() {
  if (failed_) return std::nullopt;
  const qsizetype available = buffer_.size() - offset_;
  if (available < kFrameHeaderBytes) return std::nullopt;
  const char* p = buffer_.constData() + offset_;
  const std::uint32_t body = ReadU32(p);
  if (body < kFixedBody || body > static_cast<std::uint32_t>(kMaxFrameBodyBytes) ||
      (body > kFixedBody && body < kDataBody)) {
    failed_ = true;
    buffer_.clear();
    offset_ = 0;
    return std::nullopt;
  }
  if (available < kFrameHeaderBytes + static_cast<qsizetype>(body)) return std::nullopt;
  p += kFrameHeaderBytes;
  TLinkMessage m;
  m.Msg = ReadU32(p);
  m.WParam = ReadU32(p + 4);
  m.LParam = static_cast<std::int32_t>(ReadU32(p + 8));
  m.HasData = body >= kDataBody;
  if (m.HasData != TakesData(m.Msg)) {
    failed_ = true;
    buffer_.clear();
    offset_ = 0;
    return std::nullopt;
  }
  if (m.HasData) {
    m.DataKind = ReadU32(p + 12);
    m.Data = QByteArray(p + kDataBody, static_cast<qsizetype>(body) - kDataBody);
  }
  offset_ += kFrameHeaderBytes + static_cast<qsizetype>(body);
  // Keep the buffer small when a long stream passes through.
  if (offset_ > 65536) {
    buffer_.remove(0, offset_);
    offset_ = 0;
  }
  return m;
}

std::uint32_t NewWindowId() { return 1u + QRandomGenerator::global()->bounded(0x7FFFFFFFu - 1u); }

}  // namespace DisplayLink
