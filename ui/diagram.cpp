#include "ui/diagram.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "platform/logger.h"
#include "ui/diagram_painter.h"
#include "ui/diagram_scroll_bar.h"

// The plot area: shows the back buffer and hands its mouse to the chart.
class TDiagramPaintBox : public QWidget {
 public:
  explicit TDiagramPaintBox(TDiagram* chart) : QWidget(chart), chart_(chart) {
    setObjectName(QStringLiteral("PaintBox"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const QImage& image = chart_->BackBuffer();
    QPainter p(this);
    p.drawImage(0, 0, image);
  }
  void mousePressEvent(QMouseEvent* e) override {
    pressed_ = true;
    chart_->MouseDown(e, this);
  }
  void mouseMoveEvent(QMouseEvent* e) override { chart_->MouseMove(e); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (pressed_ && rect().contains(e->position().toPoint())) chart_->Click();
    pressed_ = false;
  }

 private:
  TDiagram* chart_;
  bool pressed_ = false;
};

namespace {

int ClampInt(std::int64_t v) {
  return static_cast<int>(
      std::clamp<std::int64_t>(v, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setFocusPolicy(Qt::NoFocus);
  QFont f = b->font();
  f.setPointSize(9);
  b->setFont(f);
  return b;
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(QString::fromLatin1(caption));
  b->setCheckable(true);
  b->setAutoExclusive(false);
  b->setFocusPolicy(Qt::NoFocus);
  QFont f = b->font();
  f.setPointSize(9);
  b->setFont(f);
  return b;
}

}  // namespace

TDiagram::TDiagram(QWidget* parent) : QFrame(parent) {
  painting_ = true;
  paintBox_ = new TDiagramPaintBox(this);
  xScrollBar_ = new TDiagramScrollBar(Qt::Horizontal, this);
  xScrollBar_->setObjectName(QStringLiteral("XScrollBar"));
  yScrollBar_ = new TDiagramScrollBar(Qt::Vertical, this);
  yScrollBar_->setObjectName(QStringLiteral("YScrollBar"));
  for (QScrollBar* bar : {xScrollBar_, yScrollBar_}) bar->setFocusPolicy(Qt::NoFocus);

  xZoomIn_ = MakeButton(this, "XZoomIn", "+");
  xZoomOut_ = MakeButton(this, "XZoomOut", "-");
  xZoomFull_ = MakeButton(this, "XZoomFull", "<>");
  yZoomIn_ = MakeButton(this, "YZoomIn", "+");
  yZoomOut_ = MakeButton(this, "YZoomOut", "-");
  yZoomFull_ = MakeButton(this, "YZoomFull", "<>");
  holdContinue_ = MakeButton(this, "HoldContinue", "C");
  global_ = MakeSpeedButton(this, "YScaleGlobal", "G");
  local_ = MakeSpeedButton(this, "YScaleLocal", "L");

  connect(xZoomIn_, &QPushButton::clicked, this, [this] { XZoomIn(); });
  connect(xZoomOut_, &QPushButton::clicked, this, [this] { XZoomOut(); });
  connect(xZoomFull_, &QPushButton::clicked, this, [this] { XZoomFull(); });
  connect(yZoomIn_, &QPushButton::clicked, this, [this] { YZoomIn(); });
  connect(yZoomOut_, &QPushButton::clicked, this, [this] { YZoomOut(); });
  connect(yZoomFull_, &QPushButton::clicked, this, [this] { YZoomFull(); });
  connect(holdContinue_, &QPushButton::clicked, this, [this] { ToggleHold(); });
  connect(global_, &QToolButton::clicked, this, [this] { SetYScaleMode(smGlobal); });
  connect(local_, &QToolButton::clicked, this, [this] { SetYScaleMode(smLocal); });
  connect(xScrollBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (!syncingBars_) XScroll(v);
  });
  connect(yScrollBar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (!syncingBars_) YScroll(v);
  });

  ApplyScrollBars();
  YScaleModeApplied(YScaleMode());
  ApplyHoldHint();
  LayoutControls();
  painting_ = false;
}

TDiagram::~TDiagram() = default;

// ---- drawing ------------------------------------------------------------------

void TDiagram::Render() {
  if (painting_) return;
  if (size() != laidOutSize_) LayoutControls();  // a hidden widget gets its resize event late
  painting_ = true;
  QColor bg = ownColor_ ? TDiagramPainter::ToQColor(color_) : palette().color(QPalette::Window);
  try {
    if (renderer_.Render(*this, bufferSize_, width(), height(), bg)) ++scrollCount_;
    renderFailureLogged_ = false;
  } catch (...) {
    // A failing value transform ends the drawing; what was drawn stays. The
    // next drawing fails the same way as long as the transform does, so the
    // failure is logged once until a drawing succeeds again.
    if (!renderFailureLogged_)
      Logger::Caught(Logger::Level::Warning, QStringLiteral("chart"), QStringLiteral("drawing the chart"));
    renderFailureLogged_ = true;
    renderer_.Invalidate();
  }
  ++renderCount_;
  stale_ = false;
  painting_ = false;
}

void TDiagram::Paint() {
  renderer_.Invalidate();
  Render();
  paintBox_->update();
}

const QImage& TDiagram::BackBuffer() {
  if (stale_) Render();
  return renderer_.Image();
}

void TDiagram::CopyToClipboard() {
  if (QClipboard* cb = QGuiApplication::clipboard()) cb->setImage(BackBuffer());
}

void TDiagram::PaintRequested() {
  stale_ = true;
  if (paintBox_) paintBox_->update();
}

void TDiagram::Invalidated() {
  renderer_.Invalidate();
  PaintRequested();
}

std::uint32_t TDiagram::Color() const {
  if (ownColor_) return color_;
  const QColor c = palette().color(QPalette::Window);
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
         (static_cast<std::uint32_t>(c.blue()) << 16);
}

void TDiagram::SetColor(std::uint32_t color) {
  ownColor_ = true;
  color_ = color & 0x00FFFFFF;
  PaintRequested();
}

// ---- layout -------------------------------------------------------------------

void TDiagram::LayoutControls() {
  const int B = ButtonSize;
  const int W = width();
  const int H = height();
  laidOutSize_ = size();
  paintBox_->setGeometry(0, 0, std::max(0, W - B - 1), std::max(0, H - B - 1));
  const int bw = W - B - 1 < 2 ? 10 : W - B - 1;
  const int bh = H - B - 1 < 2 ? 10 : H - B - 1;
  if (bufferSize_ != QSize(bw, bh)) {
    bufferSize_ = QSize(bw, bh);
    stale_ = true;
  }
  xScrollBar_->setGeometry(0, H - B, std::max(0, W - 4 * B), B);
  xZoomIn_->setGeometry(W - 4 * B, H - B, B, B);
  xZoomOut_->setGeometry(W - 3 * B, H - B, B, B);
  xZoomFull_->setGeometry(W - 2 * B, H - B, B, B);
  global_->setGeometry(W - B, 0, B, B);
  local_->setGeometry(W - B, B, B, B);
  yScrollBar_->setGeometry(W - B, 2 * B, B, std::max(0, H - 6 * B));
  yZoomIn_->setGeometry(W - B, H - 4 * B, B, B);
  yZoomOut_->setGeometry(W - B, H - 3 * B, B, B);
  yZoomFull_->setGeometry(W - B, H - 2 * B, B, B);
  holdContinue_->setGeometry(W - B, H - B, B, B);
  paintBox_->update();
}

void TDiagram::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  LayoutControls();
}

void TDiagram::GraphCountChanged() { LayoutControls(); }

// ---- buttons and hints ------------------------------------------------------------

void TDiagram::XScaleModeApplied(TDiagramScaleMode mode) {
  if (mode == smManual)
    holdContinue_->setText(QStringLiteral("C"));
  else if (mode == smLocal)
    holdContinue_->setText(QStringLiteral("H"));
  ApplyHoldHint();
}

void TDiagram::ApplyHoldHint() {
  const TDiagramScaleMode mode = XScaleMode();
  holdContinue_->setToolTip(mode == smManual ? hintContinue_ : mode == smLocal ? hintHold_ : QString());
}

void TDiagram::YScaleModeApplied(TDiagramScaleMode mode) {
  global_->setChecked(mode == smGlobal);
  local_->setChecked(mode == smLocal);
}

bool TDiagram::EnableContinue() const { return holdContinue_->isEnabled(); }
void TDiagram::SetEnableContinue(bool enabled) { holdContinue_->setEnabled(enabled); }

void TDiagram::SetHintXScroll(const QString& t) { xScrollBar_->setToolTip(hintXScroll_ = t); }
void TDiagram::SetHintYScroll(const QString& t) { yScrollBar_->setToolTip(hintYScroll_ = t); }
void TDiagram::SetHintXZoomIn(const QString& t) { xZoomIn_->setToolTip(hintXZoomIn_ = t); }
void TDiagram::SetHintXZoomOut(const QString& t) { xZoomOut_->setToolTip(hintXZoomOut_ = t); }
void TDiagram::SetHintXZoomFull(const QString& t) { xZoomFull_->setToolTip(hintXZoomFull_ = t); }
void TDiagram::SetHintYZoomIn(const QString& t) { yZoomIn_->setToolTip(hintYZoomIn_ = t); }
void TDiagram::SetHintYZoomOut(const QString& t) { yZoomOut_->setToolTip(hintYZoomOut_ = t); }
void TDiagram::SetHintYZoomFull(const QString& t) { yZoomFull_->setToolTip(hintYZoomFull_ = t); }
void TDiagram::SetHintGlobal(const QString& t) { global_->setToolTip(hintGlobal_ = t); }
void TDiagram::SetHintLocal(const QString& t) { local_->setToolTip(hintLocal_ = t); }

void TDiagram::SetHintContinue(const QString& t) {
  hintContinue_ = t;
  ApplyHoldHint();
}

void TDiagram::SetHintHold(const QString& t) {
  hintHold_ = t;
  ApplyHoldHint();
}

// ---- scroll bars ------------------------------------------------------------------

void TDiagram::ApplyScrollBars() {
  syncingBars_ = true;
  auto apply = [](QScrollBar* bar, const TScrollBarParams& p) {
    bar->setRange(ClampInt(p.Min), ClampInt(std::max(p.Min, p.Max - p.PageSize)));
    bar->setPageStep(ClampInt(std::max<std::int64_t>(p.PageSize, 1)));
    bar->setSingleStep(ClampInt(std::max<std::int64_t>(p.SmallChange, 1)));
    bar->setValue(ClampInt(p.Position));
  };
  apply(xScrollBar_, XScrollBar());
  apply(yScrollBar_, YScrollBar());
  syncingBars_ = false;
}

void TDiagram::ScrollBarsChanged() {
  if (xScrollBar_) ApplyScrollBars();
}

int TDiagram::HorizontalBarLength() const { return xScrollBar_->width(); }
int TDiagram::VerticalBarLength() const { return yScrollBar_->height(); }

// ---- mouse --------------------------------------------------------------------------

void TDiagram::MouseDown(QMouseEvent* e, QObject*) {
  if (OnMouseDown) {
    const QPoint pt = e->position().toPoint();
    OnMouseDown(this, e->button(), e->modifiers(), pt.x(), pt.y());
  }
}

void TDiagram::MouseMove(QMouseEvent* e) {
  if (OnMouseMove) {
    const QPoint pt = e->position().toPoint();
    OnMouseMove(this, e->modifiers(), pt.x(), pt.y());
  }
}

void TDiagram::Click() {
  if (OnClick) OnClick(this);
}

void TDiagram::mousePressEvent(QMouseEvent* e) {
  pressed_ = true;
  MouseDown(e, this);
  QFrame::mousePressEvent(e);
}

void TDiagram::mouseMoveEvent(QMouseEvent* e) {
  MouseMove(e);
  QFrame::mouseMoveEvent(e);
}

void TDiagram::mouseReleaseEvent(QMouseEvent* e) {
  if (pressed_ && rect().contains(e->position().toPoint())) Click();
  pressed_ = false;
  QFrame::mouseReleaseEvent(e);
}
