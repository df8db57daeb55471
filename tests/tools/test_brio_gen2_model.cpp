#include <gtest/gtest.h>

#include <QByteArray>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "platform/rfc2217_device.h"
#include "test_brio_fixture.h"
#include "tools/devsim/argo_wire.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/fake_line_server.h"
#include "tools/devsim/rfc2217_server.h"

namespace {

using namespace BrioTest;
using namespace BrioWire;

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

using Step = ScriptStep<BrioRequestOutcome>;

// The command set of a Briov2 (serial 1080004, 250.0 / 31.5 / 250.4 °C,
// box 28.2 °C, ambient 23.0 °C, emissivity 0.950, range -30..1000 °C).
TEST(BrioGen2Model, CommandTable) {
  Bench<BrioGen2Model> d(BrioProfiles::Default(2));
  d.PowerOn();
  Bytes filler(10, 0x00);
  const std::vector<Step> steps = {
      {{0x01}, {0x0D, 0xAC}, "ReadTargetTemperature"},
      {{0x02}, {0x05, 0x23}, "ReadInternalTemperature"},
      {{0x03}, {0x0D, 0xB0}, "ReadActualTemperature"},
      {{0x09}, {0x05, 0x02}, "ReadBoxTemperature"},
      {{0x12}, {0x04, 0xCE}, "ReadAmbientTemperature"},
      {{0x04}, {0x03, 0xB6}, "ReadEmissivity"},
      {{0x11}, {0x03, 0x21}, "ReadChannel7"},
      {{0x0E}, {0x10, 0x7A, 0xC4}, "ReadSerialNumber"},
      {{0x10}, {0x00}, "GetLaserState"},
      {{0x90, 0x01}, {0x01}, "SetLaser"},
      {{0x10}, {0x01}, "GetLaserState"},
      {{0x90, 0x00}, {0x00}, "SetLaser"},
      {{0x84, 0x04, 0x4C}, {0x04, 0x4C}, "SetEmissivity"},
      {{0x84, 0x00, 0x63}, {0x04, 0x4C}, "SetEmissivity"},  // 99: kept as it was
      {{0x04}, {0x04, 0x4C}, "ReadEmissivity"},
      {{0x81, 0x32}, {0x32}, "SetLoopOutput"},
      {{0x82}, {0x82}, "EndLoopOutput"},
      {{0x3D, 0x02, 0x5F, 0x90}, {0x90}, "WriteByte"},
      {Text("E"), {0x40, 0x81, 0x02, 0xBC, 0x2A, 0xF8}, "Identify"},
      {Text("F"), {0x02, 0xEE, 0x07, 0x08, 0x00, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "IdentifyExtended"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    d.model.ClearRequests();
    EXPECT_EQ(d.AskAndWait(s.request, 2ms), s.reply);
    EXPECT_EQ(d.LastRequest().name.toStdString(), s.name);
  }
  EXPECT_EQ(d.AskAndWait(Text("9CONF")), d.model.ReadMemory(0x1000, 128));
  EXPECT_EQ(d.AskAndWait(Text("9CALI")), d.model.ReadMemory(0x1080, 128));
  EXPECT_EQ(d.AskAndWait(Text("9CON2")), d.model.ReadMemory(0xC000, 256));
  EXPECT_EQ(d.AskAndWait(Text("9INTV")), d.model.ReadMemory(0xFFE0, 32));
  // "81 00 00" of the loop-maintenance start: the extra zero is filler.
  EXPECT_EQ(d.AskAndWait({0x81, 0x00, 0x00}), Bytes{0x00});
  EXPECT_EQ(d.model.LoopOutput(), 0);
  for (const Bytes& ignored : {Text("9XXXX"), Bytes{0x3F, 0x00, 0x00, 0x00, 0x00}, Bytes{0x55}}) {
    EXPECT_TRUE(d.AskAndWait(ignored).empty());
    EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Ignored);
  }
  // A request cut short is dropped after a pause; the next one is answered.
  EXPECT_TRUE(d.AskAndWait({0x84, 0x03}, 150ms).empty());
  EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Incomplete);
  EXPECT_EQ(d.AskAndWait({0x01}), (Bytes{0x0D, 0xAC}));
}

// Every model line the feature words name: the type code the program
// derives from "E", "F" only with the extended identity, "9CON2" only on
// Briov2 and Dunav2, and temperatures in hundredths where the calibration
// says so.
TEST(BrioGen2Model, ModelLines) {
  for (const QString& name : BrioProfiles::Names(2)) {
    SCOPED_TRACE(name.toStdString());
    const BrioProfile p = *BrioProfiles::Find(2, name);
    Bench<BrioGen2Model> d(p);
    d.PowerOn();
    const Bytes e = d.AskAndWait(Text("E"));
    ASSERT_EQ(e.size(), 6u);
    const std::uint16_t features = std::uint16_t(e[0] << 8 | e[1]);
    int code = features > 0 ? 5 : 6;
    if (features & (Feature::Fenn2W | Feature::Fenn2WAlt)) code = 7;
    if (features & Feature::Briov2) code = 8;
    if (features & Feature::Duna2Wv2) code = 10;
    if (features & Feature::Dunav2) code = 9;
    if (features & Feature::Duna2W2Mv2) code = 11;
    EXPECT_EQ(code, p.deviceTypeCode);

    const bool hundredths = d.model.HighResolution();
    EXPECT_EQ(hundredths, name.endsWith(QStringLiteral("hires")));
    EXPECT_EQ(DecodeTemperature(std::uint16_t(e[2] << 8 | e[3]), hundredths), p.rangeLow);
    EXPECT_EQ(DecodeTemperature(std::uint16_t(e[4] << 8 | e[5]), hundredths), p.rangeHigh);
    const Bytes t = d.AskAndWait({0x01});
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(std::uint16_t(t[0] << 8 | t[1]), EncodeTemperature(p.live.target, hundredths));
    const Bytes box = d.AskAndWait({0x09});
    EXPECT_EQ(std::uint16_t(box[0] << 8 | box[1]), EncodeTemperature(p.live.box));

    EXPECT_EQ(d.AskAndWait(Text("F")).size(), (features & Feature::ExtendedIdentity) ? 16u : 0u);
    const bool extended = (features & (Feature::Briov2 | Feature::Dunav2)) != 0;
    EXPECT_EQ(d.AskAndWait(Text("9CON2")).size(), extended ? 256u : 0u);
    EXPECT_EQ(d.AskAndWait({0x0E}), Bytes(p.configuration.begin(), p.configuration.begin() + 3));
  }
  // The output-mode word of a Briov2 depends on calibration word 0.
  EXPECT_EQ(BrioProfiles::Find(2, QStringLiteral("briov2"))->calibration[0] |
                BrioProfiles::Find(2, QStringLiteral("briov2"))->calibration[1] << 8,
            1018);
  EXPECT_EQ(BrioProfiles::Find(2, QStringLiteral("briov2-hires"))->calibration[0] |
                BrioProfiles::Find(2, QStringLiteral("briov2-hires"))->calibration[1] << 8,
            1017);
}

// The scan probes a port with the second generation's handshake first and
// the first generation's peeks only where that found nothing. A first-
// generation device stays quiet to the handshake; a second-generation
// device does not know the peek codes but, like any byte-command device,
// takes the address bytes that follow for commands of its own.
TEST(BrioGenerations, EachMisreadsTheOthersProbe) {
  Bench<BrioGen1Model> first(BrioProfiles::Default(1));
  first.PowerOn();
  for (const Bytes& request : {Text("9WAIT"), Bytes{0x01}, Bytes{0x0E}, Text("E"), Text("9CONF")}) {
    EXPECT_TRUE(first.AskAndWait(request, 150ms).empty()) << testing::PrintToString(request);
  }
  EXPECT_EQ(first.AskAndWait({0x3E, 0x02, 0x00}), (Bytes{0x0D, 0xAC}));

  Bench<BrioGen2Model> second(BrioProfiles::Default(2));
  second.PowerOn();
  // 3E ignored, 02 read as the internal temperature, 00 filler.
  EXPECT_EQ(second.AskAndWait({0x3E, 0x02, 0x00}), (Bytes{0x05, 0x23}));
  // 3C ignored, 10 the laser state, 82 the end of loop output.
  EXPECT_EQ(second.AskAndWait({0x3C, 0x10, 0x82}), (Bytes{0x00, 0x82}));
}

// The power-on handshake as the host drives it from DTR rising: "9WAIT" is
// answered only after the start and within the wait window; 01 and the
// other commands are answered at any time the firmware runs.
TEST(BrioGen2Model, PowerOnHandshakeWindows) {
  BrioOptions options;
  options.bootMs = 50;
  options.waitWindowMs = 1500;
  Bench<BrioGen2Model> d(BrioProfiles::Default(2), options);
  const Bytes waitRequest = Text("9WAIT");
  const Bytes waiting = Text("WAITING");

  d.model.OnDtr(true, d.link);
  const Clock::time_point rise = d.now;
  d.Wait(20ms);
  EXPECT_TRUE(d.Ask(waitRequest).empty()) << "starting";
  d.Wait(230ms);
  EXPECT_TRUE(d.Ask(Bytes(10, 0x00)).empty());
  d.Wait(50ms);
  // t + 300 ms: the reply goes out at once (7 bytes, 7.3 ms at 9600 baud).
  EXPECT_EQ(d.Ask(waitRequest), waiting);
  d.Wait(1000ms);
  EXPECT_EQ(d.Ask({0x01}), (Bytes{0x0D, 0xAC}));
  EXPECT_EQ(d.Ask({0x0E}).size(), 3u);
  EXPECT_EQ(d.Ask(Text("E")).size(), 6u);
  EXPECT_EQ(d.model.StartedAt() - rise, 50ms);

  // After the window "9WAIT" is not answered; commands still are.
  d.Wait(300ms);
  EXPECT_TRUE(d.Ask(waitRequest).empty());
  EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::Ignored);
  EXPECT_EQ(d.Ask({0x01}).size(), 2u);

  // A power cycle opens a new window.
  d.PowerOff();
  EXPECT_TRUE(d.Ask({0x01}).empty());
  d.PowerOn();
  EXPECT_EQ(d.Ask(waitRequest), waiting);

  // A device told to miss the handshake: the host must power-cycle.
  BrioFaults f;
  f.ignoreWait = 1;
  d.model.SetFaults(f);
  EXPECT_TRUE(d.Ask(waitRequest).empty());
  EXPECT_EQ(d.LastRequest().outcome, BrioRequestOutcome::NotAnswered);
  EXPECT_EQ(d.Ask(waitRequest), waiting);
}

// Where each model line looks for its burst switch: the layouts written as
// the host's burst start writes them, by hand.
TEST(BrioGen2Model, BurstLayoutsByModelLine) {
  enum class Layout { Loop, V2, TwoWire };
  auto configure = [](Bytes c, Layout layout, const std::vector<std::uint16_t>& channels) {
    auto put = [&](int at, std::uint16_t w) {
      c[std::size_t(at)] = std::uint8_t(w & 0xFF);
      c[std::size_t(at) + 1] = std::uint8_t(w >> 8);
    };
    auto get = [&](int at) { return std::uint16_t(c[std::size_t(at)] | c[std::size_t(at) + 1] << 8); };
    switch (layout) {
      case Layout::Loop:
        for (int i = 0; i < 6; ++i) put(34 + 2 * i, i < int(channels.size()) ? channels[std::size_t(i)] : 0);
        c[32] |= 0x88;
        break;
      case Layout::V2:
      case Layout::TwoWire: {
        for (int i = 0; i < 8; ++i) put(42 + 2 * i, i < int(channels.size()) ? channels[std::size_t(i)] : 0);
        const int at = layout == Layout::V2 ? 82 : 78;
        put(at, std::uint16_t((get(at) & ~0x0018) | (layout == Layout::V2 ? 0x0018 : 0x0008)));
        break;
      }
    }
    return c;
  };
  struct Case {
    const char* profile;
    Layout layout;
    std::vector<std::uint16_t> channels;
    std::size_t values;  // streamed per frame; 0: no stream
  };
  const std::vector<Case> cases = {
      {"brio-2w", Layout::Loop, {0x0200, 0x0202, 0x0204}, 3},
      {"brio-2w", Layout::V2, {0x0200, 0x0202, 0x0204}, 0},
      {"fenn-2w", Layout::Loop, {0x0200, 0x0204}, 2},
      {"briov2", Layout::V2, {0x0200, 0x0202, 0x0204, 0x0206, 0x0208, 0x020A, 0x020C, 0x0200}, 8},
      {"briov2", Layout::V2, {0x0200, 0x0202, 0}, 2},
      {"briov2", Layout::Loop, {0x0200, 0x0202, 0x0204}, 0},
      {"dunav2", Layout::V2, {0x0200, 0x0202, 0x0204}, 3},
      {"duna-2w-v2", Layout::TwoWire, {0x0200, 0x0202, 0x0204, 0x0206, 0x0208, 0x020A, 0x020C, 0x0204}, 8},
      {"duna-2w-v2", Layout::Loop, {0x0200, 0x0202, 0x0204}, 3},
      {"duna-2w2m-v2", Layout::TwoWire, {0x0200, 0x0270}, 2},
      {"duna-2w2m-v2", Layout::V2, {0x0200, 0x0202}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.profile << " layout " << int(c.layout) << " "
                                    << testing::PrintToString(c.channels));
    BrioOptions options;
    options.rampBurstValues = false;
    Bench<BrioGen2Model> d(*BrioProfiles::Find(2, QString::fromLatin1(c.profile)), options);
    d.model.WriteMemory(0x1000, configure(d.model.ReadMemory(0x1000, 128), c.layout, c.channels));
    d.PowerOn();
    EXPECT_EQ(d.model.Streaming(), c.values > 0);
    const Bytes out = d.Wait(100ms);
    if (c.values == 0) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    const auto frames = d.model.SentFrames();
    ASSERT_FALSE(frames.empty());
    std::vector<std::uint16_t> expected;
    for (std::size_t i = 0; i < c.values; ++i) {
      const Bytes w = d.model.ReadMemory(c.channels[i], 2);
      expected.push_back(ArgoWire::AvoidSync(std::uint16_t(w[0] | w[1] << 8)));
    }
    EXPECT_EQ(frames.back().values, expected);
    EXPECT_EQ(out.size() % (2 + 2 * c.values), 0u);
    // The host's first byte ends the stream (the handshake's zero bytes).
    d.Ask({0x00});
    EXPECT_TRUE(d.Wait(100ms).empty());
  }
}

// A whole configuration write over RFC 2217: DTR powers the device, the
// handshake, the hand-over to the loader with the switch to even parity,
// password, erase, program and read-back, then a power cycle back into the
// application at no parity, which now reports the new image.
TEST(BrioGen2ModelRfc2217, ConfigurationWriteWithDtrAndParity) {
  auto model = std::make_shared<BrioGen2Model>(BrioProfiles::Default(2));
  Rfc2217Server server(model);
  ASSERT_TRUE(server.Start());
  Rfc2217Device port;
  ASSERT_EQ(port.Open(server.Url()), SerialStatus::Ok);
  ASSERT_EQ(port.Configure(Line9600(Parity::None)), SerialStatus::Ok);
  ASSERT_EQ(port.SetTimeouts(ReadTimeout(300)), SerialStatus::Ok);

  // Without DTR the device is dead.
  EXPECT_TRUE(Exchange(port, {0x01}, 2).empty());
  ASSERT_EQ(port.SetDtr(true), SerialStatus::Ok);
  ASSERT_TRUE(ExchangeUntil(port, Text("9WAIT"), Text("WAITING")));
  EXPECT_EQ(Exchange(port, {0x01}, 2), (Bytes{0x0D, 0xAC}));

  const Bytes config = Pattern(128, 0x42);
  const Bytes vectors = model->ReadMemory(0xFFE0, 32);
  int n = 0;
  ASSERT_EQ(port.Write(Bytes(std::begin(Loader::kEnterLoader), std::end(Loader::kEnterLoader)), n),
            SerialStatus::Ok);
  // The loader does not hear a host still at no parity.
  EXPECT_TRUE(Exchange(port, {Loader::kSync}, 1).empty());
  ASSERT_EQ(port.Configure(Line9600(Parity::Even)), SerialStatus::Ok);
  auto step = [&](const Bytes& frame, std::size_t replyLength = 1) {
    EXPECT_EQ(Exchange(port, {Loader::kSync}, 1), Bytes{0x90});
    return Exchange(port, frame, replyLength);
  };
  EXPECT_EQ(step(Loader::BuildFrame(Loader::kReceivePassword, 0xFFE0, 32, vectors)), Bytes{0x90});
  EXPECT_EQ(step(Loader::BuildFrame(Loader::kErase, 0x1000, Loader::kEraseSegmentArgument)), Bytes{0x90});
  EXPECT_EQ(step(Loader::BuildFrame(Loader::kProgram, 0x1000, 128, config)), Bytes{0x90});
  EXPECT_EQ(step(Loader::BuildFrame(Loader::kRead, 0x1000, 128), 134), Loader::BuildReadReply(config));
  EXPECT_EQ(model->ReadMemory(0x1000, 128), config);

  // Leaving the loader: parity back to none, DTR low and high again.
  ASSERT_EQ(port.Configure(Line9600(Parity::None)), SerialStatus::Ok);
  ASSERT_EQ(port.SetDtr(false), SerialStatus::Ok);
  ASSERT_EQ(port.SetDtr(true), SerialStatus::Ok);
  EXPECT_TRUE(ExchangeUntil(port, Text("9CONF"), config));
  EXPECT_EQ(model->CurrentMode(), BrioDeviceModel::Mode::Application);
  port.Close();
}

// In process on a fake line: a first-generation device streams at the line
// rate however fast it samples, and every frame arrives whole.
TEST(BrioGen1ModelFakeLine, BurstIsPacedAtTheLineRate) {
  BrioProfile p = BrioProfiles::Default(1);
  const std::uint16_t channels[] = {0x0200, 0x0202, 0x0204, 0x0200, 0x0202};
  BrioProfiles::SetBurstChannels(p, channels);
  BrioOptions options;
  options.framePeriodMs = 1;
  options.rampBurstValues = false;
  auto model = std::make_shared<BrioGen1Model>(p, options);
  auto line = FakeSerialLine::Create();
  FakeLineServer server(model, line);
  server.Start();
  FakeSerialDevice port(line);
  // The device can stream only after the port is open (DTR powers it).
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(port.Open(QStringLiteral("fake")), SerialStatus::Ok);
  ASSERT_EQ(port.Configure(Line9600(Parity::None, true)), SerialStatus::Ok);
  ASSERT_EQ(port.SetTimeouts(ReadTimeout(600)), SerialStatus::Ok);

  // Wait for the stream to start, then take one read's worth.
  ASSERT_EQ(ReadCount(port, 12).size(), 12u);
  const Bytes got = ReadCount(port, 4096);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // 960 bytes a second at most however late the reads ran; a busy machine
  // may deliver fewer.
  EXPECT_LE(double(got.size() + 12), seconds * 960.0 + 12.0);
  EXPECT_GE(double(got.size()), 0.4 * 0.6 * 960.0);
  Bytes frame = {0xAA, 0xAA, 0x0D, 0xAC, 0x05, 0x23, 0x0D, 0xB0, 0x0D, 0xAC, 0x05, 0x23};
  std::size_t at = 0;
  while (at < got.size() && !(got[at] == 0xAA && at + 1 < got.size() && got[at + 1] == 0xAA)) ++at;
  for (; at + frame.size() <= got.size(); at += frame.size())
    ASSERT_EQ(Bytes(got.begin() + std::ptrdiff_t(at), got.begin() + std::ptrdiff_t(at + frame.size())),
              frame);
  port.Close();
}

}  // namespace
