// The Brio families in the main window: the first generation's events, the
// second generation's notifications, the end of loading with the model
// decision and the rewrite of a configuration a burst changed, and the
// stop of a Brio measurement (the device restarts and is read again).

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include "app/change_emiss_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/brio/brio_image.h"
#include "drivers/brio/brio_notify.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

// Second-generation value types of MsgBrioNewValues (high word of wParam).
enum BrioValueType : int {
  bvTObj = 1,
  bvTInt = 2,
  bvTAct = 4,
  bvTBox = 5,
  bvEps = 6,
  bvVcc = 7,
  bvTAmb = 8,
};

}  // namespace

void TThermaSentinelForm::WireBrioFamily() {
  family_->OnPortRemoved = [this] { PortRemoved(); };
  family_->OnError = [this](int code) { pyreonBrioError(this, code); };
  family_->OnProgress = [this](int p, const QString&) { pyreonBrioProgress(this, p); };
  if (DeviceType::IsBrioSecondGeneration(deviceTypeCode_)) {
    family_->OnBrioNotify = [this](std::uint16_t msg, std::uint32_t w, std::int32_t l) {
      BrioNotify(msg, w, l);
    };
    return;
  }
  family_->OnComOpen = [this] { pyreonBrioComOpen(this); };
  family_->OnComClose = [this] { pyreonBrioComClose(this); };
  family_->OnConnect = [this] { pyreonBrioConnect(this); };
  family_->OnAllLoaded = [this] { pyreonBrioAllLoaded(this); };
  family_->OnNewTemp = [this](std::uint8_t t, float v) { pyreonNewTemp(this, t, v); };
  family_->OnBurstStart = [this] { pyreonBrioBusrtStart(this); };
}

// ---------------------------------------------------------------------------
// First generation

void TThermaSentinelForm::pyreonBrioComOpen(QObject*) {
  state_ = csOpened;
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_ComportOpened"),
                                     QStringLiteral("Brio Comport opened. Brio Power On ...")));
  family_->PowerOn({});
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioComClose(QObject*) {
  state_ = csClosed;
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioConnect(QObject*) {
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_DeviceFound"),
                                     QStringLiteral("Device found. Read Data ...")));
  // The first generation measures in degrees Celsius only.
  fahrenheit_ = false;
  // A foreign chip closes the port; the images end in OnAllLoaded.
  family_->ReadConfiguration({});
}

void TThermaSentinelForm::pyreonBrioError(QObject*, int Errorcode) {
  ++errorsReported_;
  WriteTestReport();
  if (Errorcode != brioErrNoAnswer) return;
  ++errorCount_;
  if (errorCount_ > 5) mDisconnectClick(nullptr);
}

void TThermaSentinelForm::pyreonBrioProgress(QObject*, int Percent) {
  SetProgress(Percent);
  StatusBar_->repaint();
}

void TThermaSentinelForm::pyreonBrioBusrtStart(QObject*) {
  if (state_ != csConnected && state_ != csWaiting) return;
  BurstTimer->start();
  state_ = csMeasuring;
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioAllLoaded(QObject*) {
  SetStatusText(4, QString());
  BrioLoaded();
}

// ---------------------------------------------------------------------------
// Second generation

void TThermaSentinelForm::BrioNotify(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam) {
  ++brioNotifications_;
  switch (msg) {
    case MsgBrioPortOpened:
      WMBrioPortOpened();
      break;
    case MsgBrioPortClosed:
      WMBrioPortClosed();
      break;
    case MsgBrioDeviceFound:
      WMBrioDeviceFound();
      break;
    case MsgBrioDisconnected:
      WMBrioDisconnected();
      break;
    case MsgBrioCaliLoaded:
    case MsgBrioConfigLoaded:
    case MsgBrioVectorsLoaded:
      errorCount_ = 0;
      SetProgress(ProgressBar->value() + 33);
      break;
    case MsgBrioAllLoaded:
      WMBrioAllLoaded();
      break;
    case MsgBrioError:
      WMBrioError(lParam);
      break;
    case MsgBrioBurstStart:
      WMBrioBurstStart();
      break;
    case MsgBrioNewValues:
      WMBrioNewValues(wParam, lParam);
      break;
    default:
      break;
  }
}

void TThermaSentinelForm::WMBrioPortOpened() {
  state_ = csOpened;
  errorCount_ = 0;
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_ComportOpened"),
                                     QStringLiteral("Brio Comport opened. Brio Power On ...")));
  // The handshake moves the progress bar; one that found no device clears it.
  family_->PowerOn([this](bool ready) {
    if (!ready) SetProgress(0);
  });
  UpdateState();
}

void TThermaSentinelForm::WMBrioPortClosed() {
  state_ = csClosed;
  UpdateState();
}

void TThermaSentinelForm::WMBrioDeviceFound() {
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_DeviceFound"),
                                     QStringLiteral("Device found. Read Data ...")));
  SetProgress(0);
  errorCount_ = 0;
  family_->ReadConfiguration({});
}

void TThermaSentinelForm::WMBrioDisconnected() { mDisconnectClick(nullptr); }

void TThermaSentinelForm::WMBrioError(std::int32_t code) {
  ++errorsReported_;
  WriteTestReport();
  if (code != brioErrNoAnswer) return;
  ++errorCount_;
  if (errorCount_ > 5) mDisconnectClick(nullptr);
}

void TThermaSentinelForm::WMBrioBurstStart() {
  if (state_ != csConnected && state_ != csWaiting) return;
  BurstTimer->start();
  state_ = csMeasuring;
  UpdateState();
}

void TThermaSentinelForm::WMBrioAllLoaded() {
  if (family_ == nullptr || !family_->Snapshot().ImagesLoaded) return;
  errorCount_ = 0;
  SetProgress(0);
  SetStatusText(4, QString());
  BrioLoaded();
}

void TThermaSentinelForm::WMBrioNewValues(std::uint32_t wParam, std::int32_t lParam) {
  const int type = static_cast<int>(wParam >> 16);
  const bool hires = family_ != nullptr && family_->Snapshot().HighResolution;
  const float temperature = static_cast<float>(lParam) / (hires ? 100.0f : 10.0f);
  int channel = -1;
  float value = 0.0f;
  QString text;
  bool highResolutionValue = false;
  switch (type) {
    case bvTObj:
    case bvTInt:
    case bvTAct:
    case bvTAmb:
      channel = type == bvTObj   ? ChannelValues::TObj
                : type == bvTInt ? ChannelValues::TInt
                : type == bvTAct ? ChannelValues::TAct
                                 : ChannelValues::TAmb;
      value = temperature;
      SentinelUtils::FormatTemperature(fahrenheit_, hires, text, value);
      highResolutionValue = hires;
      break;
    case bvTBox:
      channel = ChannelValues::TBox;
      value = static_cast<float>(lParam) / 10.0f;
      text = TemperatureText(value);
      break;
    case bvEps:
      channel = ChannelValues::Epsilon;
      value = static_cast<float>(lParam) / 1000.0f;
      text = NumberText::FormatFixed(value, 3);
      break;
    case bvVcc:
      channel = ChannelValues::Vcc;
      value = static_cast<float>(lParam) / 1000.0f;
      text = NumberText::FormatFixed(value, 1) + QStringLiteral(" V");
      break;
    default:
      break;
  }
  if (channel >= 0) {
    values_[static_cast<std::size_t>(channel)] = value;
    ShowPanelText(channel, text);
    if (type == bvTObj && ChangeEmissDlg != nullptr && ChangeEmissDlg->isVisible())
      ChangeEmissDlg->ShowObjectTemperature(value);
    if (type == bvTObj && state_ == csMeasuring && measureMode_ == MeasureMode::Poll) NewPollEvent();
  }
  CopyPanelsToSecondSet();
  if (channel >= 0) FeedDisplays(ChannelValues::DisplayKindOfChannel(channel), value, highResolutionValue);
  errorCount_ = 0;
}

// ---------------------------------------------------------------------------
// Both generations

void TThermaSentinelForm::BrioLoaded() {
  const TDeviceSnapshot& device = family_->Snapshot();
  deviceTypeCode_ = device.TypeCode;
  if (deviceTypeCode_ == DeviceType::Fenn2W) btnLASER->setChecked(device.Laser);
  if (rewritePending_) {
    BrioRewrite();
    return;
  }
  if (stopRequested_) {
    BrioStopFinished();
    return;
  }
  const bool firstGeneration = DeviceType::IsBrioFirstGeneration(deviceTypeCode_);
  if (firstGeneration && !device.ImagesLoaded) {
    HideBrioChannels();
    return;
  }
  deviceReadThisRun_ = true;
  deviceSerial_ = device.SerialNumber;
  deviceTmin_ = device.RangeLo;
  deviceTmax_ = device.RangeHi;
  Diagram_->SetYRangeMin(deviceTmin_);
  Diagram_->SetYRangeMax(deviceTmax_);
  state_ = csConnected;
  ConnectTimeOutTimer->stop();
  SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
  SetProgress(0);
  pnlControlResize();
  PollTimer->setInterval(500);
  PollTimer->start();
  if (options_.Has(TOption::AutoStart))
    QMetaObject::invokeMethod(
        this, [this] { MsgStartRequest(); }, Qt::QueuedConnection);
  SetStatusText(5, KeepPluggedText());
  UpdateState();
  HideBrioChannels();
}

void TThermaSentinelForm::HideBrioChannels() {
  std::vector<int> off{ChannelValues::T2C, ChannelValues::T1C, ChannelValues::Tau};
  const bool inspection = deviceTypeCode_ == DeviceType::Briov2 || deviceTypeCode_ == DeviceType::Dunav2;
  if (DeviceType::IsBrioFirstGeneration(deviceTypeCode_)) off.push_back(ChannelValues::TBox);
  if (!inspection) {
    for (int c : {ChannelValues::Epsilon, ChannelValues::MVin, ChannelValues::Vcc, ChannelValues::TAmb})
      off.push_back(c);
  }
  for (int c : off) {
    graph_[c].ShowDigital = false;
    graph_[c].ShowDiagram = false;
    graph_[c].RangeDiagram = false;
  }
  for (int c = 0; c < 11; ++c) Diagram_->SetGraph(c, graph_[c]);
  ArrangePanels();
}

void TThermaSentinelForm::BrioRewrite() {
  SetStatusText(
      4, LIS_->MessageText(QStringLiteral("Brio_RewriteStatus"), QStringLiteral("Rewrite old Status ... ")));
  repaint();
  const int closes = closeCount_;
  family_->RewriteConfiguration(savedConfigImage_, [this, closes](bool written) {
    SetStatusText(4, StatusBar_->PanelText(4) +
                         LIS_->OtherTextOrKey(written ? QStringLiteral("OK!") : QStringLiteral("Failed!")));
    rewritePending_ = false;
    ++rewritesDone_;
    SetProgress(0);
    repaint();
    if (stopRequested_) {
      BrioStopFinished();
      return;
    }
    if (closeCount_ != closes && state_ == csClosed) return;
    // The device restarts with the configuration written and is read again.
    BrioRestart(100);
  });
}

void TThermaSentinelForm::BrioRestart(int pauseMs) {
  mDisconnectClick(this);
  repaint();
  const int closes = closeCount_;
  QTimer::singleShot(pauseMs, this, [this, closes] {
    // Nothing else connected or closed the device meanwhile.
    if (closed_ || closeCount_ != closes || state_ != csClosed) return;
    ConnectTimeOutTimer->stop();
    mScanClick(this);
  });
}

void TThermaSentinelForm::BrioStopFinished() {
  stopDone_ = true;
  // The close that waited for the stop goes on.
  ResumeWaitingClose();
}

void TThermaSentinelForm::ResumeWaitingClose() {
  // A close waiting for the device's stop has nothing more to wait for.
  if (closeWaitTimer_ == nullptr || !closeWaitTimer_->isActive()) return;
  closeWaitTimer_->stop();
  QMetaObject::invokeMethod(
      this, [this] { ContinueClose(); }, Qt::QueuedConnection);
}

QString TThermaSentinelForm::BrioSerialText() const { return QString::number(deviceSerial_); }
