#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

#include "drivers/brio/pyreon_brio.h"
#include "measurement/channel_conversion.h"
#include "measurement/session_family.h"

// The first-generation Brio family (type codes 3 and 4) behind the family
// interface: one `TpyreonBrio` on its own device session thread. The
// driver's events come back as the interface's notifications (OnComOpen,
// OnConnect, OnProgress while the images are read, OnAllLoaded,
// OnBurstStart, OnError, OnChannelValues); burst entries leave the session
// through the bounded record queue.
class BrioFamily : public SessionFamily<TpyreonBrio> {
 public:
  // The channels a burst streams: target, internal and actual temperature
  // (the list ends at its first 0, so the actual temperature is not sent).
  static constexpr std::array<std::uint16_t, 5> kBurstChannels{512, 514, 0, 0, 516};
  // A device whose boot ROM reads this at 0x0FF0 is not one of this family.
  static constexpr std::uint16_t kChipIdAddress = 0x0FF0;
  static constexpr int kForeignChipId = 0xF4;

  // `owner` is the GUI-side object the session's reports are delivered to;
  // `typeCode` the model stored for the device (3 or 4): the firmware does
  // not tell them apart.
  explicit BrioFamily(QObject* owner = nullptr, std::uint8_t typeCode = 3);
  ~BrioFamily() override;

  // Opens the port; OnComOpen follows from the driver.
  void Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) override;
  void PowerOn(std::function<void(bool ok)> done) override;
  // Checks the boot ROM (a foreign chip closes the port, `done(false)`),
  // then reads the calibration, configuration and vector images with
  // progress; OnAllLoaded follows when all three were read.
  void ReadConfiguration(std::function<void(bool complete)> done) override;
  // Programs the burst channels into the configuration and restarts the
  // device streaming; OnBurstStart follows with the first frame.
  void StartBurst(bool fast, std::function<void(bool started)> done) override;
  // Stops taking records; the device streams until it is restarted.
  void StopBurst(std::function<void()> done) override;
  void PollValues(std::function<void(const TPollResult&)> done) override;
  bool HasLaser() const override { return false; }
  void ToggleLaser(std::function<void(bool on)> done) override;
  void RewriteConfiguration(const std::array<std::uint8_t, 128>& image,
                            std::function<void(bool written)> done) override;
  TChannelSample SampleOf(const TMeasurementRecord& record) const override;
  bool ObjectIsPercent() const override { return false; }

  // The second generation's serial number, in configuration bytes 0..2
  // (high byte first).
  static std::int32_t SerialOf(const BrioConfigImage& config) {
    return config.Data[0] << 16 | config.Data[1] << 8 | config.Data[2];
  }
  // The first generation's serial number, at 0x1082..0x1084 in the
  // calibration segment (high byte first); its configuration block starts
  // with the emissivity and the transmission instead.
  static std::int32_t FirstGenerationSerialOf(const BrioCalibrationImage& calibration) {
    return calibration.Data[2] << 16 | calibration.Data[3] << 8 | calibration.Data[4];
  }

 protected:
  void TakeBurstRecords() override;
  TpyreonBrio* MakeDriver() override;
  void FillSnapshot(const TpyreonBrio& driver, TDeviceSnapshot& snapshot) const override;

 private:
  std::uint8_t typeCode_;
  ChannelConversion::TBrioBurstLayout layout_;
};
