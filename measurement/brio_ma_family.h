#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "drivers/brio/pyreon_brio_ma.h"
#include "measurement/channel_conversion.h"
#include "measurement/session_family.h"

// The second-generation Brio family (type codes 5 to 11) behind the family
// interface: one `TpyreonBrio_mA` on its own device session thread. The
// driver's notifications reach the owner as queued calls on the owner's
// thread, each after the snapshot taken when it was handed on (the
// image-read steps come at once, for the progress): through OnBrioNotify
// with their message numbers (MsgBrioPortOpened .. MsgBrioNewValues), then
// as the interface's typed notifications (a new value as OnChannelValues);
// burst entries leave the session through the bounded record queue.
class BrioMaFamily : public SessionFamily<TpyreonBrio_mA> {
 public:
  // Channel lists of the burst: three channels (codes 5-7), and the
  // extended lists of codes 8-11 with and without the input inspection.
  static constexpr std::array<std::uint16_t, 3> kBurstChannels{512, 514, 516};
  static constexpr std::array<std::uint16_t, 8> kInspectionChannels{512, 514, 518, 640, 636, 520, 630, 516};
  static constexpr std::array<std::uint16_t, 8> kExtendedChannels{512, 514, 0, 0, 0, 0, 630, 516};

  explicit BrioMaFamily(QObject* owner = nullptr);
  ~BrioMaFamily() override;

  // Opens the port; MsgBrioPortOpened follows.
  void Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) override;
  // The power-on handshake; MsgBrioDeviceFound follows when the device answers.
  void PowerOn(std::function<void(bool ok)> done) override;
  // Identifies the device and reads its images; MsgBrioAllLoaded follows.
  void ReadConfiguration(std::function<void(bool complete)> done) override;
  // Programs the burst channels and restarts the device streaming;
  // MsgBrioBurstStart follows with the first frame.
  void StartBurst(bool fast, std::function<void(bool started)> done) override;
  void StopBurst(std::function<void()> done) override;
  void SetInputInspection(bool on) override { inputInspection_ = on; }
  void PollValues(std::function<void(const TPollResult&)> done) override;
  bool HasLaser() const override;
  void ToggleLaser(std::function<void(bool on)> done) override;
  void RewriteConfiguration(const std::array<std::uint8_t, 128>& image,
                            std::function<void(bool written)> done) override;
  TChannelSample SampleOf(const TMeasurementRecord& record) const override;
  bool ObjectIsPercent() const override { return false; }

  // The model a device with this feature word is (type codes 5 to 11).
  static std::uint8_t TypeCodeOf(std::uint16_t featureWord);

 protected:
  void TakeBurstRecords() override;
  TpyreonBrio_mA* MakeDriver() override;
  void FillSnapshot(const TpyreonBrio_mA& driver, TDeviceSnapshot& snapshot) const override;

 private:
  class Relay;

  // On the session thread: publishes, then delivers on the owner's thread.
  void Forward(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam);
  // On the owner's thread.
  void Deliver(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam);

  std::unique_ptr<Relay> progressRelay_;  // owner's thread
  bool inputInspection_ = false;
  ChannelConversion::TBrioBurstLayout layout_;
};
