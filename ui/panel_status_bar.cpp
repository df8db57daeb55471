#include "ui/panel_status_bar.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

PanelStatusBar::PanelStatusBar(QWidget* parent) : QStatusBar(parent), strip_(new QWidget(this)) {
  setSizeGripEnabled(false);
  strip_->setObjectName(QStringLiteral("PanelStrip"));
  strip_->installEventFilter(this);
  addWidget(strip_, 1);
}

int PanelStatusBar::AddPanel(const QString& text, int width) {
  auto* panel = new QLabel(text, strip_);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setTextFormat(Qt::PlainText);
  panels_.push_back(panel);
  widths_.push_back(std::max(0, width));
  fitMargins_.push_back(-1);
  // One text line high; the height never changes with a text.
  const int height = panel->sizeHint().height();
  if (strip_->minimumHeight() < height) strip_->setFixedHeight(height);
  panel->show();
  Arrange();
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
  QLabel* panel = Panel(index);
  if (panel == nullptr || panel->text() == text) return;
  panel->setText(text);
  if (fitMargins_[static_cast<size_t>(index)] >= 0) Arrange();
}

void PanelStatusBar::SetFitToText(int index, int margin) {
  if (index < 0 || index >= PanelCount()) return;
  fitMargins_[static_cast<size_t>(index)] = margin < 0 ? -1 : margin;
  Arrange();
}

int PanelStatusBar::WidthOf(int index) const {
  const auto i = static_cast<size_t>(index);
  if (fitMargins_[i] < 0) return widths_[i];
  return panels_[i]->fontMetrics().horizontalAdvance(panels_[i]->text()) + fitMargins_[i];
}

int PanelStatusBar::PanelWidth(int index) const {
  if (index < 0 || index >= PanelCount()) return 0;
  return widths_[static_cast<size_t>(index)];
}

void PanelStatusBar::SetPanelWidth(int index, int width) {
  if (index < 0 || index >= PanelCount()) return;
  width = std::max(0, width);
  if (widths_[static_cast<size_t>(index)] == width) return;
  widths_[static_cast<size_t>(index)] = width;
  Arrange();
}

void PanelStatusBar::SetStretchPanel(int index) {
  stretchPanel_ = index;
  Arrange();
}

int PanelStatusBar::StretchIndex() const {
  return stretchPanel_ >= 0 && stretchPanel_ < PanelCount() ? stretchPanel_ : PanelCount() - 1;
}

QRect PanelStatusBar::PanelGeometry(int index) const {
  const QLabel* panel = Panel(index);
  return panel ? panel->geometry() : QRect();
}

bool PanelStatusBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == strip_ && event->type() == QEvent::Resize) Arrange();
  return QStatusBar::eventFilter(watched, event);
}

void PanelStatusBar::Arrange() {
  if (panels_.empty()) return;
  const int stretch = StretchIndex();
  int fixed = 0;
  for (int i = 0; i < PanelCount(); ++i)
    if (i != stretch) fixed += WidthOf(i);
  const int rest = std::max(0, strip_->width() - fixed);
  const int height = strip_->height();
  int x = 0;
  for (int i = 0; i < PanelCount(); ++i) {
    const int w = i == stretch ? rest : WidthOf(i);
    QLabel* panel = panels_[static_cast<size_t>(i)];
    // A panel of fixed size takes a new text without asking the bar for
    // room (no layout request); only a new width moves it.
    if (panel->minimumSize() != QSize(w, height) || panel->maximumSize() != QSize(w, height))
      panel->setFixedSize(w, height);
    panel->move(x, 0);
    x += w;
  }
}
