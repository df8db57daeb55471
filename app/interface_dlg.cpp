#include "app/interface_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/scan_device_dlg.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "platform/number_text.h"
#include "platform/port_map.h"
#include "transport/com_port.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

constexpr int kScanAll = 0;
constexpr int kScanBrio = 1;
constexpr int kScanSingleColour = 2;
constexpr std::int32_t kLowestRs485Serial = 10002;
constexpr std::int32_t kHighestRs485Serial = 11129999;

QString TypeName(std::uint8_t code) {
  QString s;
  SentinelUtils::DeviceTypeName(code, s);
  return s;
}

QString RateText(int baudIndex) {
  static const char* const kRates[] = {"9600", "19200", "38400", "57600", "115200"};
  return QString::fromLatin1(kRates[std::clamp(baudIndex, 0, 4)]);
}

QLabel* StaticText(QWidget* parent, const char* name) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setAlignment(Qt::AlignCenter);
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  l->setMinimumWidth(120);
  return l;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromLatin1(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

}  // namespace

TInterfaceDlg::TInterfaceDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("InterfaceDlg"));
  setWindowTitle(QStringLiteral("Setup Interface"));
  auto* layout = new QVBoxLayout(this);

  gbDevice = new QGroupBox(QStringLiteral("Connected device"), this);
  gbDevice->setObjectName(QStringLiteral("gbDevice"));
  auto* device = new QGridLayout(gbDevice);
  lblDevice = Caption(gbDevice, "lblDevice", "Device:");
  stDevice = StaticText(gbDevice, "stDevice");
  lblSerial = Caption(gbDevice, "lblSerial", "Serial No.:");
  stSerial = StaticText(gbDevice, "stSerial");
  lblComPort = Caption(gbDevice, "lblComPort", "Port (VCP):");
  stcomPort = StaticText(gbDevice, "stcomPort");
  lblBaudrate = Caption(gbDevice, "lblBaudrate", "Baudrate :");
  stBaudrate = StaticText(gbDevice, "stBaudrate");
  btnPowerOnOff = new QPushButton(QStringLiteral("Power on"), gbDevice);
  btnPowerOnOff->setObjectName(QStringLiteral("btnPowerOnOff"));
  int r = 0;
  for (auto [caption, text] : {std::pair{lblDevice, stDevice}, std::pair{lblSerial, stSerial},
                               std::pair{lblComPort, stcomPort}, std::pair{lblBaudrate, stBaudrate}}) {
    device->addWidget(caption, r, 0);
    device->addWidget(text, r, 1);
    ++r;
  }
  device->addWidget(btnPowerOnOff, r, 1);
  layout->addWidget(gbDevice);

  gbScanDevice = new QGroupBox(QStringLiteral("Scan device"), this);
  gbScanDevice->setObjectName(QStringLiteral("gbScanDevice"));
  auto* scan = new QGridLayout(gbScanDevice);
  cbScanDevice = new QComboBox(gbScanDevice);
  cbScanDevice->setObjectName(QStringLiteral("cbScanDevice"));
  btnScan = new QPushButton(QStringLiteral("Scan"), gbScanDevice);
  btnScan->setObjectName(QStringLiteral("btnScan"));
  cbArgoRS485 = new QCheckBox(QStringLiteral("RS485 Mode"), gbScanDevice);
  cbArgoRS485->setObjectName(QStringLiteral("cbArgoRS485"));
  Label3 = Caption(gbScanDevice, "Label3", "Comport :");
  cbRS485Comport = new QComboBox(gbScanDevice);
  cbRS485Comport->setObjectName(QStringLiteral("cbRS485Comport"));
  Label1 = Caption(gbScanDevice, "Label1", "Baudrate :");
  cbRS485Baud = new QComboBox(gbScanDevice);
  cbRS485Baud->setObjectName(QStringLiteral("cbRS485Baud"));
  Label2 = Caption(gbScanDevice, "Label2", "Addr. : :");
  cbRS485Addr = new QComboBox(gbScanDevice);
  cbRS485Addr->setObjectName(QStringLiteral("cbRS485Addr"));
  btnArgoRS485Connect = new QPushButton(QStringLiteral("Connect"), gbScanDevice);
  btnArgoRS485Connect->setObjectName(QStringLiteral("btnArgoRS485Connect"));
  scan->addWidget(cbScanDevice, 0, 0, 1, 4);
  scan->addWidget(btnScan, 0, 4, 1, 2);
  scan->addWidget(cbArgoRS485, 1, 0, 1, 6);
  scan->addWidget(Label3, 2, 0);
  scan->addWidget(cbRS485Comport, 2, 1);
  scan->addWidget(Label1, 2, 2);
  scan->addWidget(cbRS485Baud, 2, 3);
  scan->addWidget(Label2, 2, 4);
  scan->addWidget(cbRS485Addr, 2, 5);
  scan->addWidget(btnArgoRS485Connect, 3, 5);
  layout->addWidget(gbScanDevice);

  lblPortError = new QLabel(this);
  lblPortError->setObjectName(QStringLiteral("lblPortError"));
  lblPortError->setStyleSheet(QStringLiteral("color: red"));
  lblPortError->hide();
  layout->addWidget(lblPortError);

  auto* buttons = new QHBoxLayout;
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  layout->addLayout(buttons);

  // The test port only switches DTR: no events, no handshake lines of its own.
  cpTest = new TComPort(this);
  cpTest->setObjectName(QStringLiteral("cpTest"));
  cpTest->SetBaudRate(br9600);
  cpTest->SetPort(QStringLiteral("COM1"));
  cpTest->SetEvents({});
  cpTest->FlowControl().SetControlDTR(dtrDisable);
  cpTest->FlowControl().SetControlRTS(rtsDisable);
  cpTest->OnAfterOpen = [this](QObject*) { TestPortClosed = false; };
  cpTest->OnAfterClose = [this](QObject*) { TestPortClosed = true; };

  // FormCreate: the rates and the 79 bus addresses.
  for (int i = 0; i < 5; ++i) cbRS485Baud->addItem(RateText(i));
  cbRS485Baud->setCurrentIndex(0);
  for (int a = 1; a <= 79; ++a) cbRS485Addr->addItem(QString::number(a));
  cbRS485Addr->setCurrentIndex(0);

  connect(cbScanDevice, &QComboBox::activated, this, &TInterfaceDlg::cbScanDeviceChange);
  connect(cbArgoRS485, &QCheckBox::clicked, this, &TInterfaceDlg::cbArgoRS485Click);
  connect(btnScan, &QPushButton::clicked, this, &TInterfaceDlg::btnScanClick);
  connect(btnPowerOnOff, &QPushButton::clicked, this, &TInterfaceDlg::btnPowerOnOffClick);
  connect(btnArgoRS485Connect, &QPushButton::clicked, this, &TInterfaceDlg::btnArgoRS485ConnectClick);
  connect(btnOK, &QPushButton::clicked, this, &TInterfaceDlg::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  ShowRs485Row(false);

  FormRegistry::Add(this);
}

TInterfaceDlg::~TInterfaceDlg() { CloseTestPort(); }

QString TInterfaceDlg::ReadText(const QString& key, const QString& defaultText,
                                const QString& section) const {
  return LIS_ != nullptr ? LIS_->ReadText(key, defaultText, section) : defaultText;
}

int TInterfaceDlg::PortFromText(const QString& text) {
  return PortMap::NumberFromName(text.trimmed().toUpper());
}

bool TInterfaceDlg::Rs485SerialAccepted(std::int32_t serial) {
  return serial >= kLowestRs485Serial && serial <= kHighestRs485Serial;
}

QStringList TInterfaceDlg::PresentPortNames() {
  const PortMap map = PortMap::FromEnvironment();
  QStringList names;
  for (int n = 1; n <= PortMap::kMaxPort; ++n) {
    const QString path = map.PathForNumber(n);
    if (path.isEmpty() || (path.startsWith(QLatin1Char('/')) && !QFileInfo::exists(path))) continue;
    names.append(PortMap::NameFromNumber(n));
  }
  names.sort();
  return names;
}

void TInterfaceDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TInterfaceDlg::FormShow() {
  cbRS485Comport->clear();
  cbRS485Comport->addItems(PresentPortNames());
  cbRS485Comport->setCurrentIndex(0);
  cbArgoRS485Click();
  CloseTestPort();
  scanSelected_ = false;
  lblPortError->hide();
  btnPowerOnOff->setText(
      ReadText(QStringLiteral("PowerOn"), QStringLiteral("Power on"), QStringLiteral("Other")));
  btnPowerOnOff->setProperty("tag", 0);
  cbScanDevice->clear();
  cbScanDevice->addItem(QStringLiteral("<") +
                        ReadText(QStringLiteral("All_"), QStringLiteral("All"), QStringLiteral("Other")) +
                        QStringLiteral(">"));
  cbScanDevice->addItem(QStringLiteral("Brio/Duna/Gyre/Fenn/Dunav2"));
  cbScanDevice->addItem(QStringLiteral("Argo"));

  stDevice->setText(TypeName(DeviceType));
  if (DeviceType::IsSingleColour(DeviceType)) {
    stSerial->setText(QString::number(Serial));
    stcomPort->setText(PortMap::NameFromNumber(Port));
    QString rate;
    SentinelUtils::BaudrateName(BaudCode, rate);
    stBaudrate->setText(rate);
    stBaudrate->show();
    btnPowerOnOff->hide();
    cbScanDevice->setCurrentIndex(kScanSingleColour);
  } else if (DeviceType::IsBrioFirstGeneration(DeviceType)) {
    stSerial->setText(QString::number(Serial));
    stcomPort->setText(PortMap::NameFromNumber(Port));
    stBaudrate->hide();
    btnPowerOnOff->show();
    btnPowerOnOff->setEnabled(false);
    cbScanDevice->setCurrentIndex(kScanBrio);
  } else {
    stDevice->clear();
    stSerial->clear();
    stcomPort->clear();
    stBaudrate->hide();
    btnPowerOnOff->hide();
    cbScanDevice->setCurrentIndex(kScanAll);
  }
  UpdateOK();
}

void TInterfaceDlg::UpdateOK() {
  lblBaudrate->setVisible(!stBaudrate->isHidden());
  btnOK->setEnabled(!stSerial->text().isEmpty());
}

void TInterfaceDlg::cbScanDeviceChange() {
  if (cbScanDevice->currentIndex() != kScanSingleColour && cbArgoRS485->isChecked()) {
    cbArgoRS485->setChecked(false);
    cbArgoRS485Click();
  }
}

void TInterfaceDlg::ShowRs485Row(bool shown) {
  for (QWidget* w :
       {static_cast<QWidget*>(Label3), static_cast<QWidget*>(cbRS485Comport), static_cast<QWidget*>(Label1),
        static_cast<QWidget*>(cbRS485Baud), static_cast<QWidget*>(Label2), static_cast<QWidget*>(cbRS485Addr),
        static_cast<QWidget*>(btnArgoRS485Connect)})
    w->setVisible(shown);
  adjustSize();
}

void TInterfaceDlg::cbArgoRS485Click() {
  const bool on = cbArgoRS485->isChecked();
  if (on) cbScanDevice->setCurrentIndex(kScanSingleColour);
  cbScanDevice->setEnabled(!on);
  btnScan->setEnabled(!on);
  ShowRs485Row(on);
}

void TInterfaceDlg::CloseTestPort() {
  if (!cpTest->Connected()) return;
  try {
    cpTest->Close();
  } catch (const std::exception&) {
    // A port that went away is closed all the same.
  }
  TestPortClosed = true;
}

void TInterfaceDlg::ScanCancelled() {
  btnPowerOnOff->hide();
  stSerial->clear();
  stBaudrate->clear();
  stcomPort->setText(QStringLiteral("----"));
  scanSelected_ = false;
  CloseTestPort();
  cpTest->SetPort(QString());
  UpdateOK();
}

void TInterfaceDlg::btnScanClick() {
  CloseTestPort();
  if (scanDlg_ == nullptr) return;
  scanDlg_->WantedSerial = -1;
  scanDlg_->ScanNonUSB = ScanNonUSB;
  scanDlg_->Fahrenheit = Fahrenheit;
  scanDlg_->PreferredPort = 0;
  switch (cbScanDevice->currentIndex()) {
    case kScanBrio:
      scanDlg_->StoredDeviceType = DeviceType::Voduz1;
      scanDlg_->DeviceType = DeviceType::Voduz1;
      break;
    case kScanSingleColour:
      scanDlg_->StoredDeviceType = DeviceType::Argo;
      scanDlg_->DeviceType = DeviceType::Argo;
      break;
    default:
      scanDlg_->StoredDeviceType = DeviceType::Argo;
      scanDlg_->DeviceType = DeviceType::None;
      break;
  }
  if (scanDlg_->ShowModal() != QDialog::Accepted) {
    ScanCancelled();
    return;
  }
  DeviceType = scanDlg_->DeviceType;
  stDevice->setText(TypeName(DeviceType));
  const int index = scanDlg_->SelectedIndex;
  if (index < 0 || index >= scanDlg_->Found.size()) {
    ScanCancelled();
    return;
  }
  const TScanResult& r = scanDlg_->Found[index];
  scanSelected_ = true;
  scanPortName_ = r.PortName;
  scanBaudIndex_ = r.BaudIndex;
  stcomPort->setText(r.PortName);
  stSerial->setText(QString::number(r.Serial));
  if (DeviceType::IsSingleColour(DeviceType)) {
    btnPowerOnOff->hide();
    stBaudrate->setText(RateText(r.BaudIndex));
    stBaudrate->show();
  } else {
    btnPowerOnOff->show();
    btnPowerOnOff->setEnabled(true);
    stBaudrate->hide();
  }
  CloseTestPort();
  cpTest->SetPort(r.PortName);
  if (DeviceType::IsBrio(DeviceType)) {
    try {
      cpTest->Open();
    } catch (const std::exception&) {
      // The switch stays without effect on a port that does not open.
    }
  }
  UpdateOK();
}

void TInterfaceDlg::btnPowerOnOffClick() {
  const bool on = btnPowerOnOff->property("tag").toInt() == 0;
  try {
    if (cpTest->Connected()) cpTest->SetDTR(on);
  } catch (const std::exception&) {
    // A port that went away switches nothing.
  }
  btnPowerOnOff->setProperty("tag", on ? 1 : 0);
  btnPowerOnOff->setText(
      on ? ReadText(QStringLiteral("PowerOff"), QStringLiteral("Power off"), QStringLiteral("Other"))
         : ReadText(QStringLiteral("PowerOn"), QStringLiteral("Power on"), QStringLiteral("Other")));
}

void TInterfaceDlg::btnArgoRS485ConnectClick() {
  const int port = PortFromText(cbRS485Comport->currentText());
  const int address = cbRS485Addr->currentIndex() + 1;
  const int baud = std::max(cbRS485Baud->currentIndex(), 0);
  stSerial->clear();
  UpdateOK();
  if (port == 0) return;
  // The bus is asked on a device thread; the dialog waits for its answer.
  rs485_ = std::make_unique<ArgoFamily>(this);
  ArgoFamily* family = rs485_.get();
  btnArgoRS485Connect->setEnabled(false);
  btnOK->setEnabled(false);
  auto serial = std::make_shared<std::int32_t>(-1);
  family->Open(port, baud, address, [](bool) {});
  family->PostDriverJob(
      [serial](TpyreonArgo& d) {
        if (d.PortOpen()) *serial = d.GetSerialNumber();
        d.ClosePort();
      },
      [this, family, serial](bool) {
        if (rs485_.get() != family) return;
        btnArgoRS485Connect->setEnabled(true);
        if (Rs485SerialAccepted(*serial)) {
          stSerial->setText(QString::number(*serial));
          DeviceType = DeviceType::Argo;
        } else {
          stSerial->clear();
        }
        UpdateOK();
      });
}

void TInterfaceDlg::btnOKClick() {
  CloseTestPort();
  QString portText;
  int baudCode = BaudCode;
  int address = RS485Address;
  if (cbArgoRS485->isChecked()) {
    portText = cbRS485Comport->currentText();
    address = cbRS485Addr->currentText().toInt();
    baudCode = cbRS485Baud->currentIndex() + 1;
  } else {
    if (DeviceType::IsSingleColour(DeviceType) && scanSelected_) {
      portText = scanPortName_;
      baudCode = scanBaudIndex_ + 1;
    } else {
      portText = stcomPort->text();
    }
    // A device the scan found answered without a bus address; an address
    // kept from an earlier bus device would leave it unreachable.
    if (scanSelected_) address = 0;
  }
  const int port = PortFromText(portText);
  if (port == 0) {
    // Nothing is stored for a text that names no port.
    lblPortError->setText(
        NumberText::Format(ReadText(QStringLiteral("InvalidPort"), QStringLiteral("No serial port: \"%s\""),
                                    QStringLiteral("Messages")),
                           {portText}));
    lblPortError->show();
    return;
  }
  Port = port;
  BaudCode = baudCode;
  RS485Address = address;
  accept();
}
