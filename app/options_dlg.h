#pragma once

#include <QDialog>
#include <cstdint>
#include <utility>
#include <vector>

#include "measurement/config.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RadioGroup;

// "Options": the program options of the settings' [Options] group that the
// user sets directly, the decimal separator, the application title, the
// temperature unit and the process priority. The launcher fills the fields,
// runs ShowModal and, on 1 (OK), takes them back.
//
// OK sets only the flags the dialog shows; the others (bars, panel
// positions, window state) keep their values.
class TOptionsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TOptionsDlg(QWidget* owner = nullptr);

  int ShowModal() { return exec(); }

  // Flags, DecimalUserDefined (the dialog's DecimalChar) and
  // ApplicationTitle_Title (its Title).
  TOptions Options;
  std::uint8_t TempUnit = 0;  // 0 Celsius, 1 Fahrenheit
  bool TempUnitEnabled = false;
  std::uint8_t DeviceType = 0;  // device type code of the connected device
  // The priority class index chosen on OK (0 idle .. 3 real-time).
  int Priority = 1;

  // The flags this dialog edits.
  static std::uint32_t ShownFlags();

  QCheckBox *cbAskForSaving, *cbForceSaving, *cbAutoScan, *cbAutoStart, *cbScanNonUSB, *cbEnableLASER,
      *cbLaserWarning, *cbBriov2InputInspection;
  QGroupBox* gbDecimalSeparator;
  QRadioButton *rbSystem, *rbUserDefined;
  QLineEdit* eDecimalSeparator;
  QGroupBox* gbAppTitle;
  QRadioButton *rbAppName, *rbUserDefTitle;
  QLineEdit* eUserDefTitle;
  RadioGroup* rgTempUnit;
  QGroupBox* gbPriority;
  QLabel* lblPriority;
  QComboBox* cbPriority;
  QLabel *lblIdle, *lblNormal, *lblHigh, *lblRealtime;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  void FormShow();
  void btnOKClick();

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RadioClick();
  // Check boxes and the flag each one edits.
  std::vector<std::pair<QCheckBox*, TOption>> flagBoxes_;
  int shownPriority_ = 1;
};
