#pragma once

#include <QObject>
#include <functional>

#include "drivers/argo/pyreon_argo.h"
#include "measurement/channel_conversion.h"
#include "measurement/session_family.h"

// The single-colour family (with its ratio model) behind the family
// interface: one `TpyreonArgo` on its own device session thread. The
// driver's events come back as the interface's notifications; burst records
// leave the session parsed, with their arrival-based times, through the
// bounded record queue.
class ArgoFamily : public SessionFamily<TpyreonArgo> {
 public:
  // `owner` is the GUI-side object the session's reports are delivered to.
  explicit ArgoFamily(QObject* owner = nullptr);
  ~ArgoFamily() override;

  void Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) override;
  void ReadConfiguration(std::function<void(bool complete)> done) override;
  void StartBurst(bool fast, std::function<void(bool started)> done) override;
  void StopBurst(std::function<void()> done) override;
  void PollValues(std::function<void(const TPollResult&)> done) override;
  bool HasLaser() const override { return true; }
  void ToggleLaser(std::function<void(bool on)> done) override;
  TChannelSample SampleOf(const TMeasurementRecord& record) const override;
  bool ObjectIsPercent() const override;

 protected:
  TpyreonArgo* MakeDriver() override;
  void FillSnapshot(const TpyreonArgo& driver, TDeviceSnapshot& snapshot) const override;

 private:
  void TakeBurstRecords() override;

  ChannelConversion::TArgoBurstLayout layout_ = ChannelConversion::TArgoBurstLayout::Standard;
};
