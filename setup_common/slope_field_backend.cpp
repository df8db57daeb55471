#include "setup_common/slope_field_backend.h"

#include "platform/number_text.h"

SlopeBackend::TState SlopeFieldBackend::State() const {
  TState s;
  s.mode = mode_;
  s.fahrenheit = Fahrenheit;
  s.loTemp = LoTemp;
  s.hiTemp = HiTemp;
  s.loOutput = ToThousandths(LoOutput);
  s.hiOutput = ToThousandths(HiOutput);
  return s;
}

int SlopeFieldBackend::ToThousandths(std::int32_t field) const {
  return static_cast<int>(NumberText::Round(field / outputScale_));
}

std::int32_t SlopeFieldBackend::ToField(int thousandths) const {
  return static_cast<std::int32_t>(NumberText::Round(thousandths * outputScale_));
}

void SlopeFieldBackend::Open(std::function<void(const TState&)> done) {
  openLoTemp_ = LoTemp;
  openHiTemp_ = HiTemp;
  openLoOutput_ = LoOutput;
  openHiOutput_ = HiOutput;
  done(State());
}

void SlopeFieldBackend::Refresh(int, std::function<void(const TState&)> done) { done(State()); }

void SlopeFieldBackend::Write(std::vector<SlopeWritePlanner::TWrite> writes,
                              std::function<void(bool ok)> done) {
  using Target = SlopeWritePlanner::Target;
  for (const auto& w : writes) {
    switch (w.target) {
      case Target::TempMin:
        LoTemp = static_cast<float>(w.temperature);
        break;
      case Target::TempMax:
        HiTemp = static_cast<float>(w.temperature);
        break;
      case Target::OutputMin:
        LoOutput = ToField(w.output);
        break;
      case Target::OutputMax:
        HiOutput = ToField(w.output);
        break;
    }
  }
  done(true);
}

void SlopeFieldBackend::Restore(std::function<void(bool ok)> done) {
  LoTemp = openLoTemp_;
  HiTemp = openHiTemp_;
  LoOutput = openLoOutput_;
  HiOutput = openHiOutput_;
  done(true);
}
