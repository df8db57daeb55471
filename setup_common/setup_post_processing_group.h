#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QWidget;
class TDSpinEdit;

// The post-processing group of a setup dialog (gbPostProcessing): the mode
// list (cbPostProcMode), the averaging and hold times (seAvgTime,
// seHoldTime), threshold and hysteresis (seTreshold, seHysterese) and the
// smart-averaging box (cbSmartAveraging), under the names the language
// file and the code know them by. The grid holds a caption in column 0, an
// optional unit label in column 1 and the edit in column 2, rows 0..5; a
// dialog adds its own rows below. What the controls write is the dialog's.
class TSetupPostProcessingGroup {
 public:
  // The change tags of the edits.
  static constexpr int kAvgTimeTag = 10;
  static constexpr int kHoldTimeTag = 11;
  static constexpr int kThresholdTag = 12;
  static constexpr int kHysteresisTag = 13;

  struct TOptions {
    double avgTimeMin = 0.001;
    double avgTimeMax = 999.9;
    double holdTimeMin = 0.001;
    double holdTimeMax = 999.9;
    // The name and caption of the threshold's and the hysteresis' labels.
    const char* thresholdLabelName = "lblThreshold";
    QString thresholdCaption = QStringLiteral("Threshold");
    QString hysteresisCaption = QStringLiteral("Hysteresis");
  };

  TSetupPostProcessingGroup(QWidget* page, const TOptions& options);

  QGroupBox* const Box;
  QLabel* const ModeLabel;
  QComboBox* const Mode;
  QLabel* const AvgTimeLabel;
  TDSpinEdit* const AvgTime;
  QLabel* const HoldTimeLabel;
  TDSpinEdit* const HoldTime;
  QLabel* const ThresholdLabel;
  TDSpinEdit* const Threshold;
  QLabel* const HysteresisLabel;
  TDSpinEdit* const Hysteresis;
  QCheckBox* const SmartAveraging;
  QGridLayout* const Grid;

  // Hands the controls to a dialog's members of the same names (the
  // threshold's label under the member `thresholdLabel`).
  template <class Dialog>
  void Bind(Dialog& d, QLabel* Dialog::*thresholdLabel) const {
    d.gbPostProcessing = Box;
    d.lblPostProcMode = ModeLabel;
    d.cbPostProcMode = Mode;
    d.lblAvgTime = AvgTimeLabel;
    d.seAvgTime = AvgTime;
    d.lblHoldTime = HoldTimeLabel;
    d.seHoldTime = HoldTime;
    d.*thresholdLabel = ThresholdLabel;
    d.seTreshold = Threshold;
    d.lblHysterese = HysteresisLabel;
    d.seHysterese = Hysteresis;
    d.cbSmartAveraging = SmartAveraging;
  }

  // The items of the mode list ("Off", "Averaging", "Peak hold", "Valley
  // hold", "Adv. peak hold", "Adv. valley hold"), each through `text`
  // (the language file's key and the text without one).
  using TextFn = std::function<QString(const QString& key, const QString& defaultText)>;
  static QStringList ModeTexts(const TextFn& text);
};
