#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "model_on_memory_line.h"
#include "platform/serial_device.h"
#include "tools/devsim/brio_device_model.h"
#include "tools/devsim/brio_wire.h"

// A Brio model on an in-memory line with a clock the test moves: what the
// device sends is kept, the pending count is set by the test to play a busy
// line, and DTR and parity are set as a host would.
namespace BrioTest {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = DeviceModel::Clock;
using Parity = SerialLineSettings::Parity;

template <class Model>
class Bench : public ModelOnMemoryLine<Model> {
 public:
  using ModelOnMemoryLine<Model>::model;
  using ModelOnMemoryLine<Model>::link;
  using ModelOnMemoryLine<Model>::Ask;
  using ModelOnMemoryLine<Model>::Wait;

  explicit Bench(const BrioProfile& profile, const BrioOptions& options = {})
      : ModelOnMemoryLine<Model>(profile, options) {}

  // DTR high and the boot time over.
  void PowerOn() {
    model.OnDtr(true, link);
    Wait(std::chrono::milliseconds(model.Options().bootMs + 1));
    link.Take();
  }
  void PowerOff() { model.OnDtr(false, link); }
  void SetParity(Parity parity) { model.OnParity(parity, link); }

  // A request and what arrived within `span` (a SYNC needs its gap).
  Bytes AskAndWait(const Bytes& request, std::chrono::milliseconds span = 10ms) {
    Bytes got = Ask(request);
    const Bytes later = Wait(span);
    got.insert(got.end(), later.begin(), later.end());
    return got;
  }
  // Hands the line to the loader at 8E1 and synchronises.
  void EnterLoader() {
    Ask(Bytes(std::begin(BrioWire::Loader::kEnterLoader), std::end(BrioWire::Loader::kEnterLoader)));
    SetParity(Parity::Even);
  }
  Bytes Frame(std::uint8_t command, std::uint16_t address, std::uint16_t argument, const Bytes& data = {}) {
    AskAndWait({BrioWire::Loader::kSync});
    return AskAndWait(BrioWire::Loader::BuildFrame(command, address, argument, data));
  }
  Bytes Password() {
    return Frame(BrioWire::Loader::kReceivePassword, 0xFFE0, 32, model.ReadMemory(0xFFE0, 32));
  }
  Bytes Erase(std::uint16_t address) {
    return Frame(BrioWire::Loader::kErase, address, BrioWire::Loader::kEraseSegmentArgument);
  }
  Bytes Program(std::uint16_t address, const Bytes& data) {
    return Frame(BrioWire::Loader::kProgram, address, std::uint16_t(data.size()), data);
  }
  Bytes Read(std::uint16_t address, std::uint16_t length) {
    return Frame(BrioWire::Loader::kRead, address, length);
  }
};

// --- The host's side of a served line (a SerialDevice) -----------------------

// 9600 baud with `parity`, DTR left to SetDtr unless `dtr` enables it.
inline SerialLineSettings Line9600(Parity parity, bool dtr = false) {
  SerialLineSettings s;
  s.baudRate = 9600;
  s.parity = parity;
  s.dtrControl = dtr ? SerialLineSettings::DtrControl::Enable : SerialLineSettings::DtrControl::Disable;
  return s;
}

// Reads return after `ms` at the latest, or when the buffer is full.
inline SerialTimeouts ReadTimeout(std::uint32_t ms) {
  SerialTimeouts t;
  t.readInterval = 0;
  t.readTotalMultiplier = 0;
  t.readTotalConstant = ms;
  return t;
}

// Up to `count` bytes within the port's read time-out.
inline Bytes ReadCount(SerialDevice& port, std::size_t count) {
  Bytes got(count);
  int n = 0;
  EXPECT_EQ(port.Read(got, n), SerialStatus::Ok);
  got.resize(std::size_t(n));
  return got;
}

// Clears the input, sends `request` and reads up to `expected` bytes.
inline Bytes Exchange(SerialDevice& port, const Bytes& request, std::size_t expected) {
  EXPECT_EQ(port.Purge(SerialPurge::RxClear), SerialStatus::Ok);
  int n = 0;
  EXPECT_EQ(port.Write(request, n), SerialStatus::Ok);
  return ReadCount(port, expected);
}

// Repeats an exchange until it gives `expected` (a device still starting),
// up to a deadline.
inline bool ExchangeUntil(SerialDevice& port, const Bytes& request, const Bytes& expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Exchange(port, request, expected.size()) == expected) return true;
  }
  return false;
}

inline Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(seed + 11 * i);
  return b;
}

}  // namespace BrioTest
