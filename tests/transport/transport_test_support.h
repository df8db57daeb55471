#pragma once

// Helpers shared by the transport tests: a scoped port map, bounded waits
// that keep the event loop running, and a device wrapper that lets a test
// raise line events itself or make single operations fail.

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "platform/serial_device.h"

namespace transport_test {

// Points THERMASENTINEL_PORTS at a temporary ports file with the given
// entries for as long as it lives.
class ScopedPortMap {
 public:
  explicit ScopedPortMap(const std::map<int, QString>& entries) {
    hadOld_ = qEnvironmentVariableIsSet("THERMASENTINEL_PORTS");
    old_ = qgetenv("THERMASENTINEL_PORTS");
    QByteArray text = "[Ports]\n";
    for (const auto& [number, path] : entries) {
      text += "COM" + QByteArray::number(number) + "=" + path.toUtf8() + "\n";
    }
    const QString file = dir_.filePath(QStringLiteral("ports.ini"));
    QFile f(file);
    if (f.open(QIODevice::WriteOnly)) f.write(text);
    f.close();
    qputenv("THERMASENTINEL_PORTS", file.toUtf8());
  }
  ~ScopedPortMap() {
    if (hadOld_)
      qputenv("THERMASENTINEL_PORTS", old_);
    else
      qunsetenv("THERMASENTINEL_PORTS");
  }
  ScopedPortMap(const ScopedPortMap&) = delete;
  ScopedPortMap& operator=(const ScopedPortMap&) = delete;

 private:
  QTemporaryDir dir_;
  bool hadOld_ = false;
  QByteArray old_;
};

// Runs the event loop until `done` holds or `timeout` passed; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Runs the event loop for a short while (to show that nothing more happens).
inline void Drain(std::chrono::milliseconds span = std::chrono::milliseconds(100)) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Wraps a real device. The test can raise event bits as the I/O thread
// would (Fire) and make Purge or ModemStatus fail.
class TapDevice : public SerialDevice {
 public:
  explicit TapDevice(std::unique_ptr<SerialDevice> inner) : inner_(std::move(inner)) {}

  int Open(const QString& path) override { return inner_->Open(path); }
  int Close() override { return inner_->Close(); }
  bool IsOpen() const override { return inner_->IsOpen(); }
  int Configure(const SerialLineSettings& s) override { return inner_->Configure(s); }
  int SetTimeouts(const SerialTimeouts& t) override { return inner_->SetTimeouts(t); }
  int SetQueueSizes(int in, int out) override { return inner_->SetQueueSizes(in, out); }
  int Read(std::span<std::uint8_t> b, int& n) override { return inner_->Read(b, n); }
  int Write(std::span<const std::uint8_t> d, int& n) override { return inner_->Write(d, n); }
  int InputCount(int& c) override { return inner_->InputCount(c); }
  int OutputCount(int& c) override { return inner_->OutputCount(c); }
  int CommErrors(std::uint32_t& e) override { return inner_->CommErrors(e); }
  int ModemStatus(std::uint32_t& s) override {
    if (failModem) return failModem.load();
    return inner_->ModemStatus(s);
  }
  int Purge(std::uint32_t flags) override {
    const int rc = inner_->Purge(flags);
    return failPurge ? failPurge.load() : rc;
  }
  int SetDtr(bool on) override { return inner_->SetDtr(on); }
  int SetRts(bool on) override { return inner_->SetRts(on); }
  int TakeLastErrno() override { return inner_->TakeLastErrno(); }
  void SetEventMask(std::uint32_t mask) override {
    mask_ = mask;
    inner_->SetEventMask(mask);
  }
  void SetEventCallback(EventCallback callback) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback_ = callback;
    }
    inner_->SetEventCallback(std::move(callback));
  }

  // Delivers `bits` as one wake-up of the I/O thread (from the calling thread).
  void Fire(std::uint32_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callback_) callback_(bits);
  }
  std::uint32_t Mask() const { return mask_; }

  std::atomic<int> failPurge{0};
  std::atomic<int> failModem{0};

 private:
  std::unique_ptr<SerialDevice> inner_;
  std::mutex mutex_;
  EventCallback callback_;
  std::atomic<std::uint32_t> mask_{0};
};

// A fake line and the factory that binds a port to it through a TapDevice;
// `tap` points at the device of the latest open.
struct FakeRig {
  std::shared_ptr<FakeSerialLine> line = FakeSerialLine::Create();
  TapDevice* tap = nullptr;

  std::function<std::unique_ptr<SerialDevice>(const QString&)> Factory() {
    return [this](const QString&) -> std::unique_ptr<SerialDevice> {
      auto device = std::make_unique<TapDevice>(std::make_unique<FakeSerialDevice>(line));
      tap = device.get();
      return device;
    };
  }
};

}  // namespace transport_test
