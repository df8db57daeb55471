#pragma once

#include <QHBoxLayout>
#include <QString>

class SetupSequence;
class QLabel;
class QProgressBar;
class QPushButton;

// The row of a setup dialog that shows a running sequence of device work:
// the driver's caption (lblProgress), its percentage (pbProgress, 0..100)
// and the button that stops the sequence (btnStopSequence). The controls
// are the owner's children under those names, hidden until a sequence
// begins; the owner places the row as a layout. What the stop button does
// is the owner's (connect to StopButton's clicked).
class TSequenceProgressRow : public QHBoxLayout {
 public:
  explicit TSequenceProgressRow(QWidget* owner);

  QLabel* const Caption;
  QProgressBar* const Bar;
  QPushButton* const StopButton;

  // A sequence began: the row shows from nothing, the stop button only when
  // the sequence can be stopped, and the owner shows the wait cursor.
  void Begin(bool stoppable);
  // The sequence ended: the row hides and the owner's cursor is the arrow.
  void End();
  void SetProgress(int percent, const QString& caption);
  // Shows while `sequence` runs, with the driver's progress (sets its
  // ShowRunning and Progress hooks; the row must outlive them).
  void Follow(SetupSequence& sequence);

 private:
  QWidget* const owner_;
};
