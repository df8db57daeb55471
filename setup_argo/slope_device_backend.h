#pragma once

#include <memory>

#include "drivers/argo/argo_types.h"
#include "setup_common/slope_backend.h"

class ArgoFamily;

// The slope editor's backend on a single-colour device: every read and
// write runs as a job on the device's session, never on the caller's
// thread. The analog output is output channel 1 (alarm mode record 3).
class SlopeDeviceBackend : public SlopeBackend {
 public:
  explicit SlopeDeviceBackend(ArgoFamily& family) : family_(family) {}

  bool HasOutputMode() const override { return true; }
  // 0..10 V, 0..5 V, 0..20 mA, 4..20 mA and the thermocouple outputs.
  QStringList OutputModeNames() const override;
  SlopeMath::TOutputRange OutputRange(int mode) const override { return SlopeMath::OutputRange(mode); }
  void Open(std::function<void(const TState&)> done) override;
  void Refresh(int shownMode, std::function<void(const TState&)> done) override;
  void Write(std::vector<SlopeWritePlanner::TWrite> writes, std::function<void(bool ok)> done) override;
  void Restore(std::function<void(bool ok)> done) override;

 private:
  struct TOpening {
    TArgoAlarmMode mode;
    float loTemp = 0.0f;
    float hiTemp = 0.0f;
    int loOutput = 0;
    int hiOutput = 0;
  };
  void Read(int shownMode, bool opening, std::function<void(const TState&)> done);

  ArgoFamily& family_;
  std::shared_ptr<TOpening> opening_ = std::make_shared<TOpening>();
};
