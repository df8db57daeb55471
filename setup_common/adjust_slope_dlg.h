#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "setup_common/setup_change_timer.h"
#include "setup_common/slope_backend.h"
#include "setup_common/slope_math.h"

class QActionGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class SlopeDiagram;
class TDSpinEdit;
class TLngINISupp;

// The output slope dialog: the two points of the analog output line, typed
// into four edits or dragged in the diagram, written through its backend
// one second after the last change, with slope, offset and the temperatures
// where the output range ends. While nothing is pending it re-reads the
// backend so it follows changes made elsewhere; Cancel puts back what it
// read at opening. Backend work never blocks the window: input is held off
// while a read-at-opening, a write or the restore runs.
class TAdjustSlopeDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TAdjustSlopeDlg(QWidget* parent = nullptr);
  ~TAdjustSlopeDlg() override;

  // Set before showing. The backend outlives the showing.
  void SetBackend(SlopeBackend* backend) { backend_ = backend; }
  float TempMin = -40.0f;  // degrees Celsius (percent in the percent mode)
  float TempMax = 900.0f;
  bool Fahrenheit = false;
  std::function<void(QObject* sender, bool fahrenheit)> OnSettingsChanged;
  std::uint8_t TempRaster = 10;           // degrees, 0 = off
  std::uint8_t OutputRaster = 1;          // tenths, 0 = off
  std::uint32_t DiagramColor = 0x008000;  // 0x00BBGGRR
  // The mode shown before the backend reports one.
  int FixedMode = 0;
  // Multiplies the number of temperature grid labels of the diagram.
  int TemperatureLabelFactor = 1;
  // The program's language component: the captions are applied by control
  // name, the texts set by code are read through it.
  TLngINISupp* FLng = nullptr;

  // Pause between two refreshes while nothing is pending.
  static constexpr int kRefreshPauseMs = 250;
  static constexpr int kWriteDelayMs = 1000;

  // True while a read-at-opening, a write or the restore runs.
  bool SequenceRunning() const { return sequence_; }
  bool WritePending() const { return Pending() != 0; }

  // Controls (named as on the form).
  QComboBox* cbOutputMode4 = nullptr;
  TDSpinEdit* seLoRangeTemp = nullptr;
  TDSpinEdit* seLoRangeAnalogy = nullptr;
  TDSpinEdit* seHiRangeTemp = nullptr;
  TDSpinEdit* seHiRangeAnalogy = nullptr;
  QLabel* stSlope = nullptr;
  QLabel* stOffset = nullptr;
  QLabel* stLimitsLo1 = nullptr;
  QLabel* stLimitsHi1 = nullptr;
  QLabel* stLimitsLo2 = nullptr;
  QLabel* stLimitsHi2 = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  SlopeDiagram* pbDiagram = nullptr;
  SetupChangeTimer* ParamChangeTimer = nullptr;
  QMenu* PopupMenu = nullptr;

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void FormShow();
  // A text of section "Other" of the language file.
  QString OtherText(const QString& key, const QString& defaultText) const;
  void seChange(QObject* sender);
  void ParamChangeTimerTimer(int tags);
  // The changes not yet handed to the backend (tag bits).
  int Pending() const { return ParamChangeTimer->PendingTag() | deferred_; }
  void BtnCancelClick();
  void ScheduleRefresh();
  void Refresh();
  void ApplyState(const SlopeBackend::TState& state, bool force);
  void ModeChange(int mode);
  void UpdateTempLimits();
  void UpdateSlopeTexts();
  void UpdateDiagramPoints();
  void UpdateRasterChecks();
  void HoldInput(bool hold);
  void DiagramDragged(int point, double temperature, double output);
  QString TempUnitText() const;
  // Degrees Celsius (or percent) as the edits show them.
  double DisplayTemp(double t) const;

  SlopeBackend* backend_ = nullptr;
  SlopeBackend::TState state_;
  bool busy_ = false;      // code is setting the edits
  bool sequence_ = false;  // opening, write or restore running
  bool reading_ = false;   // a refresh is out
  bool writeWaiting_ = false;
  bool restoreWanted_ = false;
  bool forceRefresh_ = false;
  bool open_ = false;
  bool analog_ = true;
  bool percent_ = false;
  int mode_ = 0;
  int deferred_ = 0;  // changes fired while a read or a write was out
  SlopeMath::TOutputRange range_;
  QTimer* refreshTimer_ = nullptr;
  QGroupBox* gbMode_ = nullptr;
  QGroupBox* gbLow_ = nullptr;
  QGroupBox* gbHigh_ = nullptr;
  QGroupBox* gbParameter_ = nullptr;
  QGroupBox* gbLimits_ = nullptr;
  QLabel* lblLoTempUnit_ = nullptr;
  QLabel* lblHiTempUnit_ = nullptr;
  QLabel* lblLoOutUnit_ = nullptr;
  QLabel* lblHiOutUnit_ = nullptr;
  QActionGroup* tempRasterGroup_ = nullptr;
  QActionGroup* outputRasterGroup_ = nullptr;
};
