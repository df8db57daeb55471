#pragma once

#include <QFrame>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

#include "ui/diagram_model.h"
#include "ui/diagram_renderer.h"
#include "ui/diagram_types.h"
#include "ui/graph_properties.h"

class QPushButton;
class TDiagramScrollBar;
class QToolButton;
class TDiagramPaintBox;

// The scrolling multi-channel time chart: the data model and scaling of
// TDiagramModel with its plot area, scroll bars and zoom buttons.
//
// Drawing goes into a back buffer; every request to paint marks it stale and
// the buffer is drawn once when the plot area is next shown (or copied), so a
// burst of changes costs one drawing. While the window only follows new
// samples, a drawing moves the previous picture and draws what is new.
class TDiagram : public QFrame, public TDiagramModel {
  Q_OBJECT

 public:
  static constexpr int ButtonSize = 18;

  explicit TDiagram(QWidget* parent = nullptr);
  ~TDiagram() override;

  // Mouse events of the plot area and of the chart itself.
  std::function<void(QObject* sender)> OnClick;
  std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
      OnMouseDown;
  std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;

  // Draws the whole back buffer now and shows it.
  void Paint();
  // Puts the chart's picture (axes and texts included) on the clipboard.
  void CopyToClipboard();
  // Places the child controls for the present size.
  void LayoutControls();
  // The picture as last drawn (drawn first when stale).
  const QImage& BackBuffer();

  bool EnableContinue() const;
  void SetEnableContinue(bool enabled);

  // Background colour, 0x00BBGGRR; by default the window colour of the palette.
  std::uint32_t Color() const;
  void SetColor(std::uint32_t color);

  const QString& HintXScroll() const { return hintXScroll_; }
  const QString& HintYScroll() const { return hintYScroll_; }
  const QString& HintXZoomIn() const { return hintXZoomIn_; }
  const QString& HintXZoomOut() const { return hintXZoomOut_; }
  const QString& HintXZoomFull() const { return hintXZoomFull_; }
  const QString& HintYZoomIn() const { return hintYZoomIn_; }
  const QString& HintYZoomOut() const { return hintYZoomOut_; }
  const QString& HintYZoomFull() const { return hintYZoomFull_; }
  const QString& HintContinue() const { return hintContinue_; }
  const QString& HintHold() const { return hintHold_; }
  const QString& HintGlobal() const { return hintGlobal_; }
  const QString& HintLocal() const { return hintLocal_; }
  void SetHintXScroll(const QString& text);
  void SetHintYScroll(const QString& text);
  void SetHintXZoomIn(const QString& text);
  void SetHintXZoomOut(const QString& text);
  void SetHintXZoomFull(const QString& text);
  void SetHintYZoomIn(const QString& text);
  void SetHintYZoomOut(const QString& text);
  void SetHintYZoomFull(const QString& text);
  void SetHintContinue(const QString& text);
  void SetHintHold(const QString& text);
  void SetHintGlobal(const QString& text);
  void SetHintLocal(const QString& text);

  int BackBufferWidth() const override { return bufferSize_.width(); }
  // How many times the back buffer has been drawn (for tests and benchmarks).
  std::uint64_t RenderCount() const { return renderCount_; }
  // How many of those drawings moved the previous picture.
  std::uint64_t ScrollCount() const { return scrollCount_; }

 protected:
  QObject* Sender() const override { return const_cast<TDiagram*>(this); }
  void PaintRequested() override;
  void Invalidated() override;
  void XScaleModeApplied(TDiagramScaleMode mode) override;
  void YScaleModeApplied(TDiagramScaleMode mode) override;
  void ScrollBarsChanged() override;
  void GraphCountChanged() override;
  int HorizontalBarLength() const override;
  int VerticalBarLength() const override;

  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  friend class TDiagramPaintBox;

  void Render();
  void ApplyHoldHint();
  void ApplyScrollBars();
  void MouseDown(QMouseEvent* event, QObject* from);
  void MouseMove(QMouseEvent* event);
  void Click();

  TDiagramPaintBox* paintBox_ = nullptr;
  TDiagramScrollBar* xScrollBar_ = nullptr;
  TDiagramScrollBar* yScrollBar_ = nullptr;
  QPushButton* xZoomIn_ = nullptr;
  QPushButton* xZoomOut_ = nullptr;
  QPushButton* xZoomFull_ = nullptr;
  QPushButton* yZoomIn_ = nullptr;
  QPushButton* yZoomOut_ = nullptr;
  QPushButton* yZoomFull_ = nullptr;
  QPushButton* holdContinue_ = nullptr;
  QToolButton* global_ = nullptr;
  QToolButton* local_ = nullptr;

  TDiagramRenderer renderer_;
  QSize bufferSize_;
  QSize laidOutSize_;
  bool stale_ = true;
  bool painting_ = false;
  bool renderFailureLogged_ = false;  // a failing drawing was logged
  bool syncingBars_ = false;
  bool pressed_ = false;
  std::uint64_t renderCount_ = 0;
  std::uint64_t scrollCount_ = 0;
  bool ownColor_ = false;
  std::uint32_t color_ = 0;

  QString hintXScroll_, hintYScroll_;
  QString hintXZoomIn_, hintXZoomOut_, hintXZoomFull_;
  QString hintYZoomIn_, hintYZoomOut_, hintYZoomFull_;
  QString hintContinue_, hintHold_, hintGlobal_, hintLocal_;
};
