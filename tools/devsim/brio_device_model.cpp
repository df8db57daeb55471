#include "tools/devsim/brio_device_model.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "tools/devsim/argo_wire.h"
#include "tools/devsim/brio_wire.h"
#include "tools/devsim/devsim_options.h"

using Parity = SerialLineSettings::Parity;

BrioDeviceModel::BrioDeviceModel(const BrioProfile& profile, const BrioOptions& options, int infoSegmentSize)
    : StreamingDeviceModel(options),
      profile_(profile),
      memory_(infoSegmentSize),
      loader_(memory_),
      live_(profile.live) {
  BrioProfiles::LoadInto(profile_, memory_);
  loader_.SetSyncGap(std::chrono::milliseconds(std::max(1, options_.syncGapMs)));
  loader_.SetFrameTimeout(std::chrono::milliseconds(std::max(1, options_.requestTimeoutMs)));
  loader_.SetMassEraseOnBadPassword(options_.massEraseOnBadPassword);
  if (options_.externalPower) PowerUp(Now());
}

BrioDeviceModel::~BrioDeviceModel() = default;

QString BrioDeviceModel::Name() const {
  return QStringLiteral("%1 (%2)").arg(
      profile_.generation == 1 ? QStringLiteral("brio") : QStringLiteral("brio2"), profile_.name);
}

void BrioDeviceModel::ClockReplaced() {
  // A device powered from the start boots on the test's clock.
  if (mode_ == Mode::Booting) bootAt_ = Now() + std::chrono::milliseconds(options_.bootMs);
}

// --- Power, parity and the loader --------------------------------------------

void BrioDeviceModel::Advance(Clock::time_point now, DeviceLink&) {
  if (mode_ == Mode::Booting && now >= bootAt_) Start(now);
}

void BrioDeviceModel::PowerUp(Clock::time_point now) {
  if (vanished_) return;
  mode_ = Mode::Booting;
  bootAt_ = now + std::chrono::milliseconds(std::max(0, options_.bootMs));
  request_.clear();
  delayed_.clear();
  streaming_ = false;
}

void BrioDeviceModel::PowerDown(DeviceLink& link) {
  mode_ = Mode::Off;
  streaming_ = false;
  delayed_.clear();
  request_.clear();
  loader_.Enter();
  // What the UART still held dies with the supply.
  link.DiscardOutput();
  memory_.ClearRam();
}

void BrioDeviceModel::Start(Clock::time_point now) {
  memory_.ClearRam();
  mode_ = Mode::Application;
  startedAt_ = now;
  request_.clear();
  StartFirmware(now);
  streamChannels_ = ConfiguredBurst();
  streaming_ = !streamChannels_.empty();
  stream_.Restart(now);
}

void BrioDeviceModel::EnterLoader() {
  mode_ = Mode::Loader;
  streaming_ = false;
  request_.clear();
  loader_.Enter();
}

bool BrioDeviceModel::ParityMatches() const {
  if (!options_.checkParity) return true;
  return hostParity_ == (mode_ == Mode::Loader ? Parity::Even : Parity::None);
}

void BrioDeviceModel::OnDtr(bool on, DeviceLink& link) {
  std::lock_guard lock(mutex_);
  if (options_.externalPower || vanished_) return;
  const Clock::time_point now = Now();
  Advance(now, link);
  if (on) {
    PowerUp(now);
  } else {
    PowerDown(link);
  }
}

void BrioDeviceModel::OnParity(SerialLineSettings::Parity parity, DeviceLink&) {
  std::lock_guard lock(mutex_);
  hostParity_ = parity;
}

// --- Receiving ---------------------------------------------------------------

void BrioDeviceModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Now();
  Advance(now, link);
  if (vanished_) return;
  for (std::size_t i = 0; i < bytes.size() && !vanished_; ++i) {
    if (mode_ == Mode::Off || mode_ == Mode::Booting || !ParityMatches()) {
      ++lostBytes_;
      continue;
    }
    if (streaming_ && !faults_.ignoreStreamStop) streaming_ = false;
    if (mode_ == Mode::Loader) {
      std::vector<BrioLoaderStep> steps;
      loader_.Receive(bytes.subspan(i, 1), now, steps);
      HandleLoaderSteps(steps, now, link);
      continue;
    }
    ExpireRequest(now);
    ParseByte(bytes[i], now, link);
  }
}

void BrioDeviceModel::ExpireRequest(Clock::time_point now) {
  if (request_.empty() || now - lastInput_ <= std::chrono::milliseconds(options_.requestTimeoutMs)) return;
  BrioRequestRecord record;
  record.bytes.swap(request_);
  record.name = QStringLiteral("Incomplete");
  record.outcome = BrioRequestOutcome::Incomplete;
  record.time = now;
  requests_.Add(std::move(record));
}

void BrioDeviceModel::ParseByte(std::uint8_t byte, Clock::time_point now, DeviceLink& link) {
  lastInput_ = now;
  if (request_.empty()) {
    if (byte == BrioWire::kIdle) return;
    const int args = ArgumentCount(byte);
    if (args < 0) {
      BrioRequestRecord record;
      record.bytes = {byte};
      record.name = QStringLiteral("Unknown");
      record.outcome = BrioRequestOutcome::Ignored;
      record.time = now;
      requests_.Add(std::move(record));
      return;
    }
    requestLength_ = 1 + std::size_t(args);
  }
  request_.push_back(byte);
  if (request_.size() == requestLength_) FinishRequest(now, link);
}

bool BrioDeviceModel::PassesRequestFaults(BrioRequestRecord& record, DeviceLink&) {
  switch (faults_.TakeRequestFault()) {
    case ModelFaults::RequestFault::None:
      return true;
    case ModelFaults::RequestFault::Vanish:
      record.outcome = BrioRequestOutcome::Vanished;
      return false;
    case ModelFaults::RequestFault::Ignore:
      record.outcome = BrioRequestOutcome::NotAnswered;
      return false;
  }
  return true;
}

void BrioDeviceModel::FinishRequest(Clock::time_point now, DeviceLink& link) {
  BrioRequestRecord record;
  record.bytes.swap(request_);
  record.time = now;
  if (!PassesRequestFaults(record, link)) {
    // Named without being carried out.
    record.name = QStringLiteral("(fault)");
    const bool vanish = record.outcome == BrioRequestOutcome::Vanished;
    requests_.Add(std::move(record));
    if (vanish) DoVanish(link);
    return;
  }
  Outcome o = Execute(record.bytes, now);
  record.name = o.name;
  record.reply = o.reply;
  record.outcome = o.outcome;
  if (o.outcome == BrioRequestOutcome::Answered) {
    if (faults_.silent) {
      record.outcome = BrioRequestOutcome::NotAnswered;
    } else {
      QueueReply(std::move(o.reply), now, link);
    }
  }
  requests_.Add(std::move(record));
  if (o.enterLoader) EnterLoader();
}

void BrioDeviceModel::HandleLoaderSteps(std::vector<BrioLoaderStep>& steps, Clock::time_point now,
                                        DeviceLink& link) {
  for (BrioLoaderStep& step : steps) {
    if (vanished_) return;
    BrioRequestRecord record;
    record.bytes = step.bytes;
    record.name = step.name;
    record.loader = true;
    record.reply = step.reply;
    record.time = now;
    switch (step.outcome) {
      case BrioLoaderStep::Outcome::Acknowledged:
        record.outcome = BrioRequestOutcome::Answered;
        break;
      case BrioLoaderStep::Outcome::BadFrame:
        record.outcome = BrioRequestOutcome::BadFrame;
        break;
      case BrioLoaderStep::Outcome::Refused:
        record.outcome = BrioRequestOutcome::Refused;
        break;
      case BrioLoaderStep::Outcome::Incomplete:
        record.outcome = BrioRequestOutcome::Incomplete;
        break;
    }
    if (step.stoppedAtLimit) {
      record.outcome = BrioRequestOutcome::Vanished;
      requests_.Add(std::move(record));
      DoVanish(link);
      return;
    }
    if (record.outcome == BrioRequestOutcome::Incomplete) {
      requests_.Add(std::move(record));
      continue;
    }
    // The loader has carried the step out; a fault only loses its answer.
    if (!PassesRequestFaults(record, link)) {
      const bool vanish = record.outcome == BrioRequestOutcome::Vanished;
      requests_.Add(std::move(record));
      if (vanish) {
        DoVanish(link);
        return;
      }
      continue;
    }
    if (faults_.silent) {
      record.outcome = BrioRequestOutcome::NotAnswered;
    } else {
      QueueReply(step.reply, now, link);
    }
    requests_.Add(std::move(record));
    // The application runs at 8N1 from the ACK on.
    if (step.startsApplication) Start(now);
  }
}

BrioDeviceModel::Outcome BrioDeviceModel::EnterLoaderRequest(std::span<const std::uint8_t> request) {
  Outcome o;
  o.name = QStringLiteral("EnterLoader");
  const std::span<const std::uint8_t> expected(BrioWire::Loader::kEnterLoader);
  if (!std::equal(request.begin(), request.end(), expected.begin(), expected.end())) {
    o.outcome = BrioRequestOutcome::Ignored;
    return o;
  }
  o.outcome = BrioRequestOutcome::NoReply;
  o.enterLoader = true;
  return o;
}

// --- Sending -----------------------------------------------------------------

void BrioDeviceModel::QueueReply(std::vector<std::uint8_t> reply, Clock::time_point now, DeviceLink& link) {
  const int delayMs = shaper_.Shape(reply, faults_);
  if (reply.empty()) return;
  const bool loaderParity = mode_ == Mode::Loader;
  if (delayMs > 0 || !delayed_.empty()) {
    delayed_.push_back({now + std::chrono::milliseconds(delayMs), std::move(reply), loaderParity});
    return;
  }
  Emit(reply, loaderParity, link);
}

void BrioDeviceModel::Emit(std::span<const std::uint8_t> bytes, bool loaderParity, DeviceLink& link) {
  if (bytes.empty() || vanished_ || faults_.silent || mode_ == Mode::Off) return;
  if (options_.checkParity && hostParity_ != (loaderParity ? Parity::Even : Parity::None)) {
    lostReplyBytes_ += bytes.size();
    return;
  }
  link.Send(bytes);
}

void BrioDeviceModel::DoVanish(DeviceLink& link) {
  vanished_ = true;
  streaming_ = false;
  delayed_.clear();
  request_.clear();
  link.Vanish();
}

void BrioDeviceModel::StreamFrames(Clock::time_point now, DeviceLink& link) {
  if (!streaming_ || vanished_ || faults_.silent || !delayed_.empty()) return;
  const std::size_t frameSize = (options_.tripleSync ? 3 : 2) + 2 * streamChannels_.size();
  const bool going = stream_.Send(
      now, std::chrono::milliseconds(std::max(1, options_.framePeriodMs)), frameSize, link.PendingOutput(),
      faults_, shaper_,
      [this](BrioSentFrame& frame) {
        frame.tripleSync = options_.tripleSync;
        for (const std::uint16_t address : streamChannels_) {
          std::uint16_t w = memory_.Word(address);
          if (options_.rampBurstValues) w = std::uint16_t(w + frame.index % 100);
          frame.values.push_back(ArgoWire::AvoidSync(w));
        }
        return ArgoWire::BuildBurstFrame(frame.values, frame.tripleSync);
      },
      [this, &link](std::span<const std::uint8_t> bytes) { Emit(bytes, false, link); });
  if (!going) DoVanish(link);
}

void BrioDeviceModel::Tick(Clock::time_point now, DeviceLink& link) {
  std::lock_guard lock(mutex_);
  if (vanished_) return;
  Advance(now, link);
  ExpireRequest(now);
  if (mode_ == Mode::Loader) {
    std::vector<BrioLoaderStep> steps;
    loader_.Tick(now, steps);
    HandleLoaderSteps(steps, now, link);
  }
  while (!vanished_ && !delayed_.empty() && delayed_.front().due <= now) {
    Emit(delayed_.front().bytes, delayed_.front().loaderParity, link);
    delayed_.pop_front();
  }
  StreamFrames(now, link);
}

bool BrioDeviceModel::WantsTicks() const {
  std::lock_guard lock(mutex_);
  if (vanished_) return false;
  return mode_ == Mode::Booting || streaming_ || !delayed_.empty() || !request_.empty() ||
         (mode_ == Mode::Loader && loader_.WantsTicks());
}

// --- State for tests -----------------------------------------------------------

BrioDeviceModel::Mode BrioDeviceModel::CurrentMode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

bool BrioDeviceModel::PasswordAccepted() const {
  std::lock_guard lock(mutex_);
  return mode_ == Mode::Loader && loader_.PasswordAccepted();
}

BrioDeviceModel::Clock::time_point BrioDeviceModel::StartedAt() const {
  std::lock_guard lock(mutex_);
  return startedAt_;
}

std::vector<std::uint8_t> BrioDeviceModel::ReadMemory(std::uint16_t address, std::size_t length) const {
  std::lock_guard lock(mutex_);
  return memory_.Block(address, length);
}

std::vector<std::uint8_t> BrioDeviceModel::Configuration() const {
  return ReadMemory(BrioWire::kConfigAddress, BrioWire::kImageSize);
}

std::vector<std::uint8_t> BrioDeviceModel::Calibration() const {
  return ReadMemory(BrioWire::kCalibrationAddress, BrioWire::kImageSize);
}

void BrioDeviceModel::WriteMemory(std::uint16_t address, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  memory_.Load(address, bytes);
}

std::uint64_t BrioDeviceModel::ErasedSegments() const {
  std::lock_guard lock(mutex_);
  return memory_.ErasedSegments();
}

std::uint64_t BrioDeviceModel::ProgrammedBytes() const {
  std::lock_guard lock(mutex_);
  return memory_.ProgrammedBytes();
}

BrioLiveValues BrioDeviceModel::LiveValues() const {
  std::lock_guard lock(mutex_);
  return live_;
}

void BrioDeviceModel::SetLiveValues(const BrioLiveValues& values) {
  std::lock_guard lock(mutex_);
  live_ = values;
  if (mode_ == Mode::Application) WriteLiveValues();
}

void BrioDeviceModel::FaultsReplaced() {
  loader_.RefuseNextFrames(std::max(0, faults_.nakLoaderFrames));
  loader_.SetProgramLimit(faults_.vanishAfterProgrammedBytes > 0 ? faults_.vanishAfterProgrammedBytes : -1);
}

std::uint64_t BrioDeviceModel::LostBytes() const {
  std::lock_guard lock(mutex_);
  return lostBytes_;
}

std::uint64_t BrioDeviceModel::LostReplyBytes() const {
  std::lock_guard lock(mutex_);
  return lostReplyBytes_;
}

// --- Command-line options ----------------------------------------------------

QString BrioDeviceModel::OptionsHelp(int generation) {
  return QStringLiteral(
             "%1 options:\n"
             "  --profile NAME                 %2\n"
             "  --serial N                     serial number (24 bits)\n"
             "  --burst A,B,...                stream the words at these addresses after power-up\n"
             "  --poke ADDR=VALUE              set a flash or ROM byte (e.g. 0x0FF0=0xF4)\n"
             "  --config HEX                   the configuration segment (0x1000), 256 hex digits\n"
             "  --config-word OFFSET=VALUE     a configuration word (little-endian, offset 0..126)\n"
             "  --cal-word ADDR=VALUE          a calibration word (little-endian, 0x1080..0x10FE)\n"
             "%3"
             "  --external-power               powered without DTR (for a pseudo-terminal)\n"
             "  --ignore-parity                accept any parity (for a pseudo-terminal)\n"
             "  --boot-ms N                    start-up time after power-on (default 50)\n"
             "  --wait-window-ms N             \"9WAIT\" answered this long after a start (default 1500)\n"
             "  --frame-period-ms N            burst frame period while the line keeps up (default 20)\n"
             "  --triple-sync                  three sync bytes ahead of every burst frame\n"
             "  --no-ramp                      burst values stay at the memory values\n"
             "  --no-mass-erase                a wrong loader password erases nothing\n"
             "  --silent                       never answer\n"
             "  --late MS                      answer MS milliseconds late\n"
             "  --short N                      cut N bytes off every reply\n"
             "  --extra N                      append N random bytes to every reply\n"
             "  --noise N                      N random bytes ahead of every reply\n"
             "  --ignore-requests N            leave the next N requests unanswered\n"
             "  --ignore-wait N                leave the next N \"9WAIT\" unanswered\n"
             "  --ignore-stop                  input does not stop the stream\n"
             "  --stream-noise N               noise after every N-th burst frame\n"
             "  --nak-frames N                 the loader refuses the next N frames\n"
             "  --vanish-after-bytes N         hang up after N streamed bytes\n"
             "  --vanish-after-requests N      hang up on the N-th request\n"
             "  --vanish-after-programmed N    hang up once N flash bytes were programmed\n")
      .arg(generation == 1 ? QStringLiteral("brio") : QStringLiteral("brio2"),
           BrioProfiles::Names(generation).join(QStringLiteral(", ")),
           generation == 1
               ? QStringLiteral(
                     "  --output-range LOW,HIGH        analog output range in °C (offsets 118, 120)\n"
                     "  --cal-w N                      converter counts per 4096 mV (0x10D0)\n"
                     "  --cal-s N                      converter value at -1000 mV, signed (0x10D2)\n"
                     "  --variant N                    model variant, signed (0x10D6)\n"
                     "  --input-scaling1 N             input scaling word 1 (0x10CC)\n"
                     "  --input-scaling2 N             input scaling word 2 (0x10BE)\n")
               : QString());
}

bool BrioDeviceModel::ParseOptions(const QStringList& options, int generation, BrioProfile& profile,
                                   BrioOptions& opts, BrioFaults& faults,
                                   std::vector<std::pair<std::uint16_t, std::uint8_t>>& pokes,
                                   QString* error) {
  auto fail = [error](const QString& text) {
    if (error) *error = text;
    return false;
  };
  const QStringList args = SplitOptionValues(options);
  auto number = [](const QString& text, long long low, long long high, long long& out) {
    bool ok = false;
    out = text.trimmed().toLongLong(&ok, 0);
    return ok && out >= low && out <= high;
  };
  // Options with a numeric value and where it goes.
  struct Numeric {
    const char* name;
    long long low;
    long long high;
    std::function<void(long long)> set;
  };
  const std::vector<Numeric> numeric = {
      {"--serial", 0, 0xFFFFFF, [&](long long v) { BrioProfiles::SetSerial(profile, std::uint32_t(v)); }},
      {"--boot-ms", 0, 10'000, [&](long long v) { opts.bootMs = int(v); }},
      {"--wait-window-ms", 1, 600'000, [&](long long v) { opts.waitWindowMs = int(v); }},
      {"--frame-period-ms", 1, 10'000, [&](long long v) { opts.framePeriodMs = int(v); }},
      {"--late", 0, 600'000, [&](long long v) { faults.lateReplyMs = int(v); }},
      {"--short", 0, 1024, [&](long long v) { faults.shortReplyBytes = int(v); }},
      {"--extra", 0, 1024, [&](long long v) { faults.extraReplyBytes = int(v); }},
      {"--noise", 0, 1024, [&](long long v) { faults.noiseBeforeReply = int(v); }},
      {"--ignore-requests", 0, 1'000'000, [&](long long v) { faults.ignoreRequests = int(v); }},
      {"--ignore-wait", 0, 1'000'000, [&](long long v) { faults.ignoreWait = int(v); }},
      {"--stream-noise", 0, 1'000'000, [&](long long v) { faults.streamNoiseEveryFrames = int(v); }},
      {"--nak-frames", 0, 1'000'000, [&](long long v) { faults.nakLoaderFrames = int(v); }},
      {"--vanish-after-bytes", 0, 1LL << 40, [&](long long v) { faults.vanishAfterStreamBytes = v; }},
      {"--vanish-after-requests", 0, 1'000'000'000,
       [&](long long v) { faults.vanishAfterRequests = int(v); }},
      {"--vanish-after-programmed", 0, 1LL << 40,
       [&](long long v) { faults.vanishAfterProgrammedBytes = v; }},
  };
  // Calibration words of the first generation (signed ones as 16-bit two's complement).
  const auto calibration = [&](std::uint16_t address) {
    return [&profile, address](long long v) {
      BrioProfiles::SetCalibrationWord(profile, address, std::uint16_t(v & 0xFFFF));
    };
  };
  const std::vector<Numeric> firstGeneration = {
      {"--cal-w", 0, 0xFFFF, calibration(BrioWire::kGen1ConverterSpan)},
      {"--cal-s", -32768, 32767, calibration(BrioWire::kGen1ConverterZero)},
      {"--variant", -32768, 32767, calibration(BrioWire::kGen1Variant)},
      {"--input-scaling1", 0, 0xFFFF, calibration(BrioWire::kGen1InputScaling1)},
      {"--input-scaling2", 0, 0xFFFF, calibration(BrioWire::kGen1InputScaling2)},
  };
  const std::vector<std::pair<const char*, std::function<void()>>> flags = {
      {"--external-power", [&] { opts.externalPower = true; }},
      {"--ignore-parity", [&] { opts.checkParity = false; }},
      {"--triple-sync", [&] { opts.tripleSync = true; }},
      {"--no-ramp", [&] { opts.rampBurstValues = false; }},
      {"--no-mass-erase", [&] { opts.massEraseOnBadPassword = false; }},
      {"--silent", [&] { faults.silent = true; }},
      {"--ignore-stop", [&] { faults.ignoreStreamStop = true; }},
  };

  // The profile comes first, so that the other options change it.
  for (qsizetype i = 0; i + 1 < args.size(); ++i) {
    if (args.at(i) != QStringLiteral("--profile")) continue;
    const auto found = BrioProfiles::Find(generation, args.at(i + 1));
    if (!found) {
      return fail(QStringLiteral("unknown profile %1 (known: %2)")
                      .arg(args.at(i + 1), BrioProfiles::Names(generation).join(QStringLiteral(", "))));
    }
    profile = *found;
  }

  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& name = args.at(i);
    auto value = [&](QString& out) {
      if (i + 1 >= args.size()) return false;
      out = args.at(++i);
      return true;
    };
    QString text;
    bool handled = false;
    for (const auto& [flag, set] : flags) {
      if (name == QLatin1String(flag)) {
        set();
        handled = true;
      }
    }
    for (const Numeric& n : firstGeneration) {
      if (name != QLatin1String(n.name)) continue;
      if (generation != 1)
        return fail(QStringLiteral("option %1 is for the first generation only").arg(name));
      long long v = 0;
      if (!value(text)) return fail(QStringLiteral("option %1 needs a value").arg(name));
      if (!number(text, n.low, n.high, v))
        return fail(
            QStringLiteral("invalid value for %1: %2 (%3..%4)").arg(name, text).arg(n.low).arg(n.high));
      n.set(v);
      handled = true;
    }
    for (const Numeric& n : numeric) {
      if (name != QLatin1String(n.name)) continue;
      long long v = 0;
      if (!value(text)) return fail(QStringLiteral("option %1 needs a value").arg(name));
      if (!number(text, n.low, n.high, v))
        return fail(
            QStringLiteral("invalid value for %1: %2 (%3..%4)").arg(name, text).arg(n.low).arg(n.high));
      n.set(v);
      handled = true;
    }
    if (handled) continue;
    if (name == QStringLiteral("--profile")) {
      if (!value(text)) return fail(QStringLiteral("option --profile needs a name"));  // taken above
    } else if (name == QStringLiteral("--burst")) {
      if (!value(text)) return fail(QStringLiteral("option --burst needs a list of addresses"));
      std::vector<std::uint16_t> channels;
      for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        long long v = 0;
        if (!number(part, 1, 0xFFFF, v) || channels.size() >= 8)
          return fail(QStringLiteral("invalid burst channel list: %1").arg(text));
        channels.push_back(std::uint16_t(v));
      }
      BrioProfiles::SetBurstChannels(profile, channels);
    } else if (name == QStringLiteral("--config")) {
      if (!value(text)) return fail(QStringLiteral("option --config needs 256 hex digits"));
      const QByteArray hex = text.toLatin1();
      const QByteArray bytes = QByteArray::fromHex(hex);
      bool digits = hex.size() == 2 * BrioWire::kImageSize;
      for (const char c : hex) digits = digits && std::isxdigit(static_cast<unsigned char>(c));
      if (!digits || bytes.size() != BrioWire::kImageSize)
        return fail(QStringLiteral("invalid --config value: 128 bytes as 256 hex digits expected"));
      BrioProfiles::SetConfiguration(
          profile,
          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
    } else if (name == QStringLiteral("--config-word") || name == QStringLiteral("--cal-word")) {
      const bool config = name == QStringLiteral("--config-word");
      if (!value(text))
        return fail(QStringLiteral("option %1 needs %2=VALUE")
                        .arg(name, config ? QStringLiteral("OFFSET") : QStringLiteral("ADDR")));
      const QStringList parts = text.split(QLatin1Char('='));
      long long where = 0;
      long long word = 0;
      const bool ok =
          parts.size() == 2 && number(parts.at(1), 0, 0xFFFF, word) &&
          (config ? number(parts.at(0), 0, BrioWire::kImageSize - 2, where) &&
                        BrioProfiles::SetConfigurationWord(profile, int(where), std::uint16_t(word))
                  : number(parts.at(0), 0, 0xFFFF, where) &&
                        BrioProfiles::SetCalibrationWord(profile, std::uint16_t(where), std::uint16_t(word)));
      if (!ok)
        return fail(
            config ? QStringLiteral("invalid --config-word value: %1 (OFFSET=VALUE, offset 0..126)").arg(text)
                   : QStringLiteral("invalid --cal-word value: %1 (ADDR=VALUE, address 0x1080..0x10FE)")
                         .arg(text));
    } else if (name == QStringLiteral("--output-range")) {
      if (generation != 1)
        return fail(QStringLiteral("option %1 is for the first generation only").arg(name));
      if (!value(text)) return fail(QStringLiteral("option --output-range needs LOW,HIGH"));
      const QStringList parts = text.split(QLatin1Char(','));
      bool lowOk = false;
      bool highOk = false;
      const double low = parts.size() == 2 ? parts.at(0).trimmed().toDouble(&lowOk) : 0.0;
      const double high = parts.size() == 2 ? parts.at(1).trimmed().toDouble(&highOk) : 0.0;
      // Words of tenths above -100 °C.
      if (!lowOk || !highOk || low < -100.0 || high < -100.0 || low > 6453.5 || high > 6453.5)
        return fail(QStringLiteral("invalid --output-range value: %1 (LOW,HIGH in °C)").arg(text));
      BrioProfiles::SetOutputRange(profile, low, high);
    } else if (name == QStringLiteral("--poke")) {
      if (!value(text)) return fail(QStringLiteral("option --poke needs ADDR=VALUE"));
      const QStringList parts = text.split(QLatin1Char('='));
      long long address = 0;
      long long byte = 0;
      if (parts.size() != 2 || !number(parts.at(0), 0, 0xFFFF, address) ||
          !number(parts.at(1), 0, 0xFF, byte))
        return fail(QStringLiteral("invalid --poke value: %1 (ADDR=VALUE)").arg(text));
      pokes.emplace_back(std::uint16_t(address), std::uint8_t(byte));
    } else {
      return fail(QStringLiteral("unknown option for the %1 model: %2\n%3")
                      .arg(generation == 1 ? QStringLiteral("brio") : QStringLiteral("brio2"), name,
                           OptionsHelp(generation)));
    }
  }
  return true;
}
