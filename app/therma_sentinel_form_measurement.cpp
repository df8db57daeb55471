// The live measurement loop of the main window.

#include <QDateTime>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/change_emiss_dlg.h"
#include "app/device_info_dlg.h"
#include "app/display_link.h"
#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/channel_conversion.h"
#include "measurement/display_value_encoding.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::Now().time_since_epoch()).count();
}

}  // namespace

// ---------------------------------------------------------------------------
// Start and stop

void TThermaSentinelForm::mStartClick(QObject*) {
  SetStatusText(4, QString());
  useInitialTime_ = true;
  xWindowFromChart_ = true;

  const int commMode = config_->ReadCommunicationMode();
  const int addr = config_->ReadRS845Addr();
  const bool bus = DeviceType::IsSingleColour(deviceTypeCode_) && addr >= 1 && addr <= 79;
  const std::uint8_t streamed = bus ? MeasureMode::Poll : MeasureMode::Burst;
  std::uint8_t mode = MeasureMode::Poll;
  if (commMode == 1)
    mode = streamed;
  else if (commMode == 2)
    mode = MeasureMode::Poll;
  else
    mode = Diagram_->Resolution() < 0.2 ? streamed : MeasureMode::Poll;

  if (state_ == csMeasuring) mStopClick(nullptr);
  timeline_ = TLiveTimeline();

  if (!AskSaveUnsavedData()) {
    UpdateState();
    return;
  }
  // A device that does not answer (or a family without a driver yet) is
  // not started.
  if (family_ == nullptr || !family_->Snapshot().PortOpen || !family_->Snapshot().Connected) {
    UpdateState();
    return;
  }
  measureMode_ = mode;
  windowStartPending_ = true;

  if (measureMode_ == MeasureMode::Burst && DeviceType::IsBrio(deviceTypeCode_)) {
    StartBrioBurst();
  } else if (measureMode_ == MeasureMode::Burst) {
    // A poll still queued runs before the burst starts (jobs keep their order).
    PollTimer->stop();
    Diagram_->SetYRangeMin(deviceTypeCode_ == DeviceType::ArgoRatio ? -60.0 : deviceTmin_);
    Diagram_->SetYRangeMax(deviceTmax_);
    Diagram_->SetYDecimal(1);
    burstFastLayout_ = argo1ms_ && CanUseFastBurst();
    family_->StartBurst(burstFastLayout_, {});
    droppedShown_ = 0;
    state_ = csMeasuring;
    static const int kBurstIntervals[5] = {128, 112, 96, 80, 64};
    const int baud = std::clamp(family_->Snapshot().BaudIndex, 0, 4);
    BurstTimer->setInterval(kBurstIntervals[baud]);
    BurstTimer->start();
    startDelay_ = config_->ReadArgoBurstStartDelay();
  } else {
    Diagram_->SetYDecimal(DeviceType::IsBrioSecondGeneration(deviceTypeCode_) &&
                                  deviceTypeCode_ <= DeviceType::Fenn2W && family_->Snapshot().HighResolution
                              ? 2
                              : 1);
    const int interval = std::clamp(static_cast<int>(std::lround(Diagram_->Resolution() * 1000.0)), 50, 500);
    PollTimer->setInterval(interval);
    if (2.0 * interval / 1000.0 > initialTime_) initialTime_ = static_cast<float>(2.0 * interval / 1000.0);
    state_ = csMeasuring;
    PollTimer->start();
  }

  repaint();
  measureStartTime_ = QDateTime::currentDateTime();
  if (measureMode_ == MeasureMode::Burst)
    timeline_.StartBurst(startDelay_);
  else
    timeline_.StartPoll(TChannelSample::Now());
  SetProgress(0);
  PrepareChart();
  unsavedData_ = true;
  sampleCount_ = 0;
  bufferFullHandled_ = false;
  burstPanelsPending_ = false;
  statusTextsPending_ = false;
  recordsOut_.reset();
  if (!recordsFile_.isEmpty()) {
    QFile f(recordsFile_);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.close();
  }
  UpdateState();
}

void TThermaSentinelForm::StartBrioBurst() {
  const TDeviceSnapshot& device = family_->Snapshot();
  const bool second = DeviceType::IsBrioSecondGeneration(deviceTypeCode_);
  const bool extended = second && deviceTypeCode_ >= DeviceType::Briov2;
  PollTimer->stop();
  Diagram_->SetYDecimal(second && !extended && device.HighResolution ? 2 : 1);
  state_ = csWaiting;
  UpdateState();
  // The burst is programmed into the device's configuration: the image
  // before it is written back after the measurement.
  savedConfigImage_ = device.ConfigImage;
  rewritePending_ = true;
  if (second) family_->SetInputInspection(options_.Has(TOption::Briov2InputInspection));
  if (extended) {
    for (int c : {ChannelValues::Epsilon, ChannelValues::MVin, ChannelValues::Vcc, ChannelValues::TAmb}) {
      values_[static_cast<std::size_t>(c)] = 0.0f;
      ValuePanels.ShowNoValue(c);
    }
  }
  const int closes = closeCount_;
  family_->StartBurst(false, [this, closes](bool started) {
    if (closeCount_ != closes) return;
    if (!started) {
      // Nothing streams: the device is restarted and gets its
      // configuration back, as after a stop.
      BrioRestart(500);
      return;
    }
    if (state_ == csWaiting) {
      state_ = csConnected;
      UpdateState();
    }
  });
  burstStarted_ = true;
  droppedShown_ = 0;
  startDelay_ = config_->ReadBrioBurstStartDelay() / (second ? 10.0 : 1.0);
  BurstTimer->setInterval(second ? 50 : 128);
}

void TThermaSentinelForm::mStopClick(QObject*) {
  ShowLiveTexts();
  useInitialTime_ = false;
  BurstTimer->stop();
  if (unsavedData_ && options_.Has(TOption::ForceSaving) && state_ > csConnected) ForceSave();
  SetStatusText(2, QString());
  StatusBar_->repaint();
  if (DeviceType::IsBrio(deviceTypeCode_) && (state_ > csConnected || burstStarted_)) {
    // A Brio device is restarted and read again; a configuration a burst
    // changed is written back once it is read (see BrioLoaded).
    if (family_ != nullptr) family_->StopBurst({});
    burstStarted_ = false;
    BrioRestart(500);
    UpdateState();
    return;
  }
  if (state_ <= csConnected) {
    UpdateState();
    return;
  }
  if (family_ != nullptr) family_->StopBurst({});
  if (family_ != nullptr && family_->Snapshot().PortOpen) {
    PollTimer->setInterval(500);
    PollTimer->start();
    state_ = csConnected;
  } else {
    state_ = csClosed;
  }
  UpdateState();
}

// ---------------------------------------------------------------------------
// Burst pull

// Records are taken on the burst timer alone, so the window wakes a bounded
// number of times a second whatever the record rate.
void TThermaSentinelForm::BurstTimerTimer() {
  if (!inBurstBatch_) NewBurstEvent();
}

void TThermaSentinelForm::NewBurstEvent() {
  double time = 0.0;
  double cycle = 0.0;
  if (NewBurstData(time, cycle)) UpdateDiagram(cycle, time);
  // The newest panel texts and the status figures go out in one refresh.
  RequestLiveTexts();
  if (state_ == csMeasuring && measureMode_ == MeasureMode::Burst) {
    if (!BurstTimer->isActive()) BurstTimer->start();
  } else {
    BurstTimer->stop();
  }
}

bool TThermaSentinelForm::NewBurstData(double& Time, double& Cycle) {
  if (family_ == nullptr) return false;
  recordBatch_.clear();
  const int n = static_cast<int>(family_->Records().TakeAll(recordBatch_));
  ShowDroppedRecords();
  if (n <= 0) return false;
  inBurstBatch_ = true;
  int taken = 0;
  bool sampled = false;
  if (!recordsFile_.isEmpty() && !recordsOut_) {
    recordsOut_ = std::make_unique<QFile>(recordsFile_);
    if (!recordsOut_->open(QIODevice::WriteOnly | QIODevice::Append)) recordsOut_.reset();
  }
  QFile* records = recordsOut_.get();
  for (const TMeasurementRecord& rec : recordBatch_) {
    ++taken;
    if (records) {
      QString line;
      for (std::uint16_t v : rec.Values) line += QString::number(v) + QLatin1Char('\t');
      line += QString::number(rec.Time, 'f', 6) + QLatin1Char('\n');
      records->write(line.toLatin1());
    }
    burstPanelSample_ = family_->SampleOf(rec);
    burstPanelSample_.ApplyTo(values_);
    const TLiveTimeline::TRecordStep step = timeline_.TakeRecord(burstPanelSample_.Time, NowMs());
    if (step.Progress >= 0) SetProgress(step.Progress);
    if (step.Sample) {
      Time = step.Time;
      sampled = true;
      AddSample(Time);
      if (bufferFullHandled_) break;  // the chart is full: the measurement has stopped
    }
    if (state_ != csMeasuring && state_ != csRecording) break;
  }
  if (records != nullptr) records->flush();
  Diagram_->DropOverflow();
  if (taken > 0) {
    if (sampled) Cycle = timeline_.Cycle(Time, taken);
    // Panel texts of the newest record, shown at the next refresh.
    burstPanelsPending_ = true;
    FeedDisplays(TValuePanelModel::kAllChannels, burstPanelSample_);
  }
  inBurstBatch_ = false;
  return taken > 0;
}

void TThermaSentinelForm::ShowDroppedRecords() {
  const std::uint64_t dropped = family_->Records().Dropped();
  if (dropped == droppedShown_) return;
  droppedShown_ = dropped;
  SetStatusText(3, dropped == 0 ? QString()
                                : NumberText::Format(LIS_->MessageText(QStringLiteral("RecordsDropped"),
                                                                       QStringLiteral("%d records dropped")),
                                                     {static_cast<std::int64_t>(dropped)}));
}

void TThermaSentinelForm::AddSample(double time) {
  if (valueAxisFromSample_ && time >= Diagram_->XExcludeRanging()) FitValueAxisToSample();
  Diagram_->AddValues(std::span<const float>(values_.data(), values_.size()), time);
  ++sampleCount_;
}

void TThermaSentinelForm::FitValueAxisToSample() {
  TDiagram& d = *Diagram_;
  if (d.YScaleMode() == smManual) {
    valueAxisFromSample_ = false;
    return;
  }
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (int c = 0; c < 11; ++c) {
    const TGraphProperties& g = d.Graph(c);
    const double v = values_[static_cast<std::size_t>(c)];
    if (!g.ShowDiagram || !g.RangeDiagram || !std::isfinite(v) || v < d.YRangeMin() || v > d.YRangeMax())
      continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo > hi) return;  // nothing to range on yet
  valueAxisFromSample_ = false;
  const double margin = d.YDecimal() < 2 ? 0.5 : 0.2;
  d.SetYMin(lo - margin);
  d.SetYMax(hi + margin);
}

// ---------------------------------------------------------------------------
// Poll mode

void TThermaSentinelForm::PollTimerTimer() {
  PollTimer->stop();
  ValuePanels.SetDelivered(DeliveredChannels());
  ValuePanels.ShowNoValue(ChannelValues::MVin);
  if (((state_ == csMeasuring && measureMode_ == MeasureMode::Poll) || state_ == csConnected) &&
      family_ != nullptr) {
    // One poll at a time; the tick resumes when it reported back.
    if (pollBusy_) return;
    pollBusy_ = true;
    family_->PollValues([this](const TPollResult& result) {
      pollBusy_ = false;
      PollDone(result);
    });
    return;
  }
  PollDone(TPollResult{});
}

void TThermaSentinelForm::PollDone(const TPollResult& result) {
  if (result.Answered) TakeDeviceUnit(result.Fahrenheit);
  ValuePanels.HideNoValues(TChannelSample::Bit(ChannelValues::Epsilon) |
                           TChannelSample::Bit(ChannelValues::Vcc) |
                           TChannelSample::Bit(ChannelValues::TAmb));
  // A device that stopped answering is polled again by its driver's
  // reconnect; the tick resumes with the connection. A device dialog that
  // opened meanwhile has the device to itself until it closes.
  if (family_ != nullptr && family_->Snapshot().PortOpen && family_->Snapshot().Connected &&
      state_ >= csConnected && state_ != csBusy &&
      !(state_ == csMeasuring && measureMode_ == MeasureMode::Burst))
    PollTimer->start();
}

void TThermaSentinelForm::TakeReading(const TChannelSample& reading) {
  errorCount_ = 0;
  reading.ApplyTo(values_);
  ValuePanels.SetDelivered(DeliveredChannels());
  ValuePanels.ShowSample(reading, fahrenheit_);
  if (reading.Has(ChannelValues::TObj) && ChangeEmissDlg != nullptr && ChangeEmissDlg->isVisible())
    ChangeEmissDlg->ShowObjectTemperature(reading.Values[ChannelValues::TObj]);
  if (reading.ClosesPoll && state_ == csMeasuring && measureMode_ == MeasureMode::Poll)
    NewPollEvent(reading.Time);
  FeedDisplays(reading.Channels, reading);
}

bool TThermaSentinelForm::RatioPercentMode() const {
  return family_ != nullptr && family_->ObjectIsPercent();
}

void TThermaSentinelForm::FeedDisplays(std::uint16_t channels, const TChannelSample& sample) {
  ValuePanels.SetDelivered(DeliveredChannels());
  TDisplayValueContext context;
  context.Fahrenheit = fahrenheit_;
  context.HighResolution = sample.HighResolution;
  context.ObjectPercent = RatioPercentMode();
  for (int kind = 1; kind <= 11; ++kind) {
    const int c = ChannelValues::ChannelOfDisplayKind(kind);
    if ((channels & TChannelSample::Bit(c)) != 0)
      ValuePanels.FeedDisplay(kind, values_[static_cast<std::size_t>(c)], context);
  }
}

void TThermaSentinelForm::NewPollEvent(double readingTime) {
  const double time = timeline_.PollTime(readingTime);
  AddSample(time);
  Diagram_->DropOverflow();
  UpdateDiagram(timeline_.Cycle(time, 1), time);
}

// ---------------------------------------------------------------------------
// Chart update

void TThermaSentinelForm::UpdateDiagram(double Cycle, double Time) {
  if (!Diagram_->NewSamples) return;
  // The chart window, the cycle time and the memory figures follow at the
  // next refresh: moving the window repaints the chart.
  pendingCycle_ = Cycle;
  statusTextsPending_ = true;
  pendingTime_ = Time;
  Diagram_->NewSamples = false;
  RequestLiveTexts();

  const std::int64_t now = NowMs();
  if (!reportFile_.isEmpty() && now - lastReportMs_ >= 500) {
    lastReportMs_ = now;
    WriteTestReport();
  }
}

void TThermaSentinelForm::RequestLiveTexts() {
  if (!burstPanelsPending_ && !statusTextsPending_) return;
  const std::int64_t since = NowMs() - lastLiveTextMs_;
  if (since >= kLiveTextIntervalMs || since < 0) {
    ShowLiveTexts();
  } else if (liveTextTimer_ != nullptr && !liveTextTimer_->isActive()) {
    liveTextTimer_->start(static_cast<int>(kLiveTextIntervalMs - since));
  }
}

void TThermaSentinelForm::ShowLiveTexts() {
  if (!burstPanelsPending_ && !statusTextsPending_) return;
  lastLiveTextMs_ = NowMs();
  if (liveTextTimer_ != nullptr) liveTextTimer_->stop();
  if (burstPanelsPending_) {
    burstPanelsPending_ = false;
    ValuePanels.SetDelivered(DeliveredChannels());
    ValuePanels.ShowSample(burstPanelSample_, fahrenheit_);
  }
  if (statusTextsPending_) {
    statusTextsPending_ = false;
    TDiagram& d = *Diagram_;
    const double time = pendingTime_;
    if (d.XScaleMode() == smLocal) {
      if (windowStartPending_) {
        d.SetXConstDiff(false);
        const double w = useInitialTime_ ? initialTime_ : d.XMax() - d.XMin();
        if (time <= w) {
          d.SetXMin(0.0);
          d.SetXMax(std::max(time, d.Resolution()));
        } else {
          d.SetXMin(time - initialTime_ - d.Resolution());
          d.SetXMax(time - d.Resolution());
          windowStartPending_ = false;
        }
        d.SetXConstDiff(true);
      } else {
        d.SetXMax(time);
      }
    }
    const double cycle = pendingCycle_;
    const QString cycleText = SentinelUtils::CycleText;
    SetStatusText(
        2, NumberText::Format(cycle >= 0.01 ? QStringLiteral("%s: %5.0fms") : QStringLiteral("%s: %5.1fms"),
                              {cycleText, cycle * 1000.0}));
    auto memText = [](std::int64_t bytes, bool withSlash) {
      const double kb = bytes / 1024.0;
      QString s =
          kb < 1024.0
              ? NumberText::Format(QStringLiteral("%d%s"),
                                   {static_cast<std::int64_t>(kb), SentinelUtils::UnitKByteText})
              : NumberText::Format(QStringLiteral("%3.1f%s"), {kb / 1024.0, SentinelUtils::UnitMByteText});
      return withSlash ? QLatin1Char(' ') + s + QLatin1Char('/') : s;
    };
    SetStatusText(6, memText(d.GetUsedMemory(), true) + memText(d.GetMaxMemory(), false));
  }
}

void TThermaSentinelForm::DiagramBufferFull(QObject*) {
  // The chart reports a full buffer for every sample it refuses: stop and
  // tell the user once.
  if (bufferFullHandled_) return;
  bufferFullHandled_ = true;
  mStopClick(nullptr);
  const QString text =
      LIS_->MessageText(QStringLiteral("BufferLimit"),
                        QStringLiteral("Data amount has reached the buffer limit!")) +
      QStringLiteral("\r") +
      LIS_->MessageText(QStringLiteral("MeasuringStopped"), QStringLiteral("Measuring stopped!"));
  const QString caption = LIS_->OtherTextOrKey(QStringLiteral("Information"));
  QMetaObject::invokeMethod(
      this,
      [this, text, caption] {
        if (OnShowMessage)
          OnShowMessage(text, caption);
        else
          QMessageBox::information(this, caption, text);
      },
      Qt::QueuedConnection);
}
