// The Brio families in the main window: both generations' notifications,
// the end of loading with the model decision and the rewrite of a
// configuration a burst changed, and the stop of a Brio measurement (the
// device restarts and is read again).

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

void TThermaSentinelForm::WireBrioFamily() {
  const bool second = DeviceType::IsBrioSecondGeneration(deviceTypeCode_);
  family_->OnPortRemoved = [this] { PortRemoved(); };
  family_->OnError = [this](int code) { pyreonBrioError(code); };
  family_->OnProgress = [this](int p, const QString&) { pyreonBrioProgress(p); };
  family_->OnComOpen = [this, second] { pyreonBrioComOpen(second); };
  family_->OnComClose = [this] { pyreonBrioComClose(); };
  family_->OnConnect = [this, second] { pyreonBrioConnect(second); };
  family_->OnAllLoaded = [this, second] { pyreonBrioAllLoaded(second); };
  family_->OnBurstStart = [this] { pyreonBrioBusrtStart(); };
  family_->OnChannelValues = [this](const TChannelSample& reading) { TakeReading(reading); };
  if (second) {
    family_->OnDisconnect = [this] { pyreonBrioDisconnect(); };
    family_->OnImageLoaded = [this] { pyreonBrioImageLoaded(); };
    family_->OnBrioNotify = [this](std::uint16_t, std::uint32_t, std::int32_t) { ++brioNotifications_; };
  }
}

void TThermaSentinelForm::pyreonBrioComOpen(bool second) {
  state_ = csOpened;
  if (second) errorCount_ = 0;
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_ComportOpened"),
                                     QStringLiteral("Brio Comport opened. Brio Power On ...")));
  // The second generation's handshake moves the progress bar; one that
  // found no device clears it.
  family_->PowerOn([this, second](bool ready) {
    if (second && !ready) SetProgress(0);
  });
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioComClose() {
  state_ = csClosed;
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioConnect(bool second) {
  SetStatusText(4, LIS_->MessageText(QStringLiteral("Brio_DeviceFound"),
                                     QStringLiteral("Device found. Read Data ...")));
  if (second) {
    SetProgress(0);
    errorCount_ = 0;
  } else {
    // The first generation measures in degrees Celsius only.
    fahrenheit_ = false;
  }
  // A foreign first-generation chip closes the port; the images end in
  // OnAllLoaded.
  family_->ReadConfiguration({});
}

void TThermaSentinelForm::pyreonBrioDisconnect() { mDisconnectClick(nullptr); }

void TThermaSentinelForm::pyreonBrioImageLoaded() {
  errorCount_ = 0;
  SetProgress(ProgressBar->value() + 33);
}

void TThermaSentinelForm::pyreonBrioError(int Errorcode) {
  ++errorsReported_;
  WriteTestReport();
  if (Errorcode != brioErrNoAnswer) return;
  ++errorCount_;
  if (errorCount_ > 5) mDisconnectClick(nullptr);
}

void TThermaSentinelForm::pyreonBrioProgress(int Percent) {
  SetProgress(Percent);
  StatusBar_->repaint();
}

void TThermaSentinelForm::pyreonBrioBusrtStart() {
  if (state_ != csConnected && state_ != csWaiting) return;
  BurstTimer->start();
  state_ = csMeasuring;
  UpdateState();
}

void TThermaSentinelForm::pyreonBrioAllLoaded(bool second) {
  if (second) {
    if (family_ == nullptr || !family_->Snapshot().ImagesLoaded) return;
    errorCount_ = 0;
    SetProgress(0);
  }
  SetStatusText(4, QString());
  BrioLoaded();
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
