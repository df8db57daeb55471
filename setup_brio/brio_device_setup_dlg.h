#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "setup_brio/brio_control_registry.h"
#include "setup_brio/brio_device_setup_rules.h"
#include "setup_brio/brio_setup_dialog.h"
#include "setup_common/control_binder.h"
#include "ui/loading_guard.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class SetupChangeTimer;
class QWidget;
class TLngINISupp;
struct BrioConfigFileProfile;

// The setup dialog of the first-generation Brio devices (device type codes
// 3 and 4). It never talks to the device: it edits a copy of the device's
// configuration image (the calibration image is only read), and the main
// window writes the configuration image after OK.
//
// Every field shows what the device will store: leaving a field runs the
// field-exit routine (control states, check and encode into the image,
// decode back), so a valid entry is normalised at once and an invalid one
// brings its message while the image keeps, and the field gets back, the
// previous value. The controls carry the names the configuration file keys
// them by; the binder moves their values to and from the codec.
class TBrioDeviceSetupDLg : public QDialog, public TBrioSetupDialog {
  Q_OBJECT

 public:
  explicit TBrioDeviceSetupDLg(QWidget* owner = nullptr);
  ~TBrioDeviceSetupDLg() override;

  // TBrioSetupDialog.
  void SetImages(const TBrioSetupImages& images, const TBrioSetupContext& context) override;
  // Decodes the images into the controls, then UpdateControlStates. Throws
  // BrioDecodeError on an image it cannot decode (the caller then loads the
  // factory defaults).
  void ParamsToControls() override;
  // The factory defaults without a question.
  void btnDefaultClick() override { btnDefaultClick(nullptr); }
  void SelectFirstPage() override;
  int ShowModal() override { return exec(); }
  TBrioSetupImages Images() const override { return images_; }

  // Checks and encodes the controls into the configuration image; on the
  // first refused field shows its message, brings its page to the front,
  // focuses it and returns false with the image unchanged.
  bool ControlsToParams();
  // The encoder's error report: "Error value : " and the field's caption,
  // then the field's page to the front and the focus on the field.
  void ShowValueError(const QString& caption, QWidget* control);
  void UpdateControlStates();
  void UpdateUnitLabels();
  // The field-exit routine.
  void eAvgExit();
  // Factory defaults; asks "You are sure ?" first when `sender` is the button.
  void btnDefaultClick(QObject* sender);
  void btnOKClick();
  // The configuration file, by name (the buttons ask for the name first).
  bool SaveConfig(const QString& fileName);
  bool LoadConfig(const QString& fileName);

  // Error and information boxes, and the Yes/No question; tests replace them.
  std::function<void(const QString& text)> ShowMessage;
  std::function<bool(const QString& question)> AskYesNo;

  TLngINISupp* FLng = nullptr;
  float RangeLow() const { return context_.RangeLow; }
  float RangeHigh() const { return context_.RangeHigh; }
  bool Fahrenheit() const { return context_.Fahrenheit; }

  static constexpr int kChangeTimerMs = 100;
  static constexpr int kPageGeneral = 0, kPageOutput = 1, kPageMaterial = 2, kPageAlarm = 3,
                       kPagePostProcessing = 4, kPageCalibration = 5;

  // Components, named as the language file and the configuration file know them.
  QTabWidget* pControl = nullptr;
  QWidget* tsGeneral = nullptr;
  QWidget* tsOutput = nullptr;
  QWidget* tsMaterial = nullptr;
  QWidget* tsAlarm = nullptr;
  QWidget* tsPostProcessing = nullptr;
  QWidget* tsCalibration = nullptr;
  // General
  QGroupBox* gbGeneral = nullptr;
  QLineEdit *eTrans = nullptr, *eAvg = nullptr, *eEmiss = nullptr, *eFixAmb = nullptr;
  QCheckBox* cbSmartAvg = nullptr;
  QComboBox *cbEmissSrc = nullptr, *cbAmbSrc = nullptr;
  QLabel *lblEmiss = nullptr, *lblFixAmb = nullptr;
  QGroupBox* gbINPinConfig = nullptr;
  QLabel* lblINPinConfig = nullptr;
  // Output
  QGroupBox *gbMode = nullptr, *gbOutput = nullptr, *gbFailsafe = nullptr, *gbBurst = nullptr,
            *gbOutAlarm = nullptr, *gbOutput05 = nullptr;
  QComboBox* cbOutMode = nullptr;
  QLineEdit *eTmin = nullptr, *eTmax = nullptr, *eMVmin = nullptr, *eMVmax = nullptr;
  QLabel *lblOutputTempMin = nullptr, *lblOutputTempMax = nullptr;
  QCheckBox* cbFailsafe = nullptr;
  QLineEdit *eFsTmin = nullptr, *eFsTmax = nullptr, *eFsmVmin = nullptr, *eFsmVmax = nullptr;
  QComboBox *cbFsAmb = nullptr, *cbFsTarget = nullptr;
  std::array<QComboBox*, 5> cbBurst{};
  QComboBox *cbAlarmSource = nullptr, *cbAlarmMode = nullptr;
  QLineEdit *eAlarm2 = nullptr, *eAlarmMVmin = nullptr, *eAlarmMVmax = nullptr;
  QLabel* lblAlarm2 = nullptr;
  QLineEdit *eTmin5 = nullptr, *eTmax5 = nullptr, *eMVmin5 = nullptr, *eMVmax5 = nullptr;
  // Alarm
  QGroupBox* gbAlarm = nullptr;
  QCheckBox* cbAlarm = nullptr;
  QComboBox *cbLEDsource = nullptr, *cbLEDmode = nullptr;
  QLineEdit* eAlarm1 = nullptr;
  // Post processing
  QGroupBox* gbPostProcessing = nullptr;
  QComboBox* cbHoldMode = nullptr;
  QLineEdit *eHTime = nullptr, *eHSchwelle = nullptr, *eHHysterese = nullptr;
  QLabel *lblHTime = nullptr, *lblHTimeRemark = nullptr, *lblThreshold = nullptr, *lblHysterese = nullptr;
  // Calibration
  QLineEdit *eGain = nullptr, *eOffs = nullptr;
  // The unit labels TempLbl1 .. TempLbl9 and the labels they stand behind
  // (null: none; the unit then stands right of its field).
  std::array<QLabel*, 9> TempLbl{};
  std::array<QLabel*, 9> TempLblPartner{};
  // Buttons and the timer.
  QPushButton *btnSave = nullptr, *btnLoad = nullptr, *btnDefault = nullptr, *btnCancel = nullptr,
              *btnOK = nullptr;
  SetupChangeTimer* ChangeTimer = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Page layout (brio_device_setup_dlg_pages.cpp).
  void CreatePages();
  void CreateGeneralPage();
  void CreateOutputPage();
  void CreateMaterialPage();
  void CreateAlarmPage();
  void CreatePostProcessingPage();
  void CreateCalibrationPage();
  void CreateButtons();
  void BindEvents();

  void FormShow();
  void RenameLists();
  void Decode();
  void Decode(const BrioCalibrationImage& calibration);
  void ChangeTimerTimer();
  void MoveInPinGroup();
  void PlaceFrameCheckBoxes();
  void ResizePostProcessing(int holdItem);

  // The byte rules on data bytes 44 and 45, then the field-exit routine.
  void ApplyByteRule(const TBrioDeviceSetupRules::TInPinBytes& bytes);
  TBrioDeviceSetupRules::TInPinBytes InPinBytes() const;
  void EmissivitySourceChosen();
  void AmbientSourceChosen();
  void cbAlarmClick();
  void HoldModeClosedUp();

  BrioControlRegistry Registry();
  BrioConfigFileProfile FileProfile();
  void SetFieldText(QLineEdit* edit, const QString& text);
  std::int16_t Variant() const;
  QString OtherText(const char* key, const char* defaultText) const;
  void ShowInPinLabel(const char* key, const char* defaultText);
  QString OtherTextOrKey(const char* key) const;
  void Message(const QString& text);

  LoadingFlag loading_;
  TControlBinder binder_;
  TBrioSetupImages images_;
  TBrioSetupContext context_;
  // The field-exit routine is running (its message moves the focus, which
  // would run it again).
  bool exiting_ = false;
};
