#pragma once

#include <QStatusBar>
#include <QString>
#include <vector>

class QLabel;
class QWidget;

// A status bar made of numbered text panels (from 0, left to right), each
// with its own width; one panel (by default the last) takes the remaining
// room. The panels are placed by the bar itself, not by a layout, so a new
// text or width moves panels inside the bar and never re-lays the window.
class PanelStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit PanelStatusBar(QWidget* parent = nullptr);

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  // Appends a panel and returns its number.
  int AddPanel(const QString& text = QString(), int width = 50);
  // Out-of-range numbers give an empty text / change nothing.
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);
  // The width the panel is given (a panel that fits its text, or the one
  // that takes the rest, may lie wider or narrower: see PanelGeometry).
  int PanelWidth(int index) const;
  void SetPanelWidth(int index, int width);
  QLabel* Panel(int index) const;
  // The panel that takes the room the others leave; -1: the last one.
  int StretchPanel() const { return stretchPanel_; }
  void SetStretchPanel(int index);
  // The panel is as wide as its text plus `margin` pixels, whoever sets the
  // text; a negative margin gives it back its own width.
  void SetFitToText(int index, int margin);
  // Where the panel lies in the bar's panel strip.
  QRect PanelGeometry(int index) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Places every panel for the strip's present width.
  void Arrange();
  // The width panel `index` takes now (the stretch panel aside).
  int WidthOf(int index) const;
  int StretchIndex() const;

  QWidget* strip_;
  std::vector<QLabel*> panels_;
  std::vector<int> widths_;
  std::vector<int> fitMargins_;  // -1: the panel keeps its width
  int stretchPanel_ = -1;
};
