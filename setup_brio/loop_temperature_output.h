#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

class QTimer;

// What the first-generation loop-maintenance dialog sends: the device's
// output follows a temperature in tenths of a degree Celsius within the
// analog output range of its configuration, sent 500 ms after the last
// change (a burst of typing sends only its last value).
//
// Every showing starts at the middle of the range and sends it, so the
// device always outputs what the dialog shows. A configuration that was not
// read, or whose range is empty or inverted, gives the design range and
// sends nothing until the user picks a value.
class LoopTemperatureOutput : public QObject {
  Q_OBJECT

 public:
  // Tenths of a degree Celsius.
  static constexpr int kDesignMin = -300;
  static constexpr int kDesignMax = 10000;
  static constexpr int kChangeDelayMs = 500;
  // Configuration offsets of the analog output range (temperature words,
  // tenths above -100 °C, little-endian).
  static constexpr int kRangeLowOffset = 118;
  static constexpr int kRangeHighOffset = 120;

  struct TRange {
    int Min = kDesignMin;
    int Max = kDesignMax;
    bool FromDevice = false;  // false: the design range stands in
  };
  static TRange RangeOf(const std::array<std::uint8_t, 128>& config, bool loaded);
  // The middle of the range, halves to even.
  static int StartValue(const TRange& range);

  explicit LoopTemperatureOutput(QObject* parent = nullptr);

  // Sends an output temperature (°C) to the device.
  std::function<void(float celsius)> Send;

  // A showing with `range`: the value to show; its send follows after the
  // delay when the range came from the device.
  int Show(const TRange& range);
  // The shown value changed (typed or stepped); `valid` false for text that
  // is no number, which cancels what was pending and sends nothing.
  void ValueChanged(int tenths, bool valid = true);
  // The dialog closes: nothing pending is sent any more.
  void Close();

  bool Pending() const;
  QTimer* ChangeTimer() const { return changeTimer_; }

 private:
  void ChangeTimerTimer();

  QTimer* changeTimer_;
  TRange range_;
  int value_ = 0;
  bool showing_ = false;
};
