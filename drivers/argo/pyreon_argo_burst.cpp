// Burst mode of the single-colour driver: switching, receiving, parsing
// and the record queue.

#include <QTimer>
#include <algorithm>
#include <exception>

#include "drivers/argo/argo_codec.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/arrival_stamps.h"
#include "drivers/driver_port.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "transport/com_port.h"
#include "transport/ring_buffer.h"

namespace {

// While a burst streams, the port hands its input on in batches this far
// apart: the driver's thread wakes a bounded number of times a second, and
// the arrival times the port keeps still date every byte.
constexpr int kBurstInputBatchMs = 20;

QString ValuesText(const TArgoBurstRecord& r, int count) {
  QString s;
  for (int k = 0; k < count; ++k) s += QString::asprintf("%04X ", r.Values[static_cast<std::size_t>(k)]);
  return s;
}

}  // namespace

class TpyreonArgo::ParserSink : public ArgoBurstParser::Listener {
 public:
  explicit ParserSink(TpyreonArgo& driver) : driver_(driver) {}

  void OnFrame(const TArgoBurstRecord& record) override {
    driver_.burstBuffer_.push_back(record);
    if (driver_.logFile_) {
      driver_.WriteLog(NumberText::FormatFixed(record.Time, 3) + QStringLiteral(" : ") +
                       ValuesText(record, driver_.parser_.ChannelCount()) +
                       QStringLiteral("korrekten Burst erhalten (") +
                       QString::number(driver_.burstBuffer_.size()));
    }
    if (driver_.firstFrame_) {
      driver_.firstFrame_ = false;
      driver_.firstFrameTime_ = record.Time;
      if (driver_.OnBusrtStart) driver_.OnBusrtStart(&driver_);
    }
  }

  void OnBadFrame() override { driver_.WriteLog(QStringLiteral("fehlerhaften Burst erhalten")); }

 private:
  TpyreonArgo& driver_;
};

void TpyreonArgo::GetBurstChannels(std::array<std::uint8_t, 8>& slots) {
  slots.fill(0);
  if (!PortOpen()) return;
  TArgoReply r;
  if (!Exchange(QByteArray(1, '\x50'), 20, 4, r)) return;
  slots = ArgoCodec::UnpackBurstSlots(std::span<const std::uint8_t>(r.Data.data(), 4));
  burstSlots_ = slots;
  std::copy(slots.begin(), slots.end(), config_.BurstChannels.begin());
  config_.BurstChannels[8] = 0;
}

TArgoWriteResult TpyreonArgo::SetBurstChannels(const std::array<std::uint8_t, 8>& slots) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  // A slot code is one nibble; a larger one would change its neighbour.
  if (!CheckRange(std::all_of(slots.begin(), slots.end(), [](std::uint8_t s) { return s <= 15; })))
    return TArgoWriteResult::Rejected;
  const auto packed = ArgoCodec::PackBurstSlots(slots);
  QByteArray req(1, '\x51');
  for (std::uint8_t b : packed) req.append(static_cast<char>(b));
  TArgoReply r;
  const bool answered = Exchange(req, 50, 4, r);
  if (answered)
    burstSlots_ = ArgoCodec::UnpackBurstSlots(std::span<const std::uint8_t>(r.Data.data(), 4));
  else
    burstSlots_.fill(0);
  std::copy(burstSlots_.begin(), burstSlots_.end(), config_.BurstChannels.begin());
  config_.BurstChannels[8] = 0;
  return answered ? TArgoWriteResult::Confirmed : TArgoWriteResult::Unconfirmed;
}

bool TpyreonArgo::SetBurstMode(bool on) {
  if (!PortOpen()) return false;
  if (on) {
    TArgoReply r;
    SendAndReceive(QByteArray("\x52\x01", 2), 20, r, retries_, 1);
    if (r.NoAnswer || !PortOpen()) return false;
    const bool result = r.Data[0] == 1;
    parser_.SetChannelCount(ArgoCodec::BurstChannelCount(burstSlots_));
    reconnectTimer_->stop();
    firstFrame_ = true;
    firstByte_ = true;
    parserBusy_ = false;
    ClearPortBuffers(true, true);
    ring_->Clear(0);
    ring_->ResetLostCount();
    burstBuffer_.clear();
    port_->OnRxChar = [this](QObject*, int count) { ComPortRxChar(count); };
    port_->SetInputBatchInterval(kBurstInputBatchMs);
    switch (baudrate_) {
      case argo9600:
        burstTimer_->setInterval(200);
        break;
      case argo19200:
        burstTimer_->setInterval(150);
        break;
      case argo38400:
        burstTimer_->setInterval(120);
        break;
      case argo57600:
      case argo115200:
        burstTimer_->setInterval(100);
        break;
    }
    burstActive_ = true;
    burstTimer_->start();
    watchdogTimer_->stop();
    parser_.Reset();
    return result;
  }

  watchdogTimer_->stop();
  burstTimer_->stop();
  burstActive_ = false;
  port_->OnRxChar = nullptr;
  port_->SetInputBatchInterval(0);
  ring_->Clear(0);
  // Bounded: a device that keeps streaming, or stops answering, ends the loop.
  for (int pass = 0; pass < kMaxStopPasses && PortOpen(); ++pass) {
    ClearPortBuffers(true, true);
    TArgoReply r;
    SendAndReceive(QByteArray("\x52\x00", 2), 20, r, retries_, 1);
    if (r.NoAnswer) break;
    SleepMs(250);
    if (PortInputCount() <= 1) break;
  }
  ring_->Clear(0);
  return true;
}

void TpyreonArgo::ComPortRxChar(int count) {
  watchdogTimer_->stop();
  if (!burstActive_ || port_ == nullptr) return;
  try {
    // The port reads whatever is queued at once.
    DriverPort::SetReadQueuedAtOnce(*port_);
    int pending = std::max(count, PortInputCount());
    while (pending > 0) {
      const int want = std::min<int>(pending, static_cast<int>(sizeof(rxScratch_)));
      const int got = port_->Read(rxScratch_, want);
      if (got <= 0) break;
      // Times come from when the bytes arrived, not from when this thread
      // got to them: the batch is spread evenly from the previous batch's
      // arrival to this one's (the first from its length at the line rate).
      ArrivalStamps::Put(*ring_, rxScratch_, got, Clock::ToCounter(port_->LastArrival()),
                         ArgoCodec::BaudRateValue(baudrate_), firstByte_, lastCount_);
      pending = PortInputCount();
    }
  } catch (const std::exception& e) {
    // A failing line shows as silence: the watchdog and the parser report it.
    LogFailure(QStringLiteral("burst read"), e);
  }
  watchdogTimer_->start();
}

void TpyreonArgo::BurstFrameTimerTimer() {
  burstTimer_->stop();
  if (parserBusy_ || !burstActive_) return;
  parserBusy_ = true;
  ParserSink sink(*this);
  ArgoBurstParser::PassResult result = ArgoBurstParser::PassResult::Waiting;
  try {
    result = parser_.Pass(*ring_, sink);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("burst parser"), e);
  }
  parserBusy_ = false;
  if (result == ArgoBurstParser::PassResult::Parsed && !burstBuffer_.empty() && OnBurstData)
    OnBurstData(this);
  // The owner may have switched the mode off from OnBusrtStart.
  if (!burstActive_) return;
  switch (result) {
    case ArgoBurstParser::PassResult::Waiting:
    case ArgoBurstParser::PassResult::Parsed:
      burstTimer_->start();
      break;
    case ArgoBurstParser::PassResult::EndNoSync:
      WriteLog(QStringLiteral("Keinen Start gefunden !"));
      EndBurstAutomatically();
      break;
    case ArgoBurstParser::PassResult::EndNoData:
      EndBurstAutomatically();
      break;
  }
}

void TpyreonArgo::EndBurstAutomatically() {
  // The parser timer stays off from here on.
  SetBurstMode(false);
  config_.ConfigValid = false;
  // A device that still answered the stop is reported here; one that did not
  // was already reported by the exchange. Either way the owner gets error 5
  // and the disconnect, and the reconnect poll runs again.
  if (connected_) LoseConnection();
}

bool TpyreonArgo::GetNextBurstEntry(TArgoBurstRecord& entry) {
  try {
    if (parserBusy_ || burstBuffer_.empty()) return false;
    entry = burstBuffer_.front();
    entry.Time = burstBuffer_.front().Time - firstFrameTime_;
    burstBuffer_.pop_front();
    if (logFile_) {
      WriteLog(QStringLiteral("Burst Auslesen ") + NumberText::FormatFixed(entry.Time, 3) +
               QStringLiteral(" : ") + ValuesText(entry, 8).trimmed());
    }
    return true;
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("burst record"), e);
    WriteLog(QStringLiteral("EXCEPTION in GetNextBurstEntry !"));
    return false;
  }
}

int TpyreonArgo::BurstTimerInterval() const { return burstTimer_->interval(); }

std::uint64_t TpyreonArgo::BurstBytesLost() const { return ring_->LostCount(); }
