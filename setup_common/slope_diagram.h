#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "setup_common/slope_math.h"

// The output slope editor's diagram: output over temperature with axes,
// grids, the slope line and the draggable low and high points. Dragging a
// point reports its new (snapped) values; the owner puts them into its
// edits and hands the points back.
class SlopeDiagram : public QWidget {
  Q_OBJECT

 public:
  explicit SlopeDiagram(QWidget* parent = nullptr);

  enum PointState : std::uint8_t { Idle = 0, UnderMouse = 1, Dragged = 2 };
  static constexpr int kLow = 0;
  static constexpr int kHigh = 1;

  // The axes' ranges (display unit) and unit texts; lays the diagram out.
  void SetAxes(double tempLow, double tempHigh, const SlopeMath::TOutputRange& range,
               const QString& tempUnit);
  // The two points and the line through them (display unit).
  void SetPoints(double loT, double loOut, double hiT, double hiOut, const SlopeMath::TLine& line);
  void SetAnalog(bool analog);
  void SetColor(const QColor& color);
  void SetRasters(int tempRaster, int outputRaster);
  // The labels of the low and the high point.
  void SetPointLabels(const QString& low, const QString& high);
  const QString& PointLabel(int point) const { return labels_[point]; }
  // Multiplies the number of temperature labels allowed.
  void SetTemperatureLabelFactor(int factor) { labelFactor_ = factor; }

  // Called while a point is dragged, with its snapped temperature and output.
  std::function<void(int point, double temperature, double output)> OnDrag;

  // A text of the diagram and where it goes.
  struct TLabel {
    QString text;
    QRect rect;
  };
  // The temperature axis labels: both ends, and between them those of the
  // grid lines that leave a gap to their neighbours.
  std::vector<TLabel> TemperatureLabels() const;
  // Where the label of a point goes: beside it, inside the diagram.
  QRect PointLabelRect(int point) const;

  const SlopeMath::TLayout& Layout() const { return layout_; }
  QPoint PointPixel(int point) const { return pixels_[point]; }
  PointState State(int point) const { return states_[point]; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void LayOut();
  void UpdatePixels();
  QString TempText(double t) const;
  double TemperatureStep() const;
  QString OutputText(double v) const;

  double tempLow_ = -40.0;
  double tempHigh_ = 900.0;
  SlopeMath::TOutputRange range_;
  QString tempUnit_;
  std::array<QString, 2> labels_{QStringLiteral("Low"), QStringLiteral("High")};
  SlopeMath::TLayout layout_;
  std::array<double, 2> temps_{0.0, 0.0};
  std::array<double, 2> outputs_{0.0, 0.0};
  SlopeMath::TLine line_;
  std::array<QPoint, 2> pixels_{};
  std::array<QPoint, 2> lineEnds_{};
  std::array<PointState, 2> states_{Idle, Idle};
  bool analog_ = true;
  QColor color_ = QColor(0, 128, 0);
  int tempRaster_ = 0;
  int outputRaster_ = 0;
  int labelFactor_ = 1;
};
