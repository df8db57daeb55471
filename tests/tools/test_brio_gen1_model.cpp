#include <gtest/gtest.h>

#include "test_brio_fixture.h"
#include "tools/devsim/argo_wire.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/model_registry.h"

namespace {

using namespace BrioTest;

using Step = ScriptStep<BrioRequestOutcome>;

template <class Model>
void RunScript(Bench<Model>& d, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.name << " " << testing::PrintToString(s.request));
    d.model.ClearRequests();
    EXPECT_EQ(d.AskAndWait(s.request, 2ms), s.reply);
    ExpectLogged(d.LastRequest(), s);
  }
}

// Peeks and pokes of the first generation (profile voduz1: serial 11000,
// temperatures 250.0, 31.5 and 250.4 °C).
TEST(BrioGen1Model, PeekAndPokeTable) {
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  const std::vector<Step> steps = {
      {{0x3E, 0x02, 0x00}, {0x0D, 0xAC}, "ReadWord"},  // 3500 = 250.0 °C
      {{0x3E, 0x02, 0x02}, {0x05, 0x23}, "ReadWord"},  // 1315 = 31.5 °C
      {{0x3E, 0x02, 0x04}, {0x0D, 0xB0}, "ReadWord"},  // 3504 = 250.4 °C
      {{0x3C, 0x02, 0x00}, {0xAC}, "ReadByte"},
      {{0x3C, 0x10, 0x82}, {0x00}, "ReadByte"},  // serial 11000 = 00 2A F8
      {{0x3C, 0x10, 0x83}, {0x2A}, "ReadByte"},
      {{0x3C, 0x10, 0x84}, {0xF8}, "ReadByte"},
      {{0x3C, 0x0F, 0xF0}, {0xF1}, "ReadByte"},  // not the refused 0xF4
      {{0x3C, 0x02, 0x61}, {0x80}, "ReadByte"},  // normal mode after the start
      {{0x3D, 0x02, 0x61, 0x8C}, {0x8C}, "WriteByte"},
      {{0x3C, 0x02, 0x5F}, {0x01}, "ReadByte"},
      {{0x3D, 0x02, 0x5F, 0x11}, {0x11}, "WriteByte"},
      {{0x3D, 0x02, 0x61, 0x80}, {0x80}, "WriteByte"},
      {{0x3A, 0x02, 0x12, 0x04, 0xE2}, {}, "WriteWord", BrioRequestOutcome::NoReply},
      {{0x3E, 0x02, 0x12}, {0x04, 0xE2}, "ReadWord"},
      // Flash takes no stores from the firmware: the echo shows it unchanged.
      {{0x3D, 0x10, 0x00, 0x55}, {d.model.Configuration()[0]}, "WriteByte"},
      {{0x3E, 0xFF, 0xFE}, {0xC2, 0x00}, "ReadWord"},  // reset vector 0xC200
      {{0x45}, {}, "Unknown", BrioRequestOutcome::Ignored},
      {{0x3F, 0x01, 0x02, 0x03, 0x05}, {}, "EnterLoader", BrioRequestOutcome::Ignored},
  };
  RunScript(d, steps);
  // Zero bytes are filler: nothing answered, nothing logged.
  d.model.ClearRequests();
  EXPECT_TRUE(d.AskAndWait(Bytes(10, 0x00)).empty());
  EXPECT_TRUE(d.model.Requests().empty());
  // A request split over several writes is still one request.
  EXPECT_TRUE(d.Ask({0x3E}).empty());
  EXPECT_TRUE(d.Ask({0x02}).empty());
  EXPECT_EQ(d.Ask({0x00}), (Bytes{0x0D, 0xAC}));
}

// The serial number lives at 0x1082..0x1084; the configuration block
// (emissivity first) does not carry it.
TEST(BrioGen1Model, SerialNumberIsInTheCalibrationSegment) {
  for (const QString& name : BrioProfiles::Names(1)) {
    BrioGen1Model m(*BrioProfiles::Find(1, name));
    const Bytes s = m.ReadMemory(0x1082, 3);
    EXPECT_EQ(std::uint32_t(s[0] << 16 | s[1] << 8 | s[2]), m.Profile().serial);
  }
}

// The supply comes from DTR: nothing is answered while it is low or while
// the firmware starts; a restart clears RAM.
TEST(BrioGen1Model, PowerFollowsDtr) {
  BrioOptions options;
  options.bootMs = 40;
  Bench<BrioGen1Model> d(BrioProfiles::Default(1), options);
  const Bytes read = {0x3E, 0x02, 0x00};
  EXPECT_TRUE(d.AskAndWait(read).empty());
  d.model.OnDtr(true, d.link);
  EXPECT_TRUE(d.AskAndWait(read).empty()) << "still starting";
  d.Wait(35ms);
  EXPECT_EQ(d.AskAndWait(read), (Bytes{0x0D, 0xAC}));
  EXPECT_EQ(d.AskAndWait({0x3D, 0x02, 0x61, 0x90}), Bytes{0x90});
  EXPECT_EQ(d.model.LostBytes(), 6u);

  d.PowerOff();
  EXPECT_TRUE(d.AskAndWait(read).empty());
  d.PowerOn();
  EXPECT_EQ(d.AskAndWait({0x3C, 0x02, 0x61}), Bytes{0x80}) << "RAM starts anew";

  // A device with its own supply needs no DTR.
  options.externalPower = true;
  Bench<BrioGen1Model> external(BrioProfiles::Default(1), options);
  external.Wait(50ms);
  EXPECT_EQ(external.AskAndWait(read), (Bytes{0x0D, 0xAC}));
}

// Burst: configured in the configuration segment, streamed after a start
// as AA AA and the big-endian memory words up to the first zero channel,
// stopped by the first byte the host sends.
TEST(BrioGen1Model, StreamsTheConfiguredWordsAfterAStart) {
  struct Case {
    std::vector<std::uint16_t> channels;
    std::vector<std::uint16_t> expected;  // memory values streamed
  };
  for (const Case& c :
       {Case{{0x0200, 0x0202, 0x0204}, {3500, 1315, 3504}}, Case{{0x0200, 0, 0x0204, 0, 0}, {3500}},
        Case{{0x0204, 0x0200, 0x0202, 0x0204, 0x0200}, {3504, 3500, 1315, 3504, 3500}}}) {
    SCOPED_TRACE(testing::PrintToString(c.channels));
    BrioProfile p = BrioProfiles::Default(1);
    BrioProfiles::SetBurstChannels(p, c.channels);
    BrioOptions options;
    options.rampBurstValues = false;
    Bench<BrioGen1Model> d(p, options);
    d.PowerOn();
    EXPECT_TRUE(d.model.Streaming());
    const Bytes out = d.Wait(100ms);
    Bytes frame = {0xAA, 0xAA};
    for (std::uint16_t v : c.expected) ArgoWire::AppendWord(frame, v);
    ASSERT_GE(out.size(), 4 * frame.size());
    for (std::size_t i = 0; i + frame.size() <= out.size(); i += frame.size())
      EXPECT_EQ(Bytes(out.begin() + std::ptrdiff_t(i), out.begin() + std::ptrdiff_t(i + frame.size())),
                frame);
    // One frame every 20 ms.
    EXPECT_NEAR(double(out.size() / frame.size()), 5.0, 1.0);
    for (const BrioSentFrame& f : d.model.SentFrames()) EXPECT_EQ(f.values, c.expected);

    d.Ask({0x00});
    EXPECT_FALSE(d.model.Streaming());
    EXPECT_TRUE(d.Wait(100ms).empty());
    // The next start streams again.
    d.PowerOff();
    d.PowerOn();
    EXPECT_TRUE(d.model.Streaming());
  }
}

TEST(BrioGen1Model, StreamedValuesAvoidTheSyncByteAndRamp) {
  BrioProfile p = BrioProfiles::Default(1);
  p.live.target = 0xAAAA / 10.0 - 100.0;  // a word of two sync bytes
  const std::uint16_t channels[] = {0x0200, 0x0202};
  BrioProfiles::SetBurstChannels(p, channels);
  BrioOptions options;
  options.tripleSync = true;
  Bench<BrioGen1Model> d(p, options);
  d.PowerOn();
  d.Wait(400ms);
  const auto frames = d.model.SentFrames();
  ASSERT_GE(frames.size(), 15u);
  for (const BrioSentFrame& f : frames) {
    EXPECT_TRUE(f.tripleSync);
    for (std::uint16_t v : f.values) {
      EXPECT_NE(v >> 8, 0xAA);
      EXPECT_NE(v & 0xFF, 0xAA);
    }
  }
  EXPECT_EQ(frames[1].values[1], frames[0].values[1] + 1);
}

TEST(BrioGen1Model, BusyLineHoldsFramesBack) {
  BrioProfile p = BrioProfiles::Default(1);
  const std::uint16_t channels[] = {0x0200};
  BrioProfiles::SetBurstChannels(p, channels);
  Bench<BrioGen1Model> d(p);
  d.PowerOn();
  d.link.pending = 100;
  EXPECT_TRUE(d.Wait(200ms).empty());
  d.link.pending = 0;
  EXPECT_FALSE(d.Wait(50ms).empty());
}

// Each fault option, on peeks.
TEST(BrioGen1Model, ReplyFaults) {
  const Bytes read = {0x3E, 0x02, 0x00};
  const Bytes good = {0x0D, 0xAC};
  struct Case {
    const char* what;
    BrioFaults faults;
    std::size_t size;  // reply bytes at once
    bool prefix;       // the good reply begins it
  };
  BrioFaults silent, shortReply, extra, noise, ignore;
  silent.silent = true;
  shortReply.shortReplyBytes = 1;
  extra.extraReplyBytes = 3;
  noise.noiseBeforeReply = 2;
  ignore.ignoreRequests = 1;
  for (const Case& c :
       {Case{"silent", silent, 0, false}, Case{"short", shortReply, 1, true}, Case{"extra", extra, 5, true},
        Case{"noise", noise, 4, false}, Case{"ignore", ignore, 0, false}}) {
    SCOPED_TRACE(c.what);
    Bench<BrioGen1Model> d(BrioProfiles::Default(1));
    d.PowerOn();
    d.model.SetFaults(c.faults);
    const Bytes got = d.AskAndWait(read);
    EXPECT_EQ(got.size(), c.size);
    if (c.prefix) {
      const std::size_t n = std::min<std::size_t>(2, got.size());
      EXPECT_EQ(Bytes(got.begin(), got.begin() + std::ptrdiff_t(n)),
                Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
    }
    if (std::string(c.what) == "noise") {
      EXPECT_EQ(Bytes(got.begin() + 2, got.end()), good);
    }
  }
  // Late: nothing at once, all of it after the delay; the limit counts down.
  Bench<BrioGen1Model> d(BrioProfiles::Default(1));
  d.PowerOn();
  BrioFaults late;
  late.lateReplyMs = 30;
  late.replyFaultLimit = 1;
  d.model.SetFaults(late);
  EXPECT_TRUE(d.AskAndWait(read, 25ms).empty());
  EXPECT_EQ(d.Wait(10ms), good);
  EXPECT_EQ(d.Ask(read), good);
}

TEST(BrioGen1Model, VanishFaults) {
  {
    Bench<BrioGen1Model> d(BrioProfiles::Default(1));
    d.PowerOn();
    BrioFaults f;
    f.vanishAfterRequests = 2;
    d.model.SetFaults(f);
    EXPECT_EQ(d.Ask({0x3C, 0x02, 0x61}), Bytes{0x80});
    EXPECT_TRUE(d.Ask({0x3C, 0x02, 0x61}).empty());
    EXPECT_TRUE(d.link.vanished);
    EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Vanished);
  }
  {
    BrioProfile p = BrioProfiles::Default(1);
    const std::uint16_t channels[] = {0x0200, 0x0202};
    BrioProfiles::SetBurstChannels(p, channels);
    Bench<BrioGen1Model> d(p);
    BrioFaults f;
    f.vanishAfterStreamBytes = 15;  // two frames of 6 and half a frame
    d.model.SetFaults(f);
    d.model.OnDtr(true, d.link);
    EXPECT_EQ(d.Wait(250ms).size(), 15u);
    EXPECT_TRUE(d.link.vanished);
    const auto frames = d.model.SentFrames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_TRUE(frames.back().truncated);
  }
  {
    BrioProfile p = BrioProfiles::Default(1);
    const std::uint16_t channels[] = {0x0200};
    BrioProfiles::SetBurstChannels(p, channels);
    Bench<BrioGen1Model> d(p);
    d.PowerOn();
    BrioFaults f;
    f.streamNoiseEveryFrames = 2;
    f.streamNoiseBytes = 3;
    f.ignoreStreamStop = true;
    d.model.SetFaults(f);
    d.Ask({0x00});
    EXPECT_TRUE(d.model.Streaming());
    const Bytes out = d.Wait(100ms);
    const auto frames = d.model.SentFrames();
    ASSERT_GE(frames.size(), 4u);
    EXPECT_FALSE(frames[0].spoiled);
    EXPECT_TRUE(frames[1].spoiled);
    std::size_t expected = 0;
    for (const BrioSentFrame& frame : frames)
      if (frame.index > 0) expected += 4 + (frame.spoiled ? 3 : 0);
    EXPECT_EQ(out.size(), expected);
  }
}

TEST(BrioModelOptions, CreateFromCommandLine) {
  RegisterBrioGen1Model();
  RegisterBrioGen2Model();
  QString error;
  auto m1 = ModelRegistry::Create(
      QStringLiteral("brio"),
      {QStringLiteral("--profile"), QStringLiteral("dunav1"), QStringLiteral("--serial"),
       QStringLiteral("11000"), QStringLiteral("--poke=0x0FF0=0xF4"), QStringLiteral("--burst"),
       QStringLiteral("0x200,0x204"), QStringLiteral("--external-power"), QStringLiteral("--late"),
       QStringLiteral("7")},
      &error);
  ASSERT_TRUE(m1) << error.toStdString();
  auto* g1 = dynamic_cast<BrioGen1Model*>(m1.get());
  ASSERT_NE(g1, nullptr);
  EXPECT_EQ(g1->Profile().name, QStringLiteral("dunav1"));
  EXPECT_EQ(g1->ReadMemory(0x1082, 3), (Bytes{0x00, 0x2A, 0xF8}));
  EXPECT_EQ(g1->ReadMemory(0x0FF0, 1), Bytes{0xF4});
  EXPECT_TRUE(g1->Options().externalPower);
  EXPECT_EQ(g1->Faults().lateReplyMs, 7);
  EXPECT_EQ(BrioProfiles::BurstChannels(1, 0, g1->ReadMemory(0x1000, 128)),
            (std::vector<std::uint16_t>{0x200, 0x204}));

  auto m2 = ModelRegistry::Create(QStringLiteral("brio2"),
                                  {QStringLiteral("--profile=duna-2w-v2"), QStringLiteral("--ignore-parity"),
                                   QStringLiteral("--wait-window-ms"), QStringLiteral("800")},
                                  &error);
  ASSERT_TRUE(m2) << error.toStdString();
  auto* g2 = dynamic_cast<BrioGen2Model*>(m2.get());
  ASSERT_NE(g2, nullptr);
  EXPECT_EQ(g2->Profile().deviceTypeCode, 10);
  EXPECT_FALSE(g2->Options().checkParity);
  EXPECT_EQ(g2->Options().waitWindowMs, 800);

  struct Bad {
    const char* model;
    QStringList options;
  };
  for (const Bad& b : {Bad{"brio", {QStringLiteral("--profile"), QStringLiteral("briov2")}},
                       Bad{"brio2", {QStringLiteral("--profile"), QStringLiteral("voduz1")}},
                       Bad{"brio", {QStringLiteral("--serial"), QStringLiteral("0x1000000")}},
                       Bad{"brio", {QStringLiteral("--poke"), QStringLiteral("0x10000=1")}},
                       Bad{"brio", {QStringLiteral("--poke"), QStringLiteral("12")}},
                       Bad{"brio2", {QStringLiteral("--burst"), QStringLiteral("0x200,zz")}},
                       Bad{"brio2", {QStringLiteral("--late")}}, Bad{"brio2", {QStringLiteral("--profile")}},
                       Bad{"brio2", {QStringLiteral("--baud"), QStringLiteral("19200")}}}) {
    SCOPED_TRACE(b.options.join(QLatin1Char(' ')).toStdString());
    error.clear();
    EXPECT_FALSE(ModelRegistry::Create(QString::fromLatin1(b.model), b.options, &error));
    EXPECT_FALSE(error.isEmpty());
  }
  // An unknown option is answered with the list of the known ones.
  EXPECT_FALSE(ModelRegistry::Create(QStringLiteral("brio"), {QStringLiteral("--bogus")}, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("--vanish-after-programmed"))) << error.toStdString();
}

}  // namespace
