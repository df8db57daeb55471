#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class TDSpinEdit;

// The form every loop-maintenance dialog shows, under the control names the
// language files use: a hint, the output value (and, on the models that
// have it, the ambient output), a reset button, a close button and the
// one-second refresh timer. Each dialog sets its values' ranges and what
// its controls do.
class TLoopMaintenanceForm : public QDialog {
  Q_OBJECT

 public:
  struct TCaptions {
    const char* FormName;
    const char* Hint;
    const char* OutputCaption;
    bool AmbientRow;
    int Height;
  };

  TLoopMaintenanceForm(QWidget* owner, const TCaptions& captions);

  QLabel* lblLoopMaintenance;
  QLabel* lblIrOut;
  TDSpinEdit* seIrOut;
  // Null on a form without the ambient row.
  QLabel* lblAmbientOut = nullptr;
  TDSpinEdit* seAmbientOut = nullptr;
  QPushButton* BtnReset;
  QPushButton* BtnClose;
  QTimer* Timer1;
};
