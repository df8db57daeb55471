#include "drivers/brio/brio_boot_loader.h"

namespace {

const QString kSucceeded = QStringLiteral(" erfolgreich");
const QString kFailed = QStringLiteral(" nicht erfolgreich");

QString Hex4(std::uint16_t value) {
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

std::span<const std::uint8_t> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

std::uint16_t TBrioBootLoader::BootloaderChecksum(std::span<const std::uint8_t> frame) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < frame.size(); i += 2) {
    const std::uint16_t high = i + 1 < frame.size() ? frame[i + 1] : 0;
    sum ^= static_cast<std::uint16_t>(frame[i] | (high << 8));
  }
  return static_cast<std::uint16_t>(sum ^ 0xFFFF);
}

QByteArray TBrioBootLoader::BuildFrame(std::uint8_t command, std::uint16_t address, std::uint16_t argument,
                                       std::span<const std::uint8_t> data) {
  const auto length = static_cast<char>(4 + data.size());
  QByteArray frame;
  frame.reserve(static_cast<qsizetype>(10 + data.size()));
  frame.append(static_cast<char>(kSync));
  frame.append(static_cast<char>(command));
  frame.append(length);
  frame.append(length);
  frame.append(static_cast<char>(address & 0xFF));
  frame.append(static_cast<char>(address >> 8));
  frame.append(static_cast<char>(argument & 0xFF));
  frame.append(static_cast<char>(argument >> 8));
  frame.append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
  const std::uint16_t sum = BootloaderChecksum(Bytes(frame));
  frame.append(static_cast<char>(sum & 0xFF));
  frame.append(static_cast<char>(sum >> 8));
  return frame;
}

std::optional<std::uint16_t> TBrioBootLoader::SegmentAddress(int segment, TBrioGeneration generation) {
  switch (segment) {
    case 1000:
      return 0x1000;
    case 1001:
      return 0x1080;
    case 1010:
      if (generation == TBrioGeneration::First) return 0x1040;
      return std::nullopt;
    case 1011:
      if (generation == TBrioGeneration::First) return 0x10C0;
      return std::nullopt;
    default:
      break;
  }
  // Main flash: 512-byte segments downwards from the top of memory.
  if (segment < 0 || segment > 31) return std::nullopt;
  return static_cast<std::uint16_t>(0x10000 - 512 * (segment + 1));
}

std::optional<QByteArray> TBrioBootLoader::ParseReadReply(const QByteArray& reply, int n) {
  if (n < 1 || n > kMaxBlockSize || reply.size() != n + 6) return std::nullopt;
  const std::span<const std::uint8_t> bytes = Bytes(reply);
  if (bytes[0] != kSync || bytes[2] != n || bytes[3] != n) return std::nullopt;
  const std::uint16_t sum = BootloaderChecksum(bytes.first(static_cast<std::size_t>(n) + 4));
  const std::uint16_t sent =
      static_cast<std::uint16_t>(bytes[std::size_t(n) + 4] | (bytes[std::size_t(n) + 5] << 8));
  if (sum != sent) return std::nullopt;
  return reply.mid(4, n);
}

bool TBrioBootLoader::SendUntilAck(const QByteArray& request, int timeoutMs, int tries) {
  for (int i = 0; i < tries; ++i) {
    if (!link_.LoaderPortOpen()) return false;
    const QByteArray reply = link_.LoaderExchange(request, timeoutMs, 1);
    if (reply.size() == 1 && static_cast<std::uint8_t>(reply[0]) == kAck) return true;
  }
  return false;
}

void TBrioBootLoader::SetProgress(int totalSteps, ProgressHandler handler) {
  stepsTotal_ = totalSteps;
  stepsDone_ = 0;
  progress_ = std::move(handler);
}

bool TBrioBootLoader::Step(bool ok) {
  if (ok && stepsDone_ < stepsTotal_) {
    ++stepsDone_;
    if (progress_) progress_(stepsDone_, stepsTotal_);
  }
  return ok;
}

void TBrioBootLoader::LogResult(const QString& text, bool ok) {
  link_.LoaderLog(text + (ok ? kSucceeded : kFailed));
}

bool TBrioBootLoader::StartBootloader() {
  if (!link_.LoaderPortOpen()) return false;
  const bool second = link_.LoaderGeneration() == TBrioGeneration::Second;
  link_.LoaderLog(QStringLiteral("Start BSL"));
  // The firmware's own command that hands the line to its loader.
  link_.LoaderSend(QByteArray("\x3F\x01\x02\x03\x04", 5));
  link_.LoaderEnableDtr();
  link_.LoaderSleep(100);
  link_.LoaderSetEvenParity(true);
  if (second) link_.LoaderSleep(100);
  link_.LoaderClearQueues();
  if (second) link_.LoaderSleep(100);
  if (SendUntilAck(QByteArray(1, static_cast<char>(kSync)), kStartTimeoutMs, kStartTries)) {
    link_.LoaderLog(QStringLiteral("Start BSL erfolgreich"));
    return Step(true);
  }
  link_.LoaderLog(QStringLiteral("Start BSL FEHLER"));
  RestoreParity();
  return false;
}

bool TBrioBootLoader::BootloaderSync() {
  const bool ok = SendUntilAck(QByteArray(1, static_cast<char>(kSync)), kSyncTimeoutMs, kSyncTries);
  link_.LoaderLog(ok ? QStringLiteral("BSLsync erfolgreich") : QStringLiteral("BSLsync nicht erfolgreich"));
  return ok;
}

bool TBrioBootLoader::SendBootloaderPassword(std::span<const std::uint8_t> vectorImage) {
  const QString text = QStringLiteral("Übertragung Passwort");
  // A password of the wrong size is never sent: the loader would take it as
  // a wrong one.
  if (vectorImage.size() != kPasswordSize) {
    LogResult(text, false);
    return false;
  }
  const bool ok = BootloaderSync() &&
                  SendUntilAck(BuildFrame(kReceivePassword, kPasswordAddress, kPasswordSize, vectorImage),
                               kPasswordTimeoutMs, kPasswordTries);
  LogResult(text, ok);
  return Step(ok);
}

bool TBrioBootLoader::EraseSegment(int segment) {
  const std::optional<std::uint16_t> address = SegmentAddress(segment, link_.LoaderGeneration());
  if (!address) {
    link_.LoaderLog(QStringLiteral("Erase Segment %1").arg(segment) + kFailed);
    return false;
  }
  // The argument 0xA502 selects erasing one segment.
  const bool ok =
      BootloaderSync() && SendUntilAck(BuildFrame(kErase, *address, 0xA502), kEraseTimeoutMs, kEraseTries);
  LogResult(QStringLiteral("Erase Segment bei Addr. : 0x") + Hex4(*address), ok);
  return Step(ok);
}

bool TBrioBootLoader::EraseSegments(std::span<const int> segments) {
  for (int segment : segments)
    if (!EraseSegment(segment)) return false;
  return true;
}

bool TBrioBootLoader::ProgramBlock(std::uint16_t address, std::span<const std::uint8_t> data) {
  const int n = static_cast<int>(data.size());
  bool ok = n >= 1 && n <= kMaxBlockSize;
  ok = ok && BootloaderSync() &&
       SendUntilAck(BuildFrame(kProgram, address, static_cast<std::uint16_t>(n), data), kProgramTimeoutMs,
                    kProgramTries);
  LogResult(QStringLiteral("Flashen von %1bytes ab Adr.  0x").arg(n) + Hex4(address), ok);
  return Step(ok);
}

QByteArray TBrioBootLoader::ReadBlock(std::uint16_t address, int n) {
  QByteArray data;
  if (n >= 1 && n <= kMaxBlockSize && BootloaderSync()) {
    const QByteArray request = BuildFrame(kRead, address, static_cast<std::uint16_t>(n));
    for (int i = 0; i < kReadTries && data.isEmpty() && link_.LoaderPortOpen(); ++i) {
      // Header, lengths and checksum must hold: a block read back here may
      // be programmed again after its segment was erased.
      if (std::optional<QByteArray> parsed =
              ParseReadReply(link_.LoaderExchange(request, kReadTimeoutMs, n + 6), n)) {
        data = *parsed;
      } else {
        // The rest of a spoiled reply would shift the next one: let it come
        // in and drop it before trying again.
        link_.LoaderSleep(kReadSettleMs);
        link_.LoaderClearQueues();
      }
    }
  }
  LogResult(QStringLiteral("Lesen von %1bytes ab Adr.  0x").arg(n) + Hex4(address), !data.isEmpty());
  Step(!data.isEmpty());
  return data;
}

bool TBrioBootLoader::LoadProgramCounter(std::uint16_t address) {
  return Step(BootloaderSync() &&
              SendUntilAck(BuildFrame(kLoadPc, address, 0), kLoadPcTimeoutMs, kLoadPcTries));
}

void TBrioBootLoader::RestoreParity() { link_.LoaderSetEvenParity(false); }
