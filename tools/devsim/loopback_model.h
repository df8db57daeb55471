#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "tools/devsim/device_model.h"

// A device that sends back every byte it receives, at its own baud rate.
class LoopbackModel : public DeviceModel {
 public:
  explicit LoopbackModel(int baudRate = 9600) : baudRate_(baudRate) {}

  // Options: "--baud N". Returns null and sets `error` on anything else.
  static std::unique_ptr<DeviceModel> Create(const QStringList& options, QString* error);

  QString Name() const override { return QStringLiteral("loopback"); }
  int BaudRate() const override { return baudRate_; }
  void SetBaudRate(int baudRate) { baudRate_ = baudRate; }

  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override { link.Send(bytes); }
  bool WantsTicks() const override { return false; }

 private:
  int baudRate_;
};
