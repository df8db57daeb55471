#pragma once

#include <QDialog>

#include "drivers/argo/argo_types.h"

class ArgoFamily;
class QCheckBox;
class QComboBox;
class QPushButton;
class TDSpinEdit;
class TLngINISupp;
class TOptStringGrid;

// Edits a copy of a single-colour device's material table: eight rows of
// emissivity and two alarms (A and B), each alarm with a temperature and the
// output it drives. Cells are edited by editors laid over the selected cell;
// the "Set all" boxes apply an edit to every row. The dialog never writes to
// the device: on OK the caller takes FTable back and writes it.
//
// Which outputs can be chosen depends on the firmware, read once per show
// as a job on the device's session; the grid takes no input until it came.
class TMatTableDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TMatTableDlg(QWidget* owner = nullptr);

  // Set by the caller before ShowModal.
  TArgoMaterialTable FTable{};
  bool FFahrenheit = false;
  float FRangeLow = 0.0f;   // °C
  float FRangeHigh = 0.0f;  // °C
  bool FCh2Analog = false;
  bool FCh1Analog = false;
  ArgoFamily* FDevice = nullptr;
  TLngINISupp* FLng = nullptr;

  int ShowModal() { return exec(); }
  // The device's display unit changed while the dialog is open.
  void UnitChanged(bool fahrenheit);
  // The firmware read at this show (65535 when the read failed); 0 before.
  int Firmware() const { return firmware_; }
  bool Ready() const { return ready_; }

  TOptStringGrid* sgMatTable;
  TDSpinEdit* seEmissivity;
  TDSpinEdit* seAlarm;
  QComboBox* cbAlarmDevice;
  QCheckBox* cbAllEmiss;
  QCheckBox* cbAllLoAlarm;
  QCheckBox* cbAllLoDevice;
  QCheckBox* cbAllHiAlarm;
  QCheckBox* cbAllHiDevice;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  // Fills the output list and the headers once the firmware is known.
  void FirmwareKnown(int firmware);
  void FillGrid();
  // Column widths from their texts, and the controls and the size that follow.
  void PlaceControls();
  void sgMatTableSelectCell(int col, int row);
  void PlaceEditor(QWidget* editor, int col, int row);
  void seFloatChange();
  void cbAlarmDeviceChange();
  void SetAlarmLimits();
  QString OutputText(std::uint8_t code) const;
  // A text of the language file's "Other" section.
  QString OtherText(const QString& key, const QString& defaultText) const;
  bool SingleOutput() const;

  int firmware_ = 0;
  bool ready_ = false;
  // The cell whose editor is shown (grid column and row).
  int editCol_ = 0;
  int editRow_ = 0;
};
