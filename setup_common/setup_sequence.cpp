#include "setup_common/setup_sequence.h"

#include "measurement/device_family.h"

SetupSequence::SetupSequence() : self_(std::make_shared<SetupSequence*>(this)) {}

// A chain still in place (the device outlived a sequence that was never
// ended) passes reports on to the old listener only.
SetupSequence::~SetupSequence() = default;

void SetupSequence::DeviceChanged() {
  jobs_ = 0;
  device_ = nullptr;
  saved_ = nullptr;
}

void SetupSequence::Begin(DeviceFamily* device, bool stoppable) {
  const bool chained = running_ && device_ != nullptr;
  running_ = true;
  if (SetInputEnabled) SetInputEnabled(false);
  if (ShowRunning) ShowRunning(true, stoppable);
  if (!device || chained) return;
  device_ = device;
  saved_ = device->OnProgress;
  const std::weak_ptr<SetupSequence*> self = self_;
  device->OnProgress = [saved = saved_, self](int percent, const QString& caption) {
    if (saved) saved(percent, caption);
    if (const auto alive = self.lock()) {
      if ((*alive)->Progress) (*alive)->Progress(percent, caption);
    }
  };
}

bool SetupSequence::End() {
  if (!running_) return false;
  if (device_) device_->OnProgress = saved_;
  device_ = nullptr;
  saved_ = nullptr;
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
