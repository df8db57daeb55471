#pragma once

#include <QStatusBar>
#include <QString>
#include <vector>

class QLabel;

// A status bar made of numbered text panels (from 0, left to right), each
// with its own width; the last panel takes the remaining room.
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
  int PanelWidth(int index) const;
  void SetPanelWidth(int index, int width);
  QLabel* Panel(int index) const;

 private:
  std::vector<QLabel*> panels_;
};
