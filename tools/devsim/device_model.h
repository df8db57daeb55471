#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <QString>

#include "platform/serial_device.h"

// What a device model may do to the line it is attached to. The server that
// hosts the model (pseudo-terminal, RFC 2217 or in-process) implements it.
class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  // Queues bytes for the host; the server paces them at the line rate
  // (10 bit times per byte at the model's baud rate).
  virtual void Send(std::span<const std::uint8_t> bytes) = 0;
  // Bytes queued and not yet delivered to the host.
  virtual std::size_t PendingOutput() const = 0;
  // Drops everything queued and not yet delivered.
  virtual void DiscardOutput() = 0;
  // The device disappears: the line hangs up (pty master closed, TCP
  // connection dropped). The server ends serving after this.
  virtual void Vanish() = 0;
};

// A device that answers on a serial line. Models are written from the wire
// protocol, never from the driver code. All calls come from one thread.
class DeviceModel {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~DeviceModel() = default;

  virtual QString Name() const = 0;
  // The baud rate the device talks at; bytes the host sends at another rate
  // are garbage to it and are not delivered to OnReceived.
  virtual int BaudRate() const = 0;

  // Bytes from the host, received at the model's baud rate.
  virtual void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) = 0;
  // Line changes seen by the server (only where the transport carries them:
  // RFC 2217 carries DTR and parity, a pseudo-terminal only the baud rate).
  virtual void OnHostBaudRate(int /*baud*/, DeviceLink& /*link*/) {}
  virtual void OnDtr(bool /*on*/, DeviceLink& /*link*/) {}
  virtual void OnRts(bool /*on*/, DeviceLink& /*link*/) {}
  virtual void OnParity(SerialLineSettings::Parity /*parity*/, DeviceLink& /*link*/) {}
  virtual void OnPurge(std::uint32_t /*purgeFlags*/, DeviceLink& /*link*/) {}
  // Called about every millisecond while the model is served and WantsTicks
  // says so, for streaming and timed behaviour.
  virtual void Tick(Clock::time_point /*now*/, DeviceLink& /*link*/) {}
  // Whether the model needs Tick now. A model that only answers requests
  // returns false, so an idle server sleeps instead of waking every
  // millisecond. Asked again after every call into the model.
  virtual bool WantsTicks() const { return true; }
};
