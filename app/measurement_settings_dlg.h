#pragma once

#include <QDialog>
#include <cstdint>

#include "app/measurement_settings_texts.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TLngINISupp;

// "Measurement settings": the recording interval (from a table of twenty),
// the number of samples kept, what happens when that number is reached, and
// the communication mode, with the recording time and the memory the
// samples take. The launcher fills the fields (the interval through
// SetResolution), runs ShowModal and, on 1 (OK), takes them back.
class TMeasurementSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TMeasurementSettingsDlg(QWidget* owner = nullptr);

  int ShowModal() { return exec(); }

  // The language component for the unit words (none: English).
  void SetLIS(const TLngINISupp* lis) { texts_ = MeasurementSettingsTexts(lis); }

  float Resolution() const { return resolution_; }
  // Sets the interval and its texts; nothing happens when it is already set.
  void SetResolution(float r);
  std::int64_t MaxData = 5000000;
  std::uint8_t OnMaxData = 0;  // 0 stop, 1 overwrite the oldest
  std::uint8_t CommMode = 0;   // 0 automatic, 1 real time, 2 polling

  QLabel *lblResolution, *stResolution;
  QSpinBox* udResolution;
  QLabel *lblRecordingTime, *stRecordingTime;
  QLabel *lblMaxData, *lbl1000;
  QSpinBox* seMaxData;
  QLabel *lblMemory, *stMemory;
  QGroupBox* gbReached;
  QRadioButton *rbStop, *rbOverwrite;
  QGroupBox* gbCommunication;
  QRadioButton *gbCommModeAuto, *gbCommModeReal, *gbCommModePoll;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  void FormShow();
  void udResolutionClick();
  void seMaxDataChange();
  void btnOKClick();

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowRecordingTime();

  MeasurementSettingsTexts texts_;
  float resolution_ = 0.0f;
  bool loading_ = false;
};
