#include "setup_common/sequence_progress_row.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "setup_common/setup_sequence.h"
#include "ui/named_widgets.h"

namespace {

QProgressBar* PercentBar(QWidget* owner) {
  auto* bar = new QProgressBar(owner);
  bar->setObjectName(QStringLiteral("pbProgress"));
  bar->setRange(0, 100);
  return bar;
}

}  // namespace

TSequenceProgressRow::TSequenceProgressRow(QWidget* owner)
    : Caption(NamedWidgets::Label(owner, "lblProgress", QString())),
      Bar(PercentBar(owner)),
      StopButton(NamedWidgets::Button(owner, "btnStopSequence", QStringLiteral("Stop"))),
      owner_(owner) {
  addWidget(Caption, 1);
  addWidget(Bar, 1);
  addWidget(StopButton);
  Caption->hide();
  Bar->hide();
  StopButton->hide();
}

void TSequenceProgressRow::Begin(bool stoppable) {
  owner_->setCursor(Qt::WaitCursor);
  Caption->clear();
  Bar->setValue(0);
  Caption->show();
  Bar->show();
  StopButton->setVisible(stoppable);
  StopButton->setEnabled(stoppable);
}

void TSequenceProgressRow::End() {
  Caption->hide();
  Bar->hide();
  StopButton->hide();
  owner_->setCursor(Qt::ArrowCursor);
}

void TSequenceProgressRow::SetProgress(int percent, const QString& caption) {
  Caption->setText(caption);
  Bar->setValue(percent);
}

void TSequenceProgressRow::Follow(SetupSequence& sequence) {
  sequence.ShowRunning = [this](bool running, bool stoppable) {
    if (running) {
      Begin(stoppable);
    } else {
      End();
    }
  };
  sequence.Progress = [this](int percent, const QString& caption) { SetProgress(percent, caption); };
}
