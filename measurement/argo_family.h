#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include "measurement/channel_conversion.h"
#include "measurement/device_family.h"

class DeviceSession;
class TpyreonArgo;

// The single-colour family (with its ratio model) behind the family
// interface: one `TpyreonArgo` on its own device session thread. The
// driver's events come back as the interface's notifications; burst records
// leave the session parsed, with their arrival-based times, through the
// bounded record queue.
class ArgoFamily : public DeviceFamily {
 public:
  // `owner` is the GUI-side object the session's reports are delivered to.
  explicit ArgoFamily(QObject* owner = nullptr);
  ~ArgoFamily() override;

  const TDeviceSnapshot& Snapshot() const override { return snapshot_; }
  bool Busy() const override { return pending_ > 0; }
  void Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) override;
  void Close() override;
  void ReadConfiguration(std::function<void(bool complete)> done) override;
  void StartBurst(bool fast, std::function<void(bool started)> done) override;
  void StopBurst(std::function<void()> done) override;
  void PollValues(std::function<void(const TPollResult&)> done) override;
  bool HasLaser() const override { return true; }
  void ToggleLaser(std::function<void(bool on)> done) override;
  RecordQueue& Records() override { return records_; }
  TChannelValues ConvertRecord(const TMeasurementRecord& record) const override;
  std::uint64_t BytesLost() const override { return bytesLost_.load(); }
  bool ObjectIsPercent() const override;
  bool Shutdown(int drainMs, int deadlineMs) override;

  // Runs `job` on the driver, on the session thread, after what is queued;
  // `done(ran)` on the owner's thread with the snapshot already updated.
  // False when the session has ended.
  bool PostDriverJob(std::function<void(TpyreonArgo&)> job, std::function<void(bool ran)> done = {});
  DeviceSession& Session() { return *session_; }

 private:
  template <typename R>
  void Run(std::function<R(TpyreonArgo&)> job, std::function<void(R)> done);
  void Wire(TpyreonArgo& driver);
  // On the session thread: copies the driver's caches to the owner.
  void Publish();
  void TakeBurstRecords();

  std::unique_ptr<DeviceSession> session_;
  TpyreonArgo* driver_ = nullptr;  // lives on the session thread
  TDeviceSnapshot snapshot_;
  RecordQueue records_;
  std::atomic<std::uint64_t> bytesLost_{0};
  int pending_ = 0;
  ChannelConversion::TArgoBurstLayout layout_ = ChannelConversion::TArgoBurstLayout::Standard;
};
