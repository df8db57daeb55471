#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_display_page.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class RadioGroup;
class RatioDisplaySession;
class TDSpinEdit;
class TLngINISupp;

// The "Display settings" page of the ratio setup dialog: the backlight
// colours of the device display by ranges (eight rows per source) or by
// thresholds, and the source of the main display value.
//
// The page writes the eight rows together 500 ms after a check box and
// 2000 ms after an edit (the last change wins), and the device's standard
// display; each write runs as a job of the bound session and refills the
// page from the cache it leaves. A source the page has no item for disables
// the rows and nothing is written for them. The two source combos and the
// threshold-mode controls only report their changes (tagChanged): the
// dialog writes them like its other parameters; a source chosen and not
// yet written stays in its combo through refills.
class TVererodurDisplayPage : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSelectionDelayMs = 500;
  static constexpr int kEditDelayMs = 2000;
  // Tags of the threshold-mode controls (see tagChanged).
  static constexpr int kTagVisualAlSource = 23, kTagDisplayMainSource = 24;
  static constexpr int kTagAlarmMode = 25, kTagValueBlue = 26, kTagValueRed = 27, kTagHysteresis = 28,
                       kTagNoNcBlue = 29, kTagNoNcRed = 30;

  explicit TVererodurDisplayPage(QWidget* parent = nullptr);
  ~TVererodurDisplayPage() override;

  // The device and the texts; nullptr unbinds (a pending row write is
  // dropped, results of running jobs are ignored).
  void Bind(ArgoSetupSession* session, TLngINISupp* language);
  // The items of cbVisualAlSource (8) and cbDisplayMainSource (5).
  void FillSourceItems();
  // Fills the page from `cache` (both source combos included); writes nothing.
  void LoadDisplayPage(const TArgoConfig& cache);
  // The cache the page last filled from (updated by its own jobs).
  const TArgoConfig& Cache() const { return cache_; }

  // A row change waits for its write.
  bool WritePending() const { return tiVisualAL_->isActive(); }
  // Writes the waiting row change now (OK).
  void FlushPendingWrite();
  // Drops the waiting row change (Cancel, Esc, close): nothing is written
  // later; the source combos follow the cache again.
  void DiscardPendingWrite();
  // The source chosen in the combo of `tag` (23 or 24) reached the device
  // (or was dropped): the combo follows the cache again.
  void SourceChoiceDone(int tag);
  // A device job of the page is queued or running.
  bool Busy() const { return jobs_ > 0; }

 Q_SIGNALS:
  void deviceWorkStarted();
  void deviceWorkFinished(const ArgoSetupSession::TOutcome& outcome);
  // A source combo (Tags 23, 24) or a threshold-mode control (Tags 25..30)
  // changed by the user; `control` is the QComboBox, TDSpinEdit or
  // RadioGroup. Switching the backlight mode also
  // shows the mode's controls at once.
  void tagChanged(int tag, QWidget* control);

 private:
  struct TRowControls {
    QFrame* panel = nullptr;
    TDSpinEdit* low = nullptr;
    TDSpinEdit* high = nullptr;
    QLabel* unitLow = nullptr;
    QLabel* unitHigh = nullptr;
    QCheckBox* blue = nullptr;
    QCheckBox* green = nullptr;
    QCheckBox* red = nullptr;
    QString lowText, highText;  // as filled from the cache
  };

  void Build();
  QString OtherText(const QString& key, const QString& defaultText) const;
  QString OtherTextOrKey(const QString& key) const;
  void ShowMode(bool threshold);

  void VisualAlChange(bool checkBox);
  void VisualAlTimer();
  void VisualAlSourceChange(int index);
  void DisplayMainSourceChange(int index);
  void StandardDisplayClick();
  void Run(const std::function<void(ArgoSetupSession::Done)>& start);

  ArgoSetupSession* session_ = nullptr;
  TLngINISupp* language_ = nullptr;
  std::unique_ptr<RatioDisplaySession> display_;
  TArgoConfig cache_{};
  RatioDisplayPage::TState state_{};
  int loadedSource_ = -1;  // the source index the rows were filled for
  // Sources chosen by the user and not yet written (-1: none).
  int chosenVisualSource_ = -1;
  int chosenMainSource_ = -1;
  bool loading_ = false;
  int jobs_ = 0;
  int binding_ = 0;  // results of jobs of an earlier binding are ignored

  QTimer* tiVisualAL_ = nullptr;
  QGroupBox* gbBacklightSettings_ = nullptr;
  QComboBox* cbVisualAlSource_ = nullptr;
  QWidget* rowsArea_ = nullptr;
  std::array<TRowControls, RatioDisplayPage::kRows> rows_{};
  QComboBox* cbDisplayMainSource_ = nullptr;
  QPushButton* btnStandardDisplay_ = nullptr;
  QGroupBox* gbBacklightAlarmThreshold_ = nullptr;
  TDSpinEdit* dseValueBlue_ = nullptr;
  TDSpinEdit* dseValueRed_ = nullptr;
  TDSpinEdit* dseThresholdALhysteresis_ = nullptr;
  QLabel* unitBlue_ = nullptr;
  QLabel* unitRed_ = nullptr;
  QLabel* unitHysteresis_ = nullptr;
  RadioGroup* rgNoNcBlue_ = nullptr;
  RadioGroup* rgNoNcRed_ = nullptr;
  RadioGroup* rbBacklightAlarmMode_ = nullptr;
};
