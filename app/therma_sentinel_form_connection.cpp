// Device connection and state of the main window.

#include <QMenuBar>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "app/device_info_dlg.h"
#include "app/interface_dlg.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/argo_types.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "platform/number_text.h"
#include "setup_argo/argo_device_setup_dlg.h"
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

void TThermaSentinelForm::CreateDriver() { CreateFamily(); }

TThermaSentinelForm::TFamilyGroup TThermaSentinelForm::FamilyGroupOf(std::uint8_t code) {
  if (DeviceType::IsBrioFirstGeneration(code)) return TFamilyGroup::BrioFirst;
  if (DeviceType::IsBrioSecondGeneration(code)) return TFamilyGroup::BrioSecond;
  return TFamilyGroup::SingleColour;
}

void TThermaSentinelForm::CreateFamily() {
  const TFamilyGroup group = FamilyGroupOf(deviceTypeCode_);
  if (family_ != nullptr && familyGroup_ == group) return;
  if (family_ != nullptr) {
    // Another family's device: the old one's thread ends first.
    family_->Close();
    if (family_->Shutdown(500, 1000))
      family_.reset();
    else
      LeaveStuckFamily();
  }
  familyGroup_ = group;
  if (group == TFamilyGroup::BrioFirst) {
    family_ = std::make_unique<BrioFamily>(this, deviceTypeCode_);
    WireBrioFamily();
    return;
  }
  if (group == TFamilyGroup::BrioSecond) {
    family_ = std::make_unique<BrioMaFamily>(this);
    WireBrioFamily();
    return;
  }
  family_ = std::make_unique<ArgoFamily>(this);
  family_->OnConnect = [this] { pyreonArgoConnect(this); };
  family_->OnDisconnect = [this] { pyreonArgoDisconnect(this); };
  family_->OnError = [this](int code) { pyreonArgoError(this, code); };
  family_->OnLoadConfigData = [this](bool ok) { pyreonArgoLoadConfigData(this, ok); };
  family_->OnProgress = [this](int p, const QString& c) { pyreonArgoProgress(this, p, c); };
  family_->OnChannelValues = [this](const TChannelSample& reading) { TakeReading(reading); };
  family_->OnPortRemoved = [this] { PortRemoved(); };
}

void TThermaSentinelForm::ConnectFamily(int port, int baudIndex, bool quietFailure) {
  CreateFamily();
  if (family_ == nullptr) {
    mDisconnectClick(this);
    return;
  }
  family_->Open(port, baudIndex, config_->ReadRS845Addr(), [this, quietFailure](bool opened) {
    if (opened) {
      // A Brio device reported its open port (Opened) before this.
      if (state_ == csWaiting || state_ == csOpened) ConnectTimeOutTimer->start();
    } else if (state_ == csWaiting) {
      if (quietFailure)
        state_ = csClosed;
      else
        mDisconnectClick(this);
      ResumeWaitingClose();
    }
    UpdateState();
  });
}

void TThermaSentinelForm::AutoConnect() {
  const std::uint8_t type = config_->ReadDeviceType();
  const int addr = config_->ReadRS845Addr();
  if (DeviceType::IsSingleColour(type) && addr >= 1 && addr <= 79) {
    // The attempt waits as the scan command's does: the window says so and
    // offers no second connect meanwhile, and a device that does not answer
    // is given up after the connect time-out (armed once the port is open).
    // A port that does not open leaves the window as it found it (the
    // chart's width is not taken for the stored one at exit).
    errorCount_ = 0;
    state_ = csWaiting;
    UpdateState();
    ConnectFamily(config_->ReadComPort(), static_cast<int>(BaudIndex(config_->ReadBaudrate(), argo115200)),
                  true);
  } else {
    RunScanDialog();
  }
  UpdateState();
}

void TThermaSentinelForm::RunScanDialog() {
  // The dialog searches the stored port first, then the adapters; a device
  // with the stored serial number closes it by itself. It is open while the
  // window goes on (window-modal), and its result connects the device.
  TScanDeviceDlg& dlg = *ScanDeviceDlg;
  if (dlg.isVisible()) return;
  const std::uint8_t stored = deviceTypeCode_;
  dlg.WantedSerial = DeviceType::IsSingleColour(stored) ? config_->ReadArgoSerial()
                     : DeviceType::IsBrio(stored)       ? config_->ReadBrioSerial()
                                                        : 0;
  dlg.StoredDeviceType = stored;
  dlg.DeviceType = DeviceType::None;
  dlg.PreferredPort = config_->ReadComPort();
  // The stored port is searched at the stored rate first.
  dlg.PreferredBaudIndex = static_cast<int>(BaudIndex(config_->ReadBaudrate(), argo9600));
  dlg.ScanNonUSB = options_.Has(TOption::ScanNonUSBDevices);
  dlg.Fahrenheit = fahrenheit_;
  connect(
      &dlg, &QDialog::finished, this, [this](int result) { ScanDialogClosed(result); },
      Qt::SingleShotConnection);
  dlg.open();
}

void TThermaSentinelForm::ScanDialogClosed(int result) {
  if (closed_) return;
  const TScanDeviceDlg& dlg = *ScanDeviceDlg;
  if (result == QDialog::Accepted && dlg.SelectedIndex >= 0 && dlg.SelectedIndex < dlg.Found.size() &&
      DeviceType::IsKnown(dlg.DeviceType) && state_ == csClosed) {
    const TScanResult found = dlg.Found[dlg.SelectedIndex];
    QString name = found.PortName.trimmed();
    if (name.toUpper().startsWith(QStringLiteral("COM"))) name = name.mid(3);
    bool ok = false;
    int port = name.toInt(&ok);
    if (!ok || port < 1 || port > 255) port = found.Port;
    deviceTypeCode_ = dlg.DeviceType;
    SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
    errorCount_ = 0;
    state_ = csWaiting;
    config_->WriteComPort(port);
    UpdateState();
    ConnectFamily(port, DeviceType::IsSingleColour(deviceTypeCode_) ? found.BaudIndex : 0);
  }
  UpdateState();
}

void TThermaSentinelForm::mInterfaceClick(QObject*) {
  InterfaceDlg->ScanNonUSB = options_.Has(TOption::ScanNonUSBDevices);
  InterfaceDlg->Port = config_->ReadComPort();
  InterfaceDlg->BaudCode = config_->ReadBaudrate();
  InterfaceDlg->RS485Address = config_->ReadRS845Addr();
  InterfaceDlg->Fahrenheit = fahrenheit_;
  std::int32_t serial = -1;
  if (family_ != nullptr) {
    const TDeviceSnapshot& device = family_->Snapshot();
    serial = device.SerialNumber;
    if (serial < 0 && DeviceType::IsBrioSecondGeneration(deviceTypeCode_))
      serial = (device.ConfigImage[0] << 16) | (device.ConfigImage[1] << 8) | device.ConfigImage[2];
    family_->Close();
  }
  InterfaceDlg->Serial = serial;
  const bool wasConnected = state_ >= csConnected;
  InterfaceDlg->DeviceType = wasConnected ? deviceTypeCode_ : DeviceType::None;
  // The dialog tests ports itself: the device lets go of its port.
  mDisconnectClick(this);
  const bool accepted = InterfaceDlg->ShowModal() == QDialog::Accepted;
  if (accepted) {
    config_->WriteComPort(InterfaceDlg->Port);
    config_->WriteBaudrate(InterfaceDlg->BaudCode);
    config_->WriteRS845Addr(static_cast<std::uint8_t>(InterfaceDlg->RS485Address));
    deviceTypeCode_ = InterfaceDlg->DeviceType;
    SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
  }
  // OK connects the chosen device; Cancel changes nothing, so the device
  // connected before comes back with the settings it had.
  if (accepted || wasConnected) {
    // The device's port settles before it is opened again.
    QTimer::singleShot(500, this, [this] {
      if (state_ == csClosed) mScanClick(this);
    });
  }
  UpdateState();
}

void TThermaSentinelForm::mScanClick(QObject* Sender) {
  if (Sender == nullptr && state_ == csMeasuring && measureMode_ == MeasureMode::Poll) {
    state_ = csConnected;
    PollTimer->start();
    return;
  }
  errorCount_ = 0;
  state_ = csWaiting;
  UpdateState();
  // The connect time-out starts once the port is open (ConnectFamily); a
  // Brio device's images count as unread until it is read again (the
  // family's driver clears them when the port opens).
  ConnectFamily(config_->ReadComPort(), static_cast<int>(BaudIndex(config_->ReadBaudrate(), argo9600)));
  UpdateState();
  repaint();
  ArrangePanels();
}

void TThermaSentinelForm::mDisconnectClick(QObject* Sender) {
  xWindowFromChart_ = true;
  const bool closes = measureMode_ == MeasureMode::Burst || Sender == btnDisconnect ||
                      Sender == mDisconnect || Sender == this || Sender == mDeviceSetup ||
                      Sender == btnDeviceSetup;
  if (closes) {
    BurstTimer->stop();
    ConnectTimeOutTimer->stop();
    ReadConfigTimeOutTimer->stop();
    if (family_ != nullptr) family_->Close();
    configReadPending_ = false;
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
  // A Brio device's power-on and image reads run longer than the time-out:
  // it counts only while no device job runs (as the window could not count
  // it while those ran on its own thread).
  if (DeviceType::IsBrio(deviceTypeCode_) && family_ != nullptr && family_->Busy()) return;
  ConnectTimeOutTimer->stop();
  if (state_ == csWaiting || state_ == csOpened) {
    mDisconnectClick(this);
    ResumeWaitingClose();
  }
}

void TThermaSentinelForm::ReadConfigTimeOutTimerTimer() {
  // The read is retried while none is under way (it may take longer than
  // the timer's interval at a low rate).
  if (family_ == nullptr || configReadPending_ || !family_->Snapshot().PortOpen) return;
  configReadPending_ = true;
  family_->ReadConfiguration([this](bool) { configReadPending_ = false; });
}

void TThermaSentinelForm::pyreonArgoConnect(QObject*) {
  if (family_ == nullptr) return;
  ReadConfigTimeOutTimer->start();
  const int closes = closeCount_;
  configReadPending_ = true;
  family_->ReadConfiguration([this, closes](bool complete) {
    configReadPending_ = false;
    ConfigurationRead(complete, closes);
  });
}

void TThermaSentinelForm::ConfigurationRead(bool complete, int closes) {
  // A device that stopped answering during the read, or went with its
  // port, is neither taken as connected nor started: its error was
  // reported once, and the connect time-out or the disconnect closes it.
  const TDeviceSnapshot& device = family_->Snapshot();
  if (!complete || !device.PortOpen || closeCount_ != closes) return;
  deviceTypeCode_ = device.TypeCode == DeviceType::ArgoRatio ? DeviceType::ArgoRatio : DeviceType::Argo;
  state_ = csConnected;
  ConnectTimeOutTimer->stop();
  SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
  SetProgress(0);
  pnlControlResize();
  btnLASER->setChecked(device.Laser);
  SetChartMessageForLaser(device.Laser);
  deviceTmin_ = device.RangeLo;
  deviceTmax_ = device.RangeHi;
  if (!(deviceTmax_ > deviceTmin_)) {
    deviceTmin_ = -50.0f;
    deviceTmax_ = 3000.0f;
  }
  Diagram_->SetYRangeMin(deviceTmin_);
  Diagram_->SetYRangeMax(deviceTmax_);
  if (ArgoDeviceSetupDlg != nullptr) {
    ArgoDeviceSetupDlg->FChangeCount1 = 0;
    ArgoDeviceSetupDlg->FChangeCount2 = 0;
    ArgoDeviceSetupDlg->FChangeCount3 = 0;
  }
  const std::int32_t serial = device.SerialNumber;
  if (serial >= 0) {
    deviceReadThisRun_ = true;
    deviceSerial_ = serial;
    deviceRs485_ = static_cast<std::uint8_t>(device.Rs485Address);
  }
  if (options_.Has(TOption::AutoStart))
    QMetaObject::invokeMethod(
        this, [this] { MsgStartRequest(); }, Qt::QueuedConnection);
  SetStatusText(5, KeepPluggedText());
  UpdateState();
}

QString TThermaSentinelForm::KeepPluggedText() const {
  if (family_ == nullptr) return QString();
  if (DeviceType::IsBrio(deviceTypeCode_))
    return NumberText::Format(
        LIS_->MessageText(QStringLiteral("Brio_KeepPlugged"), QStringLiteral("Keep %s #%s plugged in")),
        {deviceTypeLabel_, BrioSerialText()});
  return NumberText::Format(
      LIS_->MessageText(QStringLiteral("Argo_KeepPlugged"), QStringLiteral("Keep %s #%d plugged in")),
      {deviceTypeLabel_, static_cast<int>(family_->Snapshot().SerialNumber)});
}

void TThermaSentinelForm::SetChartMessageForLaser(bool laserOn) {
  if (deviceTypeCode_ == DeviceType::ArgoRatio && options_.Has(TOption::LASER_Warning_enabled)) {
    Diagram_->SetDiaMessage(laserOn ? LIS_->MessageText(QStringLiteral("MEASUREMENT_STOPPED"),
                                                        QStringLiteral("MEASUREMENT STOPPED !"))
                                    : QString());
  }
}

void TThermaSentinelForm::pyreonArgoDisconnect(QObject*) {}

void TThermaSentinelForm::pyreonArgoError(QObject*, int Errorcode) {
  ++errorsReported_;
  WriteTestReport();
  if (Errorcode == argoErrNoAnswer) {
    ++errorCount_;
    mDisconnectClick(nullptr);
  }
}

void TThermaSentinelForm::pyreonArgoLoadConfigData(QObject*, bool success) {
  // A read that gave up is retried by the read time-out; a device that did
  // not answer is not polled.
  if (!success || family_ == nullptr) return;
  ReadConfigTimeOutTimer->stop();
  deviceTypeCode_ =
      family_->Snapshot().TypeCode == DeviceType::ArgoRatio ? DeviceType::ArgoRatio : DeviceType::Argo;
  UpdateState();
  if (deviceTypeCode_ == DeviceType::ArgoRatio) {
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

void TThermaSentinelForm::pyreonArgoProgress(QObject*, int Percent, const QString& caption) {
  SetProgress(Percent);
  // The driver names the sequence that runs ("READ", "WRITE").
  ProgressBar->setFormat(caption + QStringLiteral(" %p%"));
  ProgressBar->setTextVisible(Percent > 0 && !caption.isEmpty());
  StatusBar_->repaint();
}

void TThermaSentinelForm::PortRemoved() {
  if (family_ == nullptr) return;
  family_->Close();
  mDisconnectClick(this);
  ResumeWaitingClose();
}

void TThermaSentinelForm::mLASERClick(QObject*) {
  if (family_ == nullptr || !family_->HasLaser()) {
    btnLASER->setChecked(false);
    return;
  }
  family_->ToggleLaser([this](bool now) {
    btnLASER->setChecked(now);
    SetChartMessageForLaser(now);
  });
}

void TThermaSentinelForm::UpdateState() {
  if (MainMenu != nullptr) {
    for (QAction* top : MainMenu->actions()) top->setEnabled(state_ != csWaiting);
  }
  static const char* const kFirst[9] = {LNG_OTHER_KEY("Denied"),
                                        LNG_OTHER_KEY("Closed"),
                                        LNG_OTHER_KEY("Waiting"),
                                        LNG_OTHER_KEY("Opened"),
                                        LNG_OTHER_KEY("Opened"),
                                        LNG_OTHER_KEY("Opened"),
                                        "",
                                        LNG_OTHER_KEY("Opened"),
                                        LNG_OTHER_KEY("Opened")};
  static const char* const kSecond[9] = {"",
                                         "",
                                         "",
                                         "",
                                         LNG_OTHER_KEY("UnknownDevice"),
                                         LNG_OTHER_KEY("Connected"),
                                         "",
                                         LNG_OTHER_KEY("Measuring"),
                                         LNG_OTHER_KEY("Recording")};
  const int s = state_ <= csRecording ? state_ : static_cast<int>(csBusy);
  const QString first = QString::fromLatin1(kFirst[s]);
  SetStatusText(0, QStringLiteral("COM") + QString::number(config_->ReadComPort()) + QStringLiteral(": ") +
                       (first.isEmpty() ? QString() : LIS_->OtherTextOrKey(first)));
  if (state_ < csUnknownDevice)
    SetStatusText(1, QString());
  else if (state_ == csUnknownDevice)
    SetStatusText(1, LIS_->OtherTextOrKey(QStringLiteral("UnknownDevice")));
  else if (s != csBusy)
    SetStatusText(
        1, deviceTypeLabel_ + QStringLiteral(": ") + LIS_->OtherTextOrKey(QString::fromLatin1(kSecond[s])));
  if (state_ >= csConnected && state_ != csBusy && family_ != nullptr && family_->Snapshot().Connected)
    SetStatusText(5, KeepPluggedText());

  const bool free = !rewritePending_ && !stopRequested_;
  const bool scan = state_ == csClosed;
  const bool connectedFree = state_ == csConnected && free;
  const bool measuring = state_ == csMeasuring;
  const bool iface = state_ < csMeasuring && free;
  const bool open = state_ <= csConnected && state_ != csWaiting;
  const bool save = unsavedData_;
  const bool info = connectedFree;
  const bool emiss = connectedFree && deviceTypeCode_ != DeviceType::ArgoRatio;
  const bool loop = info && DeviceType::IsKnown(deviceTypeCode_);
  const bool laserFamily =
      DeviceType::IsSingleColour(deviceTypeCode_) || deviceTypeCode_ == DeviceType::Fenn2W;
  const bool laser = laserFamily && state_ == csConnected;

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
  // The device type code names the setup and loop-maintenance dialogs.
  const bool setup = info && HasDeviceSetupDialog();
  mDeviceSetup->setEnabled(setup);
  btnDeviceSetup->setEnabled(setup);
  mEmissivity->setEnabled(emiss);
  btnEmissivity->setEnabled(emiss);
  mLoopMaintenance->setEnabled(loop && HasLoopMaintenanceDialog());
  mViewSettings->setEnabled(true);
  mOptions->setEnabled(true);
  mLASER->setEnabled(laser);
  btnLASER->setEnabled(laser);

  const bool secondGeneration = family_ != nullptr && DeviceType::IsBrioSecondGeneration(deviceTypeCode_);
  const bool emissVisible =
      DeviceType::OffersEmissivity(deviceTypeCode_, secondGeneration ? family_->Snapshot().Firmware : 0);
  mEmissivity->setVisible(emissVisible);
  btnEmissivity->setVisible(emissVisible);
  const bool laserVisible = laserFamily && options_.Has(TOption::LASER_Button_enabled);
  mLASER->setVisible(laserVisible);
  btnLASER->setVisible(laserVisible);
  mLaserSeparator->setVisible(laserVisible);

  ApplyViewOptions();
  WriteTestReport();
}
