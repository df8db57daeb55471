// The live measurement loop of the main window.

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "measurement/channel_conversion.h"
#include "app/device_info_dlg.h"
#include "measurement/display_value_encoding.h"
#include "app/display_link.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::Now().time_since_epoch()).count();
}

QString PercentText(float v) { return NumberText::FormatFixed(v, 1) + QStringLiteral("%"); }

}  // namespace

// ---------------------------------------------------------------------------
// Start and stop

void TThermaSentinelForm::mStartClick(QObject*) {
  SetStatusText(4, QString());
  useInitialTime_ = true;
  xWindowFromChart_ = true;

  const int commMode = config_->ReadCommunicationMode();
  const int addr = config_->ReadRS845Addr();
  const bool bus = (deviceTypeCode_ == 1 || deviceTypeCode_ == 2) && addr >= 1 && addr <= 79;
  std::uint8_t mode = 2;
  if (commMode == 1)
    mode = bus ? 2 : 1;
  else if (commMode == 2)
    mode = 2;
  else
    mode = Diagram_->Resolution() < 0.2 ? (bus ? 2 : 1) : 2;

  if (state_ == csMeasuring) mStopClick(nullptr);
  recordCount_ = 0;

  if (!AskSaveUnsavedData()) {
    UpdateState();
    return;
  }
  if (deviceTypeCode_ >= 3 && deviceTypeCode_ <= 11) {
    // later: burst and poll measurements of the Brio families.
    UpdateState();
    return;
  }
  if (!pyreonArgo_->PortOpen()) {
    UpdateState();
    return;
  }
  measureMode_ = mode;
  windowStartPending_ = true;

  if (measureMode_ == 1) {
    PollTimer->stop();
    // A poll tick that processes events may still be running: wait for it,
    // but never without an end.
    QElapsedTimer wait;
    wait.start();
    while (pollBusy_ && wait.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    Diagram_->SetYRangeMin(deviceTypeCode_ == 2 ? -60.0 : deviceTmin_);
    Diagram_->SetYRangeMax(deviceTmax_);
    Diagram_->SetYDecimal(1);
    std::array<std::uint8_t, 8> slots{1, 2, 3, 4, 0, 0, 0, 0};
    if (deviceTypeCode_ == 2) slots = {1, 7, 3, 9, 8, 0, 0, 0};
    burstFastLayout_ = argo1ms_ && CanUseFastBurst();
    if (burstFastLayout_) slots = {1, 4, 0, 0, 0, 0, 0, 0};
    pyreonArgo_->SetBurstChannels(slots);
    pyreonArgo_->SetBurstMode(true);
    state_ = csMeasuring;
    static const int kBurstIntervals[5] = {128, 112, 96, 80, 64};
    const int baud = std::clamp(static_cast<int>(pyreonArgo_->Baudrate()), 0, 4);
    BurstTimer->setInterval(kBurstIntervals[baud]);
    BurstTimer->start();
    startDelay_ = config_->ReadArgoBurstStartDelay();
  } else {
    Diagram_->SetYDecimal(1);
    const int interval = std::clamp(static_cast<int>(std::lround(Diagram_->Resolution() * 1000.0)), 50, 500);
    PollTimer->setInterval(interval);
    if (2.0 * interval / 1000.0 > initialTime_) initialTime_ = static_cast<float>(2.0 * interval / 1000.0);
    state_ = csMeasuring;
    PollTimer->start();
  }

  repaint();
  measureStartTime_ = QDateTime::currentDateTime();
  measureStartMs_ = NowMs();
  SetProgress(0);
  PrepareChart();
  unsavedData_ = true;
  sampleCount_ = 0;
  lastSampleTime_ = 0.0;
  timeZero_ = 0.0;
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

void TThermaSentinelForm::mStopClick(QObject*) {
  ShowLiveTexts();
  useInitialTime_ = false;
  BurstTimer->stop();
  if (unsavedData_ && options_.Has(TOption::ForceSaving) && state_ > csConnected) ForceSave();
  SetStatusText(2, QString());
  StatusBar_->repaint();
  if (state_ <= csConnected) {
    UpdateState();
    return;
  }
  if (deviceTypeCode_ >= 3 && deviceTypeCode_ <= 11) {
    // later: Brio families disconnect, wait 500 ms and search again.
    state_ = csConnected;
    UpdateState();
    return;
  }
  const int addr = pyreonArgo_->RS485_Addr();
  if (!(addr >= 1 && addr <= 79) && pyreonArgo_->PortOpen()) pyreonArgo_->SetBurstMode(false);
  if (pyreonArgo_->PortOpen()) {
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

void TThermaSentinelForm::BurstTimerTimer() { BurstTimer->stop(); }

void TThermaSentinelForm::Idle() {
  if (state_ == csMeasuring && measureMode_ == 1 && !inBurstBatch_) NewBurstEvent();
}

void TThermaSentinelForm::NewBurstEvent() {
  double time = 0.0;
  double cycle = 0.0;
  if (NewBurstData(time, cycle)) UpdateDiagram(cycle, time);
  // Keep waking the loop while records keep coming; a running timer is left
  // running (restarting it on every idle pass only costs time).
  if (state_ == csMeasuring && measureMode_ == 1) {
    if (!BurstTimer->isActive()) BurstTimer->start();
  } else {
    BurstTimer->stop();
  }
}

bool TThermaSentinelForm::NewBurstData(double& Time, double& Cycle) {
  if (deviceTypeCode_ >= 3) return false;  // later: Brio records
  const int n = pyreonArgo_->BurstBufferCount();
  if (n <= 0) return false;  // most idle passes find nothing new
  inBurstBatch_ = true;
  int taken = 0;
  if (!recordsFile_.isEmpty() && !recordsOut_) {
    recordsOut_ = std::make_unique<QFile>(recordsFile_);
    if (!recordsOut_->open(QIODevice::WriteOnly | QIODevice::Append)) recordsOut_.reset();
  }
  QFile* records = recordsOut_.get();
  const bool fast = burstFastLayout_;
  const bool ratio = deviceTypeCode_ == 2;
  const bool ratioPercent = RatioPercentMode();
  using ChannelConversion::TArgoBurstLayout;
  const TArgoBurstLayout layout =
      fast ? TArgoBurstLayout::Fast : (ratio ? TArgoBurstLayout::Ratio : TArgoBurstLayout::Standard);
  for (int i = 0; i < n; ++i) {
    TArgoBurstRecord rec;
    if (!pyreonArgo_->GetNextBurstEntry(rec)) break;  // nothing left: never a made-up record
    ++taken;
    if (records) {
      QString line;
      for (std::uint16_t v : rec.Values) line += QString::number(v) + QLatin1Char('\t');
      line += QString::number(rec.Time, 'f', 6) + QLatin1Char('\n');
      records->write(line.toLatin1());
    }
    values_ = ChannelConversion::ConvertArgoBurstRecord(rec.Values, layout, ratioPercent);
    Time = rec.Time;
    ++recordCount_;
    const std::int64_t now = NowMs();
    if (recordCount_ == 1) {
      startDelayEndMs_ = now + static_cast<std::int64_t>(std::lround(startDelay_ * 1000.0));
      timeZero_ = rec.Time;
    } else if (now < startDelayEndMs_) {
      timeZero_ = rec.Time;
      if (startDelay_ > 0.0)
        SetProgress(100 -
                    static_cast<int>(std::lround((startDelayEndMs_ - now) / (startDelay_ * 1000.0) * 100.0)));
    } else {
      if (ProgressBar != nullptr && sampleCount_ == 0) SetProgress(0);
      Time -= timeZero_;
      AddSample(Time);
      if (bufferFullHandled_) break;  // the chart is full: the measurement has stopped
    }
    if (state_ != csMeasuring && state_ != csRecording) break;
  }
  if (records != nullptr) records->flush();
  Diagram_->DropOverflow();
  if (taken > 0) {
    Cycle = (Time - lastSampleTime_) / taken;
    lastSampleTime_ = Time;
    // Panel texts of the newest record, shown at the next refresh.
    burstPanelValues_ = values_;
    burstPanelsPercent_ = !fast && ratio && ratioPercent;
    burstPanelsPending_ = true;
    RequestLiveTexts();
    for (int kind = 1; kind <= 11; ++kind)
      FeedDisplays(kind, values_[static_cast<std::size_t>(ChannelValues::ChannelOfDisplayKind(kind))], false);
  }
  inBurstBatch_ = false;
  return taken > 0;
}

void TThermaSentinelForm::AddSample(double time) {
  Diagram_->AddValues(std::span<const float>(values_.data(), values_.size()), time);
  ++sampleCount_;
}

// ---------------------------------------------------------------------------
// Poll mode

void TThermaSentinelForm::PollTimerTimer() {
  PollTimer->stop();
  ShowPanelText(ChannelValues::MVin, QStringLiteral("-----"));
  if ((state_ == csMeasuring && measureMode_ == 2) || state_ == csConnected) {
    pollBusy_ = true;
    if (deviceTypeCode_ <= 2) {
      pyreonArgo_->ReadObjectTemperature();
      pyreonArgo_->ReadBoxTemperature();
      pyreonArgo_->ReadActualTemperature();
      if (deviceTypeCode_ == 2) {
        pyreonArgo_->ReadQuotientTemperature();
        pyreonArgo_->ReadSingleTemperature();
        pyreonArgo_->ReadTau();
      } else {
        pyreonArgo_->ReadInternalTemperature();
      }
      if (pyreonArgo_->Connected()) {
        const bool unit = pyreonArgo_->GetTemperatureUnit();
        if (pyreonArgo_->Connected() && unit != fahrenheit_) {
          fahrenheit_ = unit;
          Diagram_->update();
          if (DeviceInfoDlg != nullptr && DeviceInfoDlg->isVisible())
            DeviceInfoDlg->UnitMessage(unit ? 1 : 0);
        }
      }
    }
    // later: Brio families.
    pollBusy_ = false;
  }
  CopyPanelsToSecondSet();
  for (int c : {ChannelValues::Epsilon, ChannelValues::Vcc, ChannelValues::TAmb}) {
    if (Panels1[c].Label->text() == QStringLiteral("-----")) {
      Panels1[c].Box->hide();
      Panels2[c].Box->hide();
    }
  }
  // A device that stopped answering is polled again by its driver's
  // reconnect; the tick resumes with the connection.
  if (pyreonArgo_->PortOpen() && pyreonArgo_->Connected() && state_ >= csConnected) PollTimer->start();
}

void TThermaSentinelForm::pyreonNewTemp(QObject*, std::uint8_t TempTyp, float Temp) {
  errorCount_ = 0;
  int channel = -1;
  switch (TempTyp) {
    case 1:
      channel = ChannelValues::TObj;
      break;
    case 2:
      channel = ChannelValues::TInt;
      break;
    case 3:
      channel = ChannelValues::TBox;
      break;
    case 4:
      channel = ChannelValues::TAct;
      break;
    case 5:
      channel = ChannelValues::T2C;
      break;
    case 6:
      channel = ChannelValues::T1C;
      break;
    case 7:
      channel = ChannelValues::Tau;
      break;
    default:
      return;
  }
  values_[channel] = Temp;
  const bool percent = TempTyp == 7 || (TempTyp == 1 && RatioPercentMode());
  ShowPanelText(channel, percent ? PercentText(Temp) : TemperatureText(Temp));
  // later: TempTyp 1 goes to the change-emissivity dialog when it is shown.
  if ((TempTyp == 2 || TempTyp == 7) && state_ == csMeasuring && measureMode_ == 2) NewPollEvent();
  CopyPanelsToSecondSet();
  FeedDisplays(ChannelValues::DisplayKindOfChannel(channel), Temp, false);
}

bool TThermaSentinelForm::RatioPercentMode() const {
  return pyreonArgo_ != nullptr &&
         ChannelConversion::ObjectIsPercent(deviceTypeCode_, pyreonArgo_->Config().DisplayMainSource);
}

void TThermaSentinelForm::FeedDisplays(int kind, float value, bool highResolution) {
  if (kind < 1 || kind > 11) return;
  TDisplayValueContext context;
  context.Fahrenheit = fahrenheit_;
  context.HighResolution = highResolution;
  context.ObjectPercent = RatioPercentMode();
  const TDisplayValueMessage message = DisplayValueEncoding::Encode(kind, value, context);
  displayValues_[static_cast<std::size_t>(kind)] = message;
  // A channel without a value sends no number.
  if (message.HasValue && displayLink_ != nullptr) displayLink_->SendValue(kind, message.WParam);
}

void TThermaSentinelForm::NewPollEvent() {
  const double time = (NowMs() - measureStartMs_) / 1000.0;
  AddSample(time);
  Diagram_->DropOverflow();
  const double cycle = time - lastSampleTime_;
  lastSampleTime_ = time;
  UpdateDiagram(cycle, time);
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
    const TChannelValues& v = burstPanelValues_;
    ShowPanelText(ChannelValues::TObj, burstPanelsPercent_ ? PercentText(v[ChannelValues::TObj])
                                                           : TemperatureText(v[ChannelValues::TObj]));
    for (int c : {ChannelValues::TInt, ChannelValues::TBox, ChannelValues::TAct, ChannelValues::T2C,
                  ChannelValues::T1C})
      ShowPanelText(c, TemperatureText(v[c]));
    ShowPanelText(ChannelValues::Tau, PercentText(v[ChannelValues::Tau]));
    CopyPanelsToSecondSet();
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
    StatusBarResize();
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
