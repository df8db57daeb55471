#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "tools/devsim/device_model.h"

// The host's side of a device model's line, in memory: everything the device
// sends is kept; the pending count is set by the test to play a busy line.
class MemoryLink : public DeviceLink {
 public:
  using Bytes = std::vector<std::uint8_t>;

  void Send(std::span<const std::uint8_t> bytes) override {
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  std::size_t PendingOutput() const override { return pending; }
  void DiscardOutput() override { out.clear(); }
  void Vanish() override { vanished = true; }

  // What the device sent since the last call.
  Bytes Take() {
    Bytes b;
    b.swap(out);
    return b;
  }

  Bytes out;
  std::size_t pending = 0;
  bool vanished = false;
};

// A device model on a MemoryLink with a clock the test moves, ticked like
// its server would. `Model` has SetClockForTesting and Requests.
template <class Model>
class ModelOnMemoryLine {
 public:
  using Bytes = MemoryLink::Bytes;
  using Clock = DeviceModel::Clock;
  using Record = typename decltype(std::declval<const Model&>().Requests())::value_type;

  template <class... Args>
  explicit ModelOnMemoryLine(Args&&... args) : model(std::forward<Args>(args)...) {
    model.SetClockForTesting([this] { return now; });
  }

  // Sends bytes and returns what the device sent back at once.
  Bytes Ask(const Bytes& request) {
    model.OnReceived(request, link);
    return link.Take();
  }
  // Lets time pass in steps of 1 ms, ticking the model like its server.
  Bytes Wait(std::chrono::milliseconds span) {
    const Clock::time_point end = now + span;
    while (now < end) {
      now += std::chrono::milliseconds(1);
      model.Tick(now, link);
    }
    return link.Take();
  }
  // The latest request the device logged (an empty record before the first).
  Record LastRequest() const {
    const auto all = model.Requests();
    return all.empty() ? Record{} : all.back();
  }

  Clock::time_point now = Clock::now();
  Model model;
  MemoryLink link;
};

// One exchange of a scripted test: a request, the reply it must get, and how
// the device must log it.
template <class Outcome>
struct ScriptStep {
  MemoryLink::Bytes request;
  MemoryLink::Bytes reply;
  const char* name;
  Outcome outcome = Outcome::Answered;
};

// Checks that `record` logs `step`'s request under its name and outcome.
template <class Record, class Outcome>
void ExpectLogged(const Record& record, const ScriptStep<Outcome>& step) {
  EXPECT_EQ(record.bytes, step.request);
  EXPECT_EQ(record.name.toStdString(), step.name);
  EXPECT_EQ(record.outcome, step.outcome);
}
