#include "setup_common/setup_sequence.h"

#include "measurement/device_family.h"

SetupSequence::SetupSequence() : self_(std::make_shared<SetupSequence*>(this)) {}

// A listener still registered (the device outlived a sequence that was
// never ended) finds this object gone and passes nothing on.
SetupSequence::~SetupSequence() = default;

void SetupSequence::DeviceChanged() {
  jobs_ = 0;
  device_ = nullptr;
  listener_ = DeviceFamily::ProgressListeners::kNoToken;
}

void SetupSequence::Begin(DeviceFamily* device, bool stoppable) {
  const bool listening = running_ && device_ != nullptr;
  running_ = true;
  if (SetInputEnabled) SetInputEnabled(false);
  if (ShowRunning) ShowRunning(true, stoppable);
  if (!device || listening) return;
  device_ = device;
  const std::weak_ptr<SetupSequence*> self = self_;
  // The listener knows its own token: one this object no longer holds (the
  // sequence ended, or the dialog was bound to another device while the
  // old one lived on) passes nothing on.
  auto mine = std::make_shared<std::uint64_t>(DeviceFamily::ProgressListeners::kNoToken);
  listener_ = device->AddProgressListener([self, mine](int percent, const QString& caption) {
    const auto alive = self.lock();
    if (!alive || (*alive)->listener_ != *mine) return;
    if ((*alive)->Progress) (*alive)->Progress(percent, caption);
  });
  *mine = listener_;
}

bool SetupSequence::End() {
  if (!running_) return false;
  if (device_) device_->RemoveProgressListener(listener_);
  device_ = nullptr;
  listener_ = DeviceFamily::ProgressListeners::kNoToken;
  running_ = false;
  if (ShowRunning) ShowRunning(false, false);
  if (SetInputEnabled) SetInputEnabled(true);
  return true;
}

void SetupSequence::Report(const std::weak_ptr<SetupSequence*>& alive, bool ends) {
  if (const auto self = alive.lock()) {
    (*self)->JobDone();
    if (ends) (*self)->End();
  }
}
