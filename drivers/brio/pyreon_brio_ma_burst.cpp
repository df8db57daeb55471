// Burst mode of the second-generation Brio driver: preparing, receiving,
// parsing, the watchdog and the entry queue.

#include <QTimer>
#include <algorithm>

#include "drivers/arrival_stamps.h"
#include "drivers/brio/pyreon_brio_ma.h"
#include "drivers/driver_port.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "transport/com_port.h"
#include "transport/ring_buffer.h"

namespace {

// While a burst streams the port hands its input on in batches this far
// apart, so the thread wakes a bounded number of times a second.
constexpr int kBurstInputBatchMs = 20;

}  // namespace

class TpyreonBrio_mA::ParserSink : public BrioMaBurstParser::Listener {
 public:
  explicit ParserSink(TpyreonBrio_mA& driver) : driver_(driver) {}

  void OnFrame(const TBrioV2BurstRecord& record) override {
    driver_.burstQueue_.push_back(record);
    driver_.WriteLog(QStringLiteral("korrekten Burst erhalten"));
    if (driver_.parserFirst_) {
      driver_.parserFirst_ = false;
      driver_.firstFrameTime_ = record.Time;
      driver_.Post(bnBurstStart);
    }
  }
  void OnBadFrame() override { driver_.WriteLog(QStringLiteral("fehlerhaften Burst erhalten")); }
  void OnNoSync() override { driver_.WriteLog(QStringLiteral("Keinen Start gefunden !")); }

 private:
  TpyreonBrio_mA& driver_;
};

void TpyreonBrio_mA::PrepareBurst() {
  try {
    if (!PortOpen()) {
      PostError(brioErrNotOpenControl);
      return;
    }
    connected_ = false;
    calibration_[0].Loaded = false;
    newCalibration_.Loaded = false;
    config_[0].Loaded = false;
    vectors_.Loaded = false;
    connectPoll_->start();
    SetDtr(false);
    dtrOn_ = false;
    burstParser_->start();
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("preparing the burst"), e);
    PostError(brioErrNotOpenControl);
  }
}

void TpyreonBrio_mA::BeginBurstReception(int channels) {
  parser_.SetChannelCount(channels);
  connectPoll_->stop();
  receiveFirst_ = true;
  parserFirst_ = true;
  parserBusy_ = false;
  ClearPortBuffers();
  ring_->Clear(0);
  burstQueue_.clear();
  if (PortOpen()) {
    port_->OnRxChar = [this](QObject*, int count) { BurstReceive(count); };
    port_->SetInputBatchInterval(kBurstInputBatchMs);
  }
  burstParser_->start();
  burstWatchdog_->stop();
}

void TpyreonBrio_mA::BurstReceive(int count) {
  burstWatchdog_->stop();
  if (!PortOpen()) return;
  try {
    DriverPort::SetReadQueuedAtOnce(*port_);
    int pending = std::max(count, InputCount());
    while (pending > 0) {
      const int got = port_->Read(rxScratch_, std::min<int>(pending, static_cast<int>(sizeof(rxScratch_))));
      if (got <= 0) break;
      // Stamps spread evenly from the previous batch's arrival to this one's.
      ArrivalStamps::Put(*ring_, rxScratch_, got, Clock::ToCounter(port_->LastArrival()), 9600, receiveFirst_,
                         lastChunk_);
      pending = InputCount();
    }
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("burst read"), e);
  }
  burstWatchdog_->start();
}

void TpyreonBrio_mA::BurstParserTimer() {
  burstParser_->stop();
  if (parserBusy_) return;
  parserBusy_ = true;
  try {
    ParserSink sink(*this);
    parser_.Pass(*ring_, sink);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("burst parser"), e);
    WriteLog(QStringLiteral("EXCEPTION in PYREONBrio BURSTTIMER !"));
  }
  parserBusy_ = false;
  burstParser_->start();
}

void TpyreonBrio_mA::BurstWatchdogTimer() {
  if (connected_) PostError(brioErrNoAnswer);
}

void TpyreonBrio_mA::GetNextBurstEntry(TBrioV2BurstRecord& entry) {
  try {
    if (burstQueue_.empty()) {
      entry = TBrioV2BurstRecord();
      return;
    }
    WriteLog(QStringLiteral("Burst Auslesen ") + QString::number(burstQueue_.size()));
    entry = burstQueue_.front();
    entry.Time = burstQueue_.front().Time - firstFrameTime_;
    burstQueue_.pop_front();
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("burst entry"), e);
    WriteLog(QStringLiteral("EXCEPTION in PYREON Brio GETNEXTBurstEntryBrio_mA !"));
    entry = TBrioV2BurstRecord();
  }
}
