#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "glowreadout/glow_command_line.h"
#include "platform/display_link_protocol.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class TfAimingCross;
class TLngINISupp;

// The display window of GlowReadout: one value in large digits in a small,
// always-on-top window without a frame (unless asked for), optionally
// transparent so only the digits show. It is configured by the command line,
// fed by the main program's messages and reports every change of position,
// size, style, colour and cross back to it.
class TfMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfMain(const QStringList& parameters, QWidget* parent = nullptr);
  ~TfMain() override;

  // ---- messages from the main program ----
  void HandleMessage(const DisplayLink::TLinkMessage& message);
  void WMDisplayValue(std::uint32_t wParam);
  void WMDisplayOwner(std::uint32_t mainHandle);
  void WMDisplayClose();
  void WMCopyData(std::uint32_t sender, std::uint32_t kind, const QByteArray& text);
  // The link to the main program is gone: the display closes as on
  // MsgDisplayClose (nobody is left to report to).
  void LinkDropped();

  // ---- drawing ----
  // Draws FText now.
  void ShowValueText();
  // Draws FText now, or at the latest kRepaintIntervalMs after the last
  // drawing, whatever the message rate.
  void RequestValueText();
  void SetTransparent(bool on);
  void SetBorder(bool on);
  void TintGripImage(const QColor& color);
  // Fits the font to the window, then the window to the text (FormResize).
  void FormResize();

  // ---- reports to the main program ----
  void Report(int code, int value);
  void SendToMain(const DisplayLink::TLinkMessage& message);

  // ---- popup commands ----
  void mBorderClick();
  void mTransparentClick();
  void mColorClick();
  void mAimingcrossClick();
  void mContrastClick();
  void mShowmainapplicationClick();
  void mRemoveDisplayClick();
  void mExitClick();

  // Messages to the main program; unset, they go nowhere.
  std::function<void(const DisplayLink::TLinkMessage&)> OnSend;
  // The colour dialog; returns nothing on cancel. Unset: QColorDialog.
  std::function<std::optional<QColor>(const QColor& current)> OnChooseColor;
  // Called once after the first show (the link connects then).
  std::function<void()> OnFirstShown;

  // ---- state ----
  std::uint32_t WindowId() const { return windowId_; }
  std::uint32_t MainHandle() const { return FMainHandle; }
  const QString& Text() const { return FText; }
  bool TextVisible() const { return FTextVisible; }
  void SetTextVisible(bool visible) { FTextVisible = visible; }
  QColor DisplayColor() const { return color_; }
  // Shape1's brush colour: always the display colour.
  QColor Shape1Brush() const { return shape1Brush_; }
  void SetDisplayColor(const QColor& color) { color_ = color; }
  QChar DecimalSeparator() const { return decimalSeparator_; }
  const QFont& DisplayFont() const { return font_; }
  const QImage& Bitmap() const { return bitmap_; }
  const QStringList& Log() const { return Memo1; }
  const TGlowCommandLine& CommandLine() const { return commandLine_; }
  int PaintCount() const { return paintCount_; }
  // The popup item captions, index 0..10.
  QString PopupCaption(int index) const;

  static constexpr int kRepaintIntervalMs = 50;

  // Components (object names are the component names).
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* Timer3 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction *mBorder = nullptr, *mTransparent = nullptr, *mColor = nullptr, *mAimingcross = nullptr,
          *mContrast = nullptr, *m1 = nullptr, *mShowmainapplication = nullptr, *N1 = nullptr,
          *mRemoveDisplay = nullptr, *N2 = nullptr, *mExit = nullptr;
  QLabel* Image2 = nullptr;
  TfAimingCross* fAimingCross = nullptr;
  // The language component without a file: the popup captions come from
  // the main program, so nothing reads a text from it.
  TLngINISupp* LngINISupp = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void WMExitSizeMove();
  void AppDeactivate();
  void ReassertTopmost();
  void PlaceCrossWhenUnplaced();
  void UpdateHint();
  int StyleFlags() const;
  QSize MeasureSample(int pointSize) const;
  QRect Desktop() const;
  void AddLog(const QString& line);

  TGlowCommandLine commandLine_;
  std::uint32_t windowId_;
  bool FInitialized = false;
  QString FParamLog;
  QString FAppName;
  int FCrossX = 0, FCrossY = 0;
  std::uint8_t FCrossShown = 0;
  bool FDragging = false;
  int FDragOffsetX = 0, FDragOffsetY = 0;
  std::uint32_t FMainHandle = 0;
  bool FTextVisible = true;
  QString FText;
  QStringList Memo1;

  QColor color_;
  QColor shape1Brush_;
  QChar decimalSeparator_;
  QFont font_;
  QImage bitmap_;
  std::array<QAction*, 11> popupItems_{};
  int timer3Tag_ = 0;
  bool closing_ = false;
  bool recreating_ = false;
  // A resize the fitting made itself does not start another fitting.
  QSize fittedSize_;
  QElapsedTimer ownResize_;
  static constexpr int kSettleMs = 500;
  bool fitting_ = false;
  bool fitted_ = false;
  // Moves the window made itself are no frame moves.
  QPoint ownPosition_;
  QTimer* sizeMoveQuiet_ = nullptr;
  QTimer* repaintTimer_ = nullptr;
  QElapsedTimer lastPaint_;
  int repaintIntervalMs_ = kRepaintIntervalMs;
  int paintCount_ = 0;
};
