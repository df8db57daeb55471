// Frames of the link between the main program and its displays, and the
// signed report values.

#include <gtest/gtest.h>

#include <QtEndian>
#include <vector>

#include "platform/display_link_protocol.h"

using namespace DisplayLink;

namespace {

QByteArray U32(std::uint32_t v) {
  char b[4];
  qToLittleEndian(v, b);
  return QByteArray(b, 4);
}

QByteArray Frame(std::uint32_t bodyLength, const QByteArray& body) { return U32(bodyLength) + body; }

std::vector<TLinkMessage> ReadAll(const QByteArray& stream, qsizetype chunk, bool* failed = nullptr) {
  TFrameReader reader;
  std::vector<TLinkMessage> out;
  for (qsizetype at = 0; at < stream.size(); at += chunk) {
    reader.Feed(stream.mid(at, chunk));
    while (auto m = reader.Next()) out.push_back(*m);
  }
  if (failed != nullptr) *failed = reader.Failed();
  return out;
}

}  // namespace

// Every kind of message survives the trip in order, whatever the chunking.
TEST(DisplayLinkProtocol, FramesRoundTripAtEveryChunkSize) {
  const std::vector<TLinkMessage> messages{
      Message(MsgDisplayOwner, 123456, 0),
      Message(MsgDisplayValue, (0x03u << 16) | 10000u, 0),
      CopyData(123456, 3, QStringLiteral("Fadenkreuz \u00B0")),
      CopyData(123456, kTextDecimalSeparator, QStringLiteral(",")),
      CopyData(123456, kTextValue, QString()),
      Message(MsgDisplayReport, 77, EncodeReport(ReportCode::CrossY, -5)),
      Introduction(4242, 0x7FFFFFFF, "tok"),
      Message(999999, 1, -1),  // unknown numbers pass; the receiver ignores them
  };
  QByteArray stream;
  for (const TLinkMessage& m : messages) stream += EncodeFrame(m);
  for (qsizetype chunk = 1; chunk <= stream.size(); ++chunk) {
    bool failed = true;
    const std::vector<TLinkMessage> got = ReadAll(stream, chunk, &failed);
    ASSERT_FALSE(failed) << chunk;
    ASSERT_EQ(got.size(), messages.size()) << chunk;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], messages[i]) << chunk << " #" << i;
  }
}

// A broken frame stops the reader for good (the connection is dropped);
// what came before it is delivered.
TEST(DisplayLinkProtocol, MalformedFramesStopTheReader) {
  const QByteArray good = EncodeFrame(Message(MsgDisplayValue, 1, 0));
  const QByteArray fixed = U32(MsgDisplayValue) + U32(1) + U32(0);
  struct Case {
    const char* what;
    QByteArray frame;
  };
  const Case cases[] = {
      {"body shorter than the fixed part", Frame(8, U32(MsgDisplayValue) + U32(1))},
      {"empty body", Frame(0, QByteArray())},
      {"body between fixed part and data kind", Frame(14, fixed + QByteArray(2, 'x'))},
      {"body beyond the cap", Frame(kMaxFrameBodyBytes + 1, QByteArray())},
      {"length with the top bit set", Frame(0x80000010u, QByteArray())},
      {"data on a value message", Frame(20, fixed + U32(0) + QByteArray("abcd"))},
      {"copy data without data", Frame(12, U32(WmCopyData) + U32(1) + U32(0))},
      {"introduction without token part", Frame(12, U32(MsgIntroduction) + U32(1) + U32(2))},
  };
  for (const Case& c : cases) {
    bool failed = false;
    const std::vector<TLinkMessage> got = ReadAll(good + c.frame + good, 3, &failed);
    EXPECT_TRUE(failed) << c.what;
    EXPECT_EQ(got.size(), 1u) << c.what;
  }
}

// Texts are cut at the cap on a whole character, so a frame never grows
// beyond it.
TEST(DisplayLinkProtocol, TextsAreCutAtTheCap) {
  const QString longText = QString(kMaxTextBytes - 1, QLatin1Char('a')) + QStringLiteral("\u00E4\u00E4");
  const TLinkMessage m = CopyData(1, kTextValue, longText);
  EXPECT_EQ(m.Data.size(), kMaxTextBytes - 1);
  const std::vector<TLinkMessage> got = ReadAll(EncodeFrame(m), 64);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(QString::fromUtf8(got[0].Data), QString(kMaxTextBytes - 1, QLatin1Char('a')));
}

// A report carries code and signed value in one 32-bit sum; a negative
// position must not change the code (a cross y of -5 is not a cross x).
TEST(DisplayLinkProtocol, ReportValuesKeepTheirSign) {
  struct Case {
    int code;
    int value;
    TReport decoded;
  };
  const Case cases[] = {
      {ReportCode::Left, 812, {1, 812}},       {ReportCode::Top, -5, {2, -5}},
      {ReportCode::CrossY, -5, {12, -5}},      {ReportCode::CrossX, -1, {11, -1}},
      {ReportCode::Left, -32768, {1, -32768}}, {ReportCode::Width, 32767, {3, 32767}},
      {ReportCode::Width, 40000, {3, 32767}},  // clamped, never spilling into the code
      {ReportCode::Left, -40000, {1, -32768}}, {ReportCode::Closed, 0, {255, 0}},
      {ReportCode::ExitAll, 0, {254, 0}},
  };
  for (const Case& c : cases) {
    const std::int32_t lParam = EncodeReport(c.code, c.value);
    EXPECT_EQ(DecodeReport(lParam), c.decoded) << c.code << " " << c.value;
  }
  // The display's sum as written: code x 65536 + value.
  EXPECT_EQ(EncodeReport(12, -5), 12 * 65536 - 5);
}

TEST(DisplayLinkProtocol, WindowIdsAndColours) {
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t id = NewWindowId();
    ASSERT_GE(id, 1u);
    ASSERT_LE(id, 0x7FFFFFFFu);
  }
  EXPECT_EQ(ColorRef(0x12, 0x34, 0x56), 0x563412u);
  EXPECT_EQ(ColorRefRed(0x563412u), 0x12);
  EXPECT_EQ(ColorRefGreen(0x563412u), 0x34);
  EXPECT_EQ(ColorRefBlue(0x563412u), 0x56);
}
