#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// Device information: type, serial number, firmware revision and the IR
// temperature range of the connected device. The launcher fills the public
// fields and calls ShowModal; the texts are put into the controls when the
// dialog is shown. The range follows the unit: while the dialog is open,
// UnitMessage switches it between degrees Celsius and Fahrenheit at once.
class TDeviceInfoDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TDeviceInfoDlg(QWidget* owner = nullptr);

  // Filled by the launcher before ShowModal.
  bool Fahrenheit = false;
  QString DeviceTypeText;
  QString FirmwareText;
  QString SerialText;
  float RangeLow = 0.0F;   // degrees Celsius
  float RangeHigh = 0.0F;  // degrees Celsius

  // Returns the modal result (1 for OK).
  int ShowModal() { return exec(); }

  // The unit of the device changed (unitFlag 0 Celsius, 1 Fahrenheit): the
  // range is written again in the new unit.
  void UnitMessage(int unitFlag);

  // The range line as it is shown: "<low> .. <high>" with unit texts.
  QString RangeText() const;

  QLabel* lblDeviceType;
  QLabel* lblSerial;
  QLabel* lblFirmware;
  QLabel* lblDeviceRange;
  QFrame* bvlDeviceRange;
  QLabel* stDeviceType;
  QLabel* stSerial;
  QLabel* stFirmware;
  QLabel* stDeviceRange;
  QPushButton* btnOK;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};
