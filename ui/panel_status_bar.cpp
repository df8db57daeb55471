#include "ui/panel_status_bar.h"

#include <QLabel>

namespace {
const char* const kWidthProperty = "tsPanelWidth";
}

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent) { setSizeGripEnabled(false); }

int PanelStatusBar::AddPanel(const QString& text, int width) {
  // Every panel has its own width but the last, which takes the rest: the
  // earlier last panel is put back with a fixed width.
  if (!panels_.empty()) {
    QLabel* previous = panels_.back();
    removeWidget(previous);
    previous->setFixedWidth(previous->property(kWidthProperty).toInt());
    insertWidget(PanelCount() - 1, previous, 0);
    previous->show();
  }
  auto* panel = new QLabel(text, this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setTextFormat(Qt::PlainText);
  panel->setProperty(kWidthProperty, width);
  panel->setMinimumWidth(width);
  addWidget(panel, 1);
  panels_.push_back(panel);
  return PanelCount() - 1;
}

QLabel* PanelStatusBar::Panel(int index) const {
  if (index < 0 || index >= PanelCount()) return nullptr;
  return panels_[static_cast<size_t>(index)];
}

QString PanelStatusBar::PanelText(int index) const {
  const QLabel* panel = Panel(index);
  return panel ? panel->text() : QString();
}

void PanelStatusBar::SetPanelText(int index, const QString& text) {
  if (QLabel* panel = Panel(index)) panel->setText(text);
}

int PanelStatusBar::PanelWidth(int index) const {
  const QLabel* panel = Panel(index);
  return panel ? panel->property(kWidthProperty).toInt() : 0;
}

void PanelStatusBar::SetPanelWidth(int index, int width) {
  QLabel* panel = Panel(index);
  if (!panel) return;
  panel->setProperty(kWidthProperty, width);
  if (index == PanelCount() - 1) {
    panel->setMinimumWidth(width);
  } else {
    panel->setFixedWidth(width);
  }
}
