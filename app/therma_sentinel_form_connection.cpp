// Device connection and state of the main window.

#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "app/device_info_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "transport/com_port.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

// Baud index of the settings' "Baudrate" (1..5), `fallback` for any other.
TArgoBaudrate BaudIndex(int stored, TArgoBaudrate fallback) {
  if (stored >= 1 && stored <= 5) return static_cast<TArgoBaudrate>(stored - 1);
  return fallback;
}

}  // namespace

void TThermaSentinelForm::CreateDriver() {
  pyreonArgo_ = new TpyreonArgo(this);
  pyreonArgo_->setObjectName(QStringLiteral("pyreonArgo"));
  pyreonArgo_->OnConnect = [this](QObject* s) { pyreonArgoConnect(s); };
  pyreonArgo_->OnDisconnect = [this](QObject* s) { pyreonArgoDisconnect(s); };
  pyreonArgo_->OnError = [this](QObject* s, int code) { pyreonArgoError(s, code); };
  pyreonArgo_->OnLoadConfigData = [this](QObject* s, bool ok) { pyreonArgoLoadConfigData(s, ok); };
  pyreonArgo_->OnProgress = [this](QObject* s, int p, const QString& c) { pyreonArgoProgress(s, p, c); };
  pyreonArgo_->OnNewTemp = [this](QObject* s, std::uint8_t t, float v) { pyreonNewTemp(s, t, v); };
  // later: pyreonBrio (first generation) and pyreonBrio_mA (second
  // generation) with their events.
}

void TThermaSentinelForm::ConnectFamily(int port) {
  if (deviceTypeCode_ >= 3 && deviceTypeCode_ <= 11) {
    // later: Brio families (OpenPort of the first- or second-generation
    // driver, with the ten notification records for the second).
    return;
  }
  pyreonArgo_->SetComPort(port);
  pyreonArgo_->SetRS485_Addr(static_cast<std::int8_t>(config_->ReadRS845Addr()));
  const bool opened = pyreonArgo_->OpenPort();
  if (opened && pyreonArgo_->Port() != nullptr) {
    // A vanished port (unplugged adapter) is reported once from the port's
    // side; the reaction runs on the window's thread.
    pyreonArgo_->Port()->OnRemoved = [this](QObject*) {
      QMetaObject::invokeMethod(
          this, [this] { PortRemoved(); }, Qt::QueuedConnection);
    };
  }
}

void TThermaSentinelForm::AutoConnect() {
  const std::uint8_t type = config_->ReadDeviceType();
  const int addr = config_->ReadRS845Addr();
  if ((type == 1 || type == 2) && addr >= 1 && addr <= 79) {
    pyreonArgo_->SetBaudrate(BaudIndex(config_->ReadBaudrate(), argo115200));
    ConnectFamily(config_->ReadComPort());
  } else {
    RunScanDialog();
  }
  UpdateState();
}

void TThermaSentinelForm::RunScanDialog() {
  // later: the device scan dialog (WantedSerial from the stored serial,
  // StoredDeviceType, PreferredPort, ScanNonUSB, Fahrenheit), connecting the
  // family it returns and storing its port.
  //
  // Until it exists, a stored single-colour device is reconnected on its
  // stored port, which is what the dialog does when that port holds the
  // wanted device.
  if (config_->ReadDeviceType() == 1 || config_->ReadDeviceType() == 2) mScanClick(this);
}

void TThermaSentinelForm::mScanClick(QObject* Sender) {
  if (Sender == nullptr && state_ == csMeasuring && measureMode_ == 2) {
    state_ = csConnected;
    PollTimer->start();
    return;
  }
  errorCount_ = 0;
  if (deviceTypeCode_ >= 3 && deviceTypeCode_ <= 11) {
    // later: reconnect the Brio family of the stored port (first generation:
    // clear its three image flags; second: its four, and register the ten
    // notification records), with the connect time-out.
    UpdateState();
    return;
  }
  state_ = csWaiting;
  UpdateState();
  pyreonArgo_->SetBaudrate(BaudIndex(config_->ReadBaudrate(), argo9600));
  ConnectFamily(config_->ReadComPort());
  if (pyreonArgo_->PortOpen()) {
    if (state_ == csWaiting) ConnectTimeOutTimer->start();
  } else {
    mDisconnectClick(this);
  }
  UpdateState();
  repaint();
  ArrangePanels();
}

void TThermaSentinelForm::mDisconnectClick(QObject* Sender) {
  xWindowFromChart_ = true;
  const bool closes = measureMode_ == 1 || Sender == btnDisconnect || Sender == mDisconnect ||
                      Sender == this || Sender == mDeviceSetup || Sender == btnDeviceSetup;
  if (closes) {
    BurstTimer->stop();
    ConnectTimeOutTimer->stop();
    ReadConfigTimeOutTimer->stop();
    if (deviceTypeCode_ <= 2) {
      pyreonArgo_->ClosePort();
    }
    // later: ClosePort of the Brio driver for codes 3-11.
    state_ = csClosed;
    ++closeCount_;
  }
  if (Sender == nullptr) rewritePending_ = false;
  PollTimer->stop();
  UpdateState();
  SetStatusText(4, QString());
  SetStatusText(5, QString());
}

void TThermaSentinelForm::ConnectTimeOutTimerTimer() {
  ConnectTimeOutTimer->stop();
  if (state_ == csWaiting || state_ == csOpened) mDisconnectClick(this);
}

void TThermaSentinelForm::ReadConfigTimeOutTimerTimer() {
  if (pyreonArgo_->PortOpen()) pyreonArgo_->ReadAllParameters(true);
}

void TThermaSentinelForm::pyreonArgoConnect(QObject*) {
  ReadConfigTimeOutTimer->start();
  const int closes = closeCount_;
  pyreonArgo_->ReadAllParameters(true);
  // The device may have gone during the read; its error has closed the port.
  if (!pyreonArgo_->PortOpen() || closeCount_ != closes) return;
  deviceTypeCode_ = pyreonArgo_->IsRatioFirmware() ? 2 : 1;
  state_ = csConnected;
  ConnectTimeOutTimer->stop();
  SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
  SetProgress(0);
  pnlControlResize();
  // The laser of the single-colour family is its spot illumination.
  const bool laser = pyreonArgo_->GetSpotIllumination();
  btnLASER->setChecked(laser);
  SetChartMessageForLaser(laser);
  QThread::msleep(200);
  if (!pyreonArgo_->PortOpen()) return;
  const TArgoModelInfo& model = pyreonArgo_->CurrentModelInfo();
  deviceTmin_ = model.LoRangeTemp;
  deviceTmax_ = model.HiRangeTemp;
  if (!(deviceTmax_ > deviceTmin_)) {
    deviceTmin_ = -50.0f;
    deviceTmax_ = 3000.0f;
  }
  Diagram_->SetYRangeMin(deviceTmin_);
  Diagram_->SetYRangeMax(deviceTmax_);
  // later: reset the three change counters of ArgoDeviceSetupDlg.
  const std::int32_t serial = pyreonArgo_->Config().SerialNumber;
  if (serial >= 0) {
    deviceReadThisRun_ = true;
    deviceSerial_ = serial;
    deviceRs485_ = static_cast<std::uint8_t>(pyreonArgo_->RS485_Addr());
  }
  if (options_.Has(TOption::AutoStart))
    QMetaObject::invokeMethod(
        this, [this] { MsgStartRequest(); }, Qt::QueuedConnection);
  SetStatusText(5, KeepPluggedText());
  UpdateState();
}

QString TThermaSentinelForm::KeepPluggedText() const {
  if (pyreonArgo_ == nullptr) return QString();
  return NumberText::Format(
      LIS_->MessageText(QStringLiteral("Argo_KeepPlugged"), QStringLiteral("Keep %s #%d plugged in")),
      {deviceTypeLabel_, static_cast<int>(pyreonArgo_->Config().SerialNumber)});
}

void TThermaSentinelForm::SetChartMessageForLaser(bool laserOn) {
  if (deviceTypeCode_ == 2 && options_.Has(TOption::LASER_Warning_enabled)) {
    Diagram_->SetDiaMessage(laserOn ? LIS_->MessageText(QStringLiteral("MEASUREMENT_STOPPED"),
                                                        QStringLiteral("MEASUREMENT STOPPED !"))
                                    : QString());
  }
}

void TThermaSentinelForm::pyreonArgoDisconnect(QObject*) {}

void TThermaSentinelForm::pyreonArgoError(QObject*, int Errorcode) {
  if (Errorcode == argoErrNoAnswer) {
    ++errorCount_;
    mDisconnectClick(nullptr);
  }
}

void TThermaSentinelForm::pyreonArgoLoadConfigData(QObject*, bool) {
  ReadConfigTimeOutTimer->stop();
  deviceTypeCode_ = pyreonArgo_->IsRatioFirmware() ? 2 : 1;
  UpdateState();
  if (deviceTypeCode_ == 2) {
    for (int c : {ChannelValues::TInt, ChannelValues::TAct}) {
      graph_[c].ShowDigital = false;
      graph_[c].ShowDiagram = false;
    }
    mTInt->setVisible(false);
    mTAct->setVisible(false);
  } else {
    for (int c : {ChannelValues::T2C, ChannelValues::T1C, ChannelValues::Tau}) graph_[c].ShowDiagram = false;
  }
  for (int c = 0; c < 11; ++c) Diagram_->SetGraph(c, graph_[c]);
  PollTimer->start();
}

void TThermaSentinelForm::pyreonArgoProgress(QObject*, int Percent, const QString&) {
  SetProgress(Percent);
  StatusBar_->repaint();
}

void TThermaSentinelForm::PortRemoved() {
  if (deviceTypeCode_ <= 2 && pyreonArgo_ != nullptr) {
    pyreonArgo_->ClosePort();
    mDisconnectClick(this);
  }
  // later: the ports of the Brio drivers.
}

void TThermaSentinelForm::mLASERClick(QObject*) {
  if (deviceTypeCode_ == 1 || deviceTypeCode_ == 2) {
    const bool on = pyreonArgo_->GetSpotIllumination();
    pyreonArgo_->SetSpotIllumination(!on);
    const bool now = pyreonArgo_->GetSpotIllumination();
    btnLASER->setChecked(now);
    SetChartMessageForLaser(now);
  } else {
    btnLASER->setChecked(false);
    // later: codes 5-11 with a fitted laser (GetLaserState / SetLaser).
  }
}

void TThermaSentinelForm::UpdateState() {
  if (MainMenu != nullptr) {
    for (QAction* top : MainMenu->actions()) top->setEnabled(state_ != csWaiting);
  }
  static const char* const kFirst[9] = {
      LNG_OTHER_KEY("Denied"), LNG_OTHER_KEY("Closed"), LNG_OTHER_KEY("Waiting"),
      LNG_OTHER_KEY("Opened"), LNG_OTHER_KEY("Opened"), LNG_OTHER_KEY("Opened"),
      "",                      LNG_OTHER_KEY("Opened"), LNG_OTHER_KEY("Opened")};
  static const char* const kSecond[9] = {"", "", "", "", LNG_OTHER_KEY("UnknownDevice"),
                                         LNG_OTHER_KEY("Connected"), "", LNG_OTHER_KEY("Measuring"),
                                         LNG_OTHER_KEY("Recording")};
  const int s = state_ <= 8 ? state_ : 6;
  const QString first = QString::fromLatin1(kFirst[s]);
  SetStatusText(0, QStringLiteral("COM") + QString::number(config_->ReadComPort()) + QStringLiteral(": ") +
                       (first.isEmpty() ? QString() : LIS_->OtherTextOrKey(first)));
  if (state_ < 4)
    SetStatusText(1, QString());
  else if (state_ == 4)
    SetStatusText(1, LIS_->OtherTextOrKey(QStringLiteral("UnknownDevice")));
  else if (s != 6)
    SetStatusText(
        1, deviceTypeLabel_ + QStringLiteral(": ") + LIS_->OtherTextOrKey(QString::fromLatin1(kSecond[s])));
  if (state_ >= csConnected && state_ != csBusy && pyreonArgo_ != nullptr && pyreonArgo_->Connected() &&
      deviceTypeCode_ <= 2)
    SetStatusText(5, KeepPluggedText());

  const bool free = !rewritePending_ && !stopRequested_;
  const bool scan = state_ == csClosed;
  const bool connectedFree = state_ == csConnected && free;
  const bool measuring = state_ == csMeasuring;
  const bool iface = state_ < csMeasuring && free;
  const bool open = state_ <= csConnected && state_ != csWaiting;
  const bool save = unsavedData_;
  const bool info = connectedFree;
  const bool emiss = connectedFree && deviceTypeCode_ != 2;
  const bool loop = info && deviceTypeCode_ >= 1 && deviceTypeCode_ <= 11;
  const bool laser =
      (deviceTypeCode_ == 1 || deviceTypeCode_ == 2 || deviceTypeCode_ == 7) && state_ == csConnected;

  mSetup->setEnabled(true);
  mScan->setEnabled(scan);
  btnScan->setEnabled(scan);
  mDisconnect->setEnabled(connectedFree);
  btnDisconnect->setEnabled(connectedFree);
  mStart->setEnabled(connectedFree);
  btnStart->setEnabled(connectedFree);
  for (QObject* o : {static_cast<QObject*>(mStop), static_cast<QObject*>(mPause)})
    static_cast<QAction*>(o)->setEnabled(measuring);
  btnStop->setEnabled(measuring);
  btnPause->setEnabled(measuring);
  mInterface->setEnabled(iface);
  mMeasurementSettings->setEnabled(iface);
  mOpen->setEnabled(open);
  btnOpen->setEnabled(open);
  mSave->setEnabled(save);
  btnSave->setEnabled(save);
  mDeviceInfo->setEnabled(info);
  btnDeviceInfo->setEnabled(info);
  // The setup dialogs, loop maintenance and the emissivity dialog come later.
  mDeviceSetup->setEnabled(false);
  btnDeviceSetup->setEnabled(false);
  (void)emiss;
  (void)loop;
  mEmissivity->setEnabled(false);
  btnEmissivity->setEnabled(false);
  mLoopMaintenance->setEnabled(false);
  mViewSettings->setEnabled(false);
  mOptions->setEnabled(false);
  mLASER->setEnabled(laser);
  btnLASER->setEnabled(laser);

  const bool emissVisible = deviceTypeCode_ != 2;  // later: code 7 with firmware <= 10004 hides it too
  mEmissivity->setVisible(emissVisible);
  btnEmissivity->setVisible(emissVisible);
  const bool laserVisible = (deviceTypeCode_ == 1 || deviceTypeCode_ == 2 || deviceTypeCode_ == 7) &&
                            options_.Has(TOption::LASER_Button_enabled);
  mLASER->setVisible(laserVisible);
  btnLASER->setVisible(laserVisible);
  mLaserSeparator->setVisible(laserVisible);

  ApplyViewOptions();
  WriteTestReport();
}
