#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class ArgoFamily;
class TComPort;
class TLngINISupp;
class TScanDeviceDlg;

// Setup Interface: shows the device the program is set up for, picks
// another one with the scan dialog, switches a Brio device's supply through
// the DTR line of its port, or addresses a single-colour device on an RS485
// bus by port, baud rate and address. On OK the launcher stores Port,
// BaudCode and RS485Address and connects.
class TInterfaceDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TInterfaceDlg(QWidget* owner = nullptr);
  ~TInterfaceDlg() override;

  // Exchanged with the launcher.
  int Port = 0;
  int BaudCode = 1;  // 1..5: 9600..115200
  int Serial = 0;
  std::uint8_t DeviceType = 0;
  int RS485Address = 0;
  bool ScanNonUSB = false;
  bool Fahrenheit = false;
  bool TestPortClosed = true;

  void SetLanguage(TLngINISupp* lis) { LIS_ = lis; }
  // The scan dialog the Scan button runs (owned by the main window).
  void SetScanDialog(TScanDeviceDlg* dlg) { scanDlg_ = dlg; }

  int ShowModal() { return exec(); }

  // The COM number of a port text ("COM7", "com7", "7"); 0 when the text
  // names no port 1..255.
  static int PortFromText(const QString& text);
  // Whether a serial number read over the RS485 bus belongs to a device.
  static bool Rs485SerialAccepted(std::int32_t serial);
  // The ports present now as "COMn", sorted as text.
  static QStringList PresentPortNames();

  void cbScanDeviceChange();
  void cbArgoRS485Click();
  void btnScanClick();
  void btnPowerOnOffClick();
  void btnArgoRS485ConnectClick();
  void btnOKClick();

  QGroupBox* gbDevice;
  QLabel* lblDevice;
  QLabel* stDevice;
  QLabel* lblSerial;
  QLabel* stSerial;
  QLabel* lblComPort;
  QLabel* stcomPort;
  QLabel* lblBaudrate;
  QLabel* stBaudrate;
  QPushButton* btnPowerOnOff;
  QGroupBox* gbScanDevice;
  QComboBox* cbScanDevice;
  QPushButton* btnScan;
  QCheckBox* cbArgoRS485;
  QLabel* Label3;
  QComboBox* cbRS485Comport;
  QLabel* Label1;
  QComboBox* cbRS485Baud;
  QLabel* Label2;
  QComboBox* cbRS485Addr;
  QPushButton* btnArgoRS485Connect;
  QLabel* lblPortError;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  TComPort* cpTest;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // A text of the language file, or `defaultText` without one.
  QString ReadText(const QString& key, const QString& defaultText, const QString& section) const;
  void FormShow();
  void CloseTestPort();
  void ScanCancelled();
  void UpdateOK();
  void ShowRs485Row(bool shown);

  TLngINISupp* LIS_ = nullptr;
  TScanDeviceDlg* scanDlg_ = nullptr;
  std::unique_ptr<ArgoFamily> rs485_;
  // The scan record chosen last (port name and baud index).
  QString scanPortName_;
  int scanBaudIndex_ = 0;
  bool scanSelected_ = false;
};
