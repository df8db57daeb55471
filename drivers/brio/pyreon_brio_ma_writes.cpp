// Writers of the second-generation Brio driver: parameter images
// programmed through the device's bootstrap loader, and the burst start
// that programs its channel list the same way.

#include <QThread>
#include <QTimer>
#include <algorithm>

#include "drivers/brio/pyreon_brio_ma.h"
#include "platform/logger.h"
#include "transport/com_port.h"

namespace {

constexpr int kBlockAttempts = 4;
constexpr int kConfigSegment = 1000;       // 0x1000
constexpr int kCalibrationSegment = 1001;  // 0x1080
constexpr int kExtendedSegment = 31;       // 0xC000-0xC1FF
constexpr std::uint16_t kConfigAddress = 0x1000;
constexpr std::uint16_t kCalibrationAddress = 0x1080;
constexpr std::uint16_t kExtendedAddress = 0xC000;

void PutWord(std::array<std::uint8_t, 128>& data, std::size_t at, std::uint16_t w) {
  data[at] = static_cast<std::uint8_t>(w & 0xFF);
  data[at + 1] = static_cast<std::uint8_t>(w >> 8);
}

std::uint16_t GetWord(const std::array<std::uint8_t, 128>& data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

// Channel words before the first zero.
int ChannelsBeforeZero(std::span<const std::uint16_t> codes) {
  int n = 0;
  while (n < static_cast<int>(codes.size()) && codes[static_cast<std::size_t>(n)] != 0) ++n;
  return n;
}

}  // namespace

QByteArray TpyreonBrio_mA::LoaderExchange(const QByteArray& request, int timeoutMs, int expected) {
  BrioMaReply reply;
  SendAndReceive(request, timeoutMs, reply, expected);
  if (reply.Failed) return QByteArray();
  return QByteArray(reinterpret_cast<const char*>(reply.Data.data()), expected);
}

void TpyreonBrio_mA::LoaderSend(const QByteArray& request) {
  BrioMaReply reply;
  SendAndReceive(request, 10, reply, 0);
}

void TpyreonBrio_mA::LoaderEnableDtr() {
  if (!PortOpen()) return;
  try {
    port_->FlowControl().SetControlDTR(dtrEnable);
    port_->SetDTR(true);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("enabling DTR"), e);
  }
  dtrOn_ = true;
}

void TpyreonBrio_mA::LoaderSetEvenParity(bool even) {
  if (!PortOpen()) return;
  try {
    port_->Parity().SetBits(even ? prEven : prNone);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("changing the parity"), e);
  }
}

bool TpyreonBrio_mA::WriteFlashBlock(TBrioBootLoader& loader, int segment, std::uint16_t address,
                                     const std::array<std::uint8_t, 128>& data) {
  for (int attempt = 0; attempt < kBlockAttempts && PortOpen() && !Cancelled(); ++attempt)
    if (loader.EraseSegment(segment) && loader.ProgramBlock(address, data)) return true;
  return false;
}

bool TpyreonBrio_mA::WriteExtendedBlock(TBrioBootLoader& loader, const std::array<std::uint8_t, 256>& data) {
  // The segment also holds 256 bytes the program does not edit: they are
  // read back (verified) and programmed again with the image. Without both
  // halves nothing is erased.
  const QByteArray first = loader.ReadBlock(0xC100, 128);
  if (first.size() != 128) return false;
  const QByteArray second = loader.ReadBlock(0xC180, 128);
  if (second.size() != 128) return false;
  std::array<std::uint8_t, 512> segment{};
  std::copy(data.begin(), data.end(), segment.begin());
  std::copy(first.begin(), first.end(), segment.begin() + 256);
  std::copy(second.begin(), second.end(), segment.begin() + 384);
  const std::span<const std::uint8_t> all(segment);
  for (int attempt = 0; attempt < kBlockAttempts && PortOpen() && !Cancelled(); ++attempt) {
    if (loader.EraseSegment(kExtendedSegment) && loader.EraseSegment(kExtendedSegment) &&
        loader.ProgramBlock(kExtendedAddress, all.subspan(0, 200)) &&
        loader.ProgramBlock(static_cast<std::uint16_t>(kExtendedAddress + 200), all.subspan(200, 200)) &&
        loader.ProgramBlock(static_cast<std::uint16_t>(kExtendedAddress + 400), all.subspan(400, 112)))
      return true;
  }
  return false;
}

int TpyreonBrio_mA::ImageWriteSteps(bool config, bool extended, bool calibration) {
  return 2 + (config ? 2 : 0) + (extended ? 7 : 0) + (calibration ? 2 : 0);
}

bool TpyreonBrio_mA::WriteImages(const BrioConfigImage* config, bool zeroBytes40,
                                 const BrioExtendedImage* extended, const BrioCalibrationImage* calibration) {
  // The loader takes the vector image as its password: one that was not
  // read from this device in this connection could be wrong, and a wrong
  // password may make the loader erase the whole flash.
  // The images written must come from this connection's reads as well (the
  // caller edits copies of them; copies 2 to 4 carry no flag of their own,
  // so the driver's read flags decide).
  if (!PortOpen() || !vectors_.Loaded || (config && !config_[0].Loaded) || (extended && !extended_.Loaded) ||
      (calibration && !calibration_[0].Loaded && !newCalibration_.Loaded)) {
    Logger::Warning(QStringLiteral("COM") + QString::number(comPort_),
                    QStringLiteral("write refused: the images were not read from the device"));
    return false;
  }
  const std::array<std::uint8_t, 32> password = vectors_.Data;
  TBrioNotify& found = notify_[bnDeviceFound];
  TBrioNotify& lost = notify_[bnDisconnected];
  const bool foundEnabled = found.Enabled;
  const bool lostEnabled = lost.Enabled;
  found.Enabled = false;
  lost.Enabled = false;

  bool result = false;
  TBrioBootLoader loader(*this);
  loader.SetProgress(ImageWriteSteps(config != nullptr, extended != nullptr, calibration != nullptr),
                     [this](int done, int total) { ReportProgress(done * 100 / total); });
  if (loader.StartBootloader()) {
    bool ok = loader.SendBootloaderPassword(password);
    if (ok && config) {
      std::array<std::uint8_t, 128> data = config->Data;
      if (zeroBytes40) data[40] = data[41] = 0;
      ok = WriteFlashBlock(loader, kConfigSegment, kConfigAddress, data);
    }
    if (ok && extended) ok = WriteExtendedBlock(loader, extended->Data);
    if (ok && calibration)
      ok = WriteFlashBlock(loader, kCalibrationSegment, kCalibrationAddress, calibration->Data);
    if (ok) {
      PowerCycle(500);
      connected_ = false;
      connectPoll_->start();
      result = true;
    }
    loader.RestoreParity();
  }
  found.Enabled = foundEnabled;
  lost.Enabled = lostEnabled;
  return result;
}

bool TpyreonBrio_mA::WriteCalibrationImage(const BrioCalibrationImage& newCalibration) {
  return WriteImages(nullptr, false, nullptr, &newCalibration);
}

bool TpyreonBrio_mA::WriteDazo4_20Configuration(const BrioConfigImage& config) {
  return WriteImages(&config, true, nullptr, nullptr);
}

bool TpyreonBrio_mA::WriteBriov2Configuration(const BrioConfigImage& config) {
  return WriteImages(&config, false, nullptr, nullptr);
}

bool TpyreonBrio_mA::WriteKoraConfiguration(const BrioConfigImage& config) {
  return WriteImages(&config, false, nullptr, nullptr);
}

bool TpyreonBrio_mA::WriteConfigurationAndCalibration(const BrioConfigImage& config,
                                                      const BrioCalibrationImage& calibration) {
  return WriteImages(&config, true, nullptr, &calibration);
}

bool TpyreonBrio_mA::WriteConfigurationAndNewCalibration(const BrioConfigImage& config,
                                                         const BrioCalibrationImage& newCalibration) {
  return WriteImages(&config, true, nullptr, &newCalibration);
}

bool TpyreonBrio_mA::WriteKoraImages(const BrioConfigImage& config, const BrioCalibrationImage& calibration) {
  return WriteImages(&config, false, nullptr, &calibration);
}

bool TpyreonBrio_mA::WriteBriov2Images(const BrioConfigImage& config, const BrioExtendedImage& extended,
                                       const BrioCalibrationImage& calibration) {
  return WriteImages(&config, false, &extended, &calibration);
}

// --- Burst start ------------------------------------------------------------------------------

bool TpyreonBrio_mA::StartBurst(std::uint16_t c1, std::uint16_t c2, std::uint16_t c3) {
  return ProgramBurst({c1, c2, c3, 0, 0, 0, 0, 0}, false);
}

bool TpyreonBrio_mA::StartBurstExtended(std::array<std::uint16_t, 8> codes) {
  if (HasExtendedIdentity())
    for (auto& c : codes)
      if (c >= 0x0270) c = static_cast<std::uint16_t>(c - 4);
  return ProgramBurst(codes, true);
}

bool TpyreonBrio_mA::ProgramBurst(const std::array<std::uint16_t, 8>& codes, bool twoWireLayout) {
  // Nothing is programmed from images not read in this connection. Copies 2
  // to 4 never get a flag of their own: they hold the data of copy 1's read.
  if (!PortOpen() || !config_[0].Loaded || !vectors_.Loaded) return false;
  const std::span<const std::uint16_t> all(codes);
  if (twoWireLayout && (IsDuna2Wv2() || IsDuna2W2Mv2())) {
    BrioConfigImage& copy = config_[3];
    for (std::size_t k = 0; k < 8; ++k) PutWord(copy.Data, 42 + 2 * k, codes[k]);
    PutWord(copy.Data, 78, static_cast<std::uint16_t>((GetWord(copy.Data, 78) & ~0x0018) | 0x0008));
    return FinishBurstStart(WriteKoraConfiguration(copy), ChannelsBeforeZero(all));
  }
  if (!(IsBriov2() || IsDunav2())) {
    // Copy 1 carries three channels: only those count for the frame length.
    BrioConfigImage& copy = config_[0];
    for (std::size_t k = 0; k < 3; ++k) PutWord(copy.Data, 34 + 2 * k, codes[k]);
    std::fill(copy.Data.begin() + 40, copy.Data.begin() + 46, 0);
    copy.Data[32] |= 0x88;
    return FinishBurstStart(WriteDazo4_20Configuration(copy), ChannelsBeforeZero(all.first(3)));
  }
  BrioConfigImage& copy = config_[1];
  for (std::size_t k = 0; k < 8; ++k) PutWord(copy.Data, 42 + 2 * k, codes[k]);
  PutWord(copy.Data, 82, static_cast<std::uint16_t>((GetWord(copy.Data, 82) & ~0x0018) | 0x0018));
  return FinishBurstStart(WriteBriov2Configuration(copy), ChannelsBeforeZero(all));
}

bool TpyreonBrio_mA::FinishBurstStart(bool written, int channels) {
  PrepareBurst();
  SleepMs(100);
  PowerOnHandshake(false);
  BeginBurstReception(channels);
  return written;
}
