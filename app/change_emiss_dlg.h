#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "app/emissivity_device.h"
#include "app/emissivity_search.h"
#include "setup_common/setup_change_timer.h"
#include "ui/loading_guard.h"

class DeviceFamily;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class TDSpinEdit;
class TLngINISupp;

// "Change Emissivity": changes the emissivity of the connected thermometer
// while its object temperature stays in view, and finds the emissivity that
// makes the device read a temperature the user knows.
//
// A change of the emissivity edit is written one second after the last
// change when it lies in 0.1 .. 1.1001 (outside, the edit turns red and
// nothing is written). "calculate" has the single-colour device compute the
// emissivity itself; the other families are searched pass by pass
// (EmissivitySearch) with a pause after each write, up to a pass limit.
// Cancel, at any time, ends a search and writes back the emissivity the
// device had when the dialog was shown.
//
// Every device exchange runs as a job on the device's session; the dialog
// keeps its own state between the jobs' reports and never waits for one.
class TChangeEmissDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TChangeEmissDlg(QWidget* owner = nullptr);

  // Set by the caller before ShowModal.
  DeviceFamily* Device = nullptr;  // the family of the connected device
  std::uint8_t DeviceType = 0;
  bool Fahrenheit = false;
  float TempMin = -30.0f;  // measuring range in Celsius: bounds of seTemp
  float TempMax = 1000.0f;
  std::function<void(QObject* sender, bool fahrenheit)> OnUnitChanged;
  TLngINISupp* FLng = nullptr;

  // Pause after a write of the search, twice (ms), and the pass limit.
  int PassPauseMs = 500;
  int PassLimit = EmissivitySearch::kPassLimit;

  int ShowModal() { return exec(); }
  // The main window's object temperature while the dialog is open.
  void ShowObjectTemperature(float T);

  // A device exchange of the dialog is under way (or the show's read).
  bool Busy() const { return busy_ || pending_ > 0 || calculating_; }
  bool Calculating() const { return calculating_; }
  float EmissivityOnShow() const { return emissivityOnShow_; }
  // The last search's step (its outcome tells why it ended).
  const EmissivitySearch::Step& LastStep() const { return lastStep_; }

  QGroupBox* gbEmissivity;
  TDSpinEdit* seEmissivity;
  QGroupBox* gbTObj;
  QLabel* lblTObj;
  QGroupBox* GroupBox1;
  QLabel* lblGivenTObj;
  QLabel* TempLbl1;
  TDSpinEdit* seTemp;
  QPushButton* btnCalculate;
  QLabel* stCalculating;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QTimer* Timer1;
  SetupChangeTimer* ParamChangeTimer;

 public Q_SLOTS:
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void Shown(const EmissivityDevice::Refresh& state);
  // Takes a refresh's values (emissivity, unit).
  void TakeRefresh(const EmissivityDevice::Refresh& state);
  void SetRange();
  void Timer1Timer();
  void seParamChange(QObject* sender);
  void ParamChangeTimerTimer(int tag);
  void btnCalculateClick();
  void NextPass();
  void PassRead(const EmissivitySearch::Readings& readings);
  void PassWritten();
  // Ends a calculation; `message` (empty: none) stays in stCalculating.
  void EndCalculation(const QString& message);
  // The end of the device's own calculation: what it did, or why not.
  void CalculationDone(float given, const EmissivityDevice::Calculation& c);
  QString TemperatureText(float celsius) const;
  // stCalculating shows `text` in place of its caption, until ClearMessage.
  void ShowMessage(const QString& text);
  void ClearMessage();
  void StopCalculation();
  void SetColor(TDSpinEdit* edit, bool red);
  void SetEmissivityText(double e);
  QString OtherText(const QString& key, const QString& defaultText) const;
  QString NoAnswerText() const;
  // Ends whatever the open dialog has under way; no report of a job posted
  // before reaches it afterwards.
  void Leave();

  EmissivityDevice device_;
  EmissivitySearch search_;
  EmissivitySearch::Step lastStep_;
  LoadingFlag loading_;
  // True from the show until its read reported, and after the dialog left.
  bool busy_ = true;
  // Refreshes and live writes posted and not yet reported.
  int pending_ = 0;
  bool calculating_ = false;
  bool cursorSet_ = false;
  bool showReadOk_ = false;
  bool messageShown_ = false;
  QString caption_;  // of stCalculating while it shows a message
  float emissivityOnShow_ = -1.0f;
  bool previousFahrenheit_ = false;
  // Counts the shows and leaves: a report of an older one is dropped.
  int visit_ = 0;
  // Counts the edits of seEmissivity: a refresh posted before one does not
  // overwrite it.
  int edits_ = 0;
};
