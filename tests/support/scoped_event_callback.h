#pragma once

#include <utility>

#include "platform/serial_device.h"

namespace test_support {

// Installs a device's event callback for the lifetime of this object and
// removes it again on the way out, so a callback that refers to a test's
// locals is never called after they are gone. Declare it after those
// locals; the device must outlive it.
class ScopedEventCallback {
 public:
  ScopedEventCallback(SerialDevice& device, SerialDevice::EventCallback callback)
      : device_(device) {
    device_.SetEventCallback(std::move(callback));
  }
  ~ScopedEventCallback() { device_.SetEventCallback(nullptr); }
  ScopedEventCallback(const ScopedEventCallback&) = delete;
  ScopedEventCallback& operator=(const ScopedEventCallback&) = delete;

 private:
  SerialDevice& device_;
};

}  // namespace test_support
