#include "setup_brio/loop_temperature_output.h"

#include <QTimer>
#include <algorithm>

#include "platform/number_text.h"

LoopTemperatureOutput::LoopTemperatureOutput(QObject* parent)
    : QObject(parent), changeTimer_(new QTimer(this)) {
  changeTimer_->setObjectName(QStringLiteral("ChangeTimer"));
  changeTimer_->setSingleShot(true);
  changeTimer_->setInterval(kChangeDelayMs);
  connect(changeTimer_, &QTimer::timeout, this, &LoopTemperatureOutput::ChangeTimerTimer);
}

LoopTemperatureOutput::TRange LoopTemperatureOutput::RangeOf(const std::array<std::uint8_t, 128>& config,
                                                             bool loaded) {
  const auto word = [&config](int at) {
    return int(config[std::size_t(at)] | config[std::size_t(at) + 1] << 8);
  };
  TRange range;
  if (!loaded) return range;
  const int low = word(kRangeLowOffset) - 1000;
  const int high = word(kRangeHighOffset) - 1000;
  // An erased or never-programmed range would drive the output to a value
  // nobody chose.
  if (low >= high) return range;
  return TRange{low, high, true};
}

int LoopTemperatureOutput::StartValue(const TRange& range) {
  return static_cast<int>(NumberText::Round((static_cast<double>(range.Min) + range.Max) / 2.0));
}

int LoopTemperatureOutput::Show(const TRange& range) {
  range_ = range;
  showing_ = true;
  value_ = StartValue(range);
  changeTimer_->stop();
  if (range.FromDevice) changeTimer_->start();
  return value_;
}

void LoopTemperatureOutput::ValueChanged(int tenths, bool valid) {
  if (!showing_) return;
  if (!valid) {
    changeTimer_->stop();
    return;
  }
  value_ = std::clamp(tenths, range_.Min, range_.Max);
  changeTimer_->start();
}

void LoopTemperatureOutput::Close() {
  changeTimer_->stop();
  showing_ = false;
}

bool LoopTemperatureOutput::Pending() const { return changeTimer_->isActive(); }

void LoopTemperatureOutput::ChangeTimerTimer() {
  changeTimer_->stop();
  if (showing_ && Send) Send(static_cast<float>(value_) / 10.0f);
}
