#include "platform/queued_serial_device.h"

bool QueuedSerialDevice::SettingsSupported(const SerialLineSettings& s) {
  return s.baudRate > 0 && s.dataBits >= 5 && s.dataBits <= 8 &&
         s.stopBits != SerialLineSettings::StopBits::OneAndHalf;
}

void QueuedSerialDevice::ResetForOpen() {
  queue_.Reset();
  hungUp_ = false;
  configured_ = false;
}

void QueuedSerialDevice::AdoptSettings(const SerialLineSettings& settings) {
  queue_.SetEventChar(static_cast<std::uint8_t>(settings.eventChar));
  queue_.SetDiscardNull(settings.discardNull);
  settings_ = settings;
  configured_ = true;
}

void QueuedSerialDevice::Raise(std::uint32_t events) {
  const std::uint32_t bits = (events & eventMask_.load()) | (events & SerialEvent::HangUp);
  if (bits == 0) return;
  std::lock_guard lock(callbackMutex_);
  if (callback_) callback_(bits);
}

int QueuedSerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
  timeouts_ = timeouts;
  return SerialStatus::Ok;
}

int QueuedSerialDevice::SetQueueSizes(int inputSize, int outputSize) {
  if (inputSize <= 0 || outputSize < 0) return SerialStatus::InvalidParameter;
  queue_.SetCapacity(static_cast<std::size_t>(inputSize));
  return SerialStatus::Ok;
}

int QueuedSerialDevice::Read(std::span<std::uint8_t> buffer, int& transferred) {
  transferred = 0;
  if (!IsOpen()) return SerialStatus::NotReady;
  return queue_.Read(buffer, timeouts_, transferred);
}

int QueuedSerialDevice::InputCount(int& count) {
  count = 0;
  if (!IsOpen()) return SerialStatus::NotReady;
  count = static_cast<int>(queue_.Size());
  return SerialStatus::Ok;
}

int QueuedSerialDevice::CommErrors(std::uint32_t& errors) {
  errors = 0;
  if (!IsOpen()) return SerialStatus::NotReady;
  errors = queue_.TakeErrors();
  return SerialStatus::Ok;
}

void QueuedSerialDevice::SetEventMask(std::uint32_t mask) { eventMask_ = mask; }

void QueuedSerialDevice::SetEventCallback(EventCallback callback) {
  std::lock_guard lock(callbackMutex_);
  callback_ = std::move(callback);
}
