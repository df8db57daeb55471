#pragma once

#include <QColor>
#include <QDialog>
#include <array>
#include <functional>
#include <optional>

#include "app/view_settings_rows.h"

class QCheckBox;
class QColorDialog;
class QLabel;
class QPushButton;
class QSpinBox;
class TDSpinEdit;

// "Diagram settings": per channel row whether it shows as a value panel and
// in the chart, whether it takes part in the automatic Y range, its pen width
// and colour; the time the chart shows at a start, and the 1 ms interval of
// a single-colour device at 115200 Bd. The launcher fills View, runs
// ShowModal and, on 1 (OK), takes View back.
class TViewSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TViewSettingsDlg(QWidget* owner = nullptr);

  int ShowModal() { return exec(); }

  TViewSettings View;

  // Asks for a row's colour; nothing when the user cancels. By default the
  // colour dialog GraphColorDialog; tests replace it.
  std::function<std::optional<QColor>(const QColor& current)> ChooseColor;

  // The 1 ms interval is ticked and the device can take it.
  bool FastMode() const;

  std::array<QLabel*, 11> lblName{};
  std::array<QCheckBox*, 11> cbShowDig{};
  std::array<QCheckBox*, 11> cbShowDia{};
  std::array<QCheckBox*, 11> cbRangeDia{};
  std::array<QSpinBox*, 11> sePenWidth{};
  std::array<QPushButton*, 11> bbColor{};
  QLabel *lblShowDigit, *lblShowDiagram, *lblShow1, *lblShow2, *lblRange, *lblPenWidth, *lblColor;
  QLabel* lblInitialTime;
  TDSpinEdit* seInitialTime;
  QCheckBox* cbArgo1ms;
  QColorDialog* GraphColorDialog;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  void FormShow();
  void cbShowDiaClick(int row);
  void bbColorClick(int row);
  void cbArgo1msClick();
  void btnOKClick();

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Enables the row controls by the rows' locks.
  void EnableRows();
  void PaintColorGlyphs();
};
