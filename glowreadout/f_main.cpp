#include "glowreadout/f_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "glowreadout/display_value_text.h"
#include "glowreadout/f_aiming_cross.h"
#include "glowreadout/grip_image.h"
#include "glowreadout/text_fit.h"
#include "glowreadout/value_painter.h"
#include "ui/lng_ini_supp.h"

namespace {

const QString kNoValueText = QStringLiteral("- - - - -");

// Environment override of the repaint bound, for measuring what it saves.
int RepaintIntervalFromEnvironment() {
  bool ok = false;
  const int v = qEnvironmentVariableIntValue("GLOWREADOUT_REPAINT_INTERVAL_MS", &ok);
  return ok && v >= 0 && v <= 1000 ? v : TfMain::kRepaintIntervalMs;
}

}  // namespace

TfMain::TfMain(const QStringList& parameters, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      commandLine_(parameters),
      windowId_(DisplayLink::NewWindowId()),
      repaintIntervalMs_(RepaintIntervalFromEnvironment()) {
  setObjectName(QStringLiteral("fMain"));
  // Pixels of the background are see-through when the display is
  // transparent; otherwise the bitmap paints them white.
  setAttribute(Qt::WA_TranslucentBackground);
  setMouseTracking(false);

  font_ = ValuePainter::DisplayFont(8);
  color_ = ValuePainter::FromColorRef(TGlowCommandLine::kDefaultColor);
  shape1Brush_ = color_;
  decimalSeparator_ = QLatin1Char('.');

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(250);
  connect(Timer1, &QTimer::timeout, this, &TfMain::Timer1Timer);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(250);
  connect(Timer2, &QTimer::timeout, this, &TfMain::Timer2Timer);
  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(500);
  connect(Timer3, &QTimer::timeout, this, &TfMain::Timer3Timer);
  sizeMoveQuiet_ = new QTimer(this);
  sizeMoveQuiet_->setSingleShot(true);
  sizeMoveQuiet_->setInterval(300);
  connect(sizeMoveQuiet_, &QTimer::timeout, this, &TfMain::WMExitSizeMove);
  repaintTimer_ = new QTimer(this);
  repaintTimer_->setSingleShot(true);
  connect(repaintTimer_, &QTimer::timeout, this, &TfMain::ShowValueText);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  auto item = [this](QAction*& a, const char* name, const QString& caption, bool checkable) {
    a = PopupMenu1->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(checkable);
  };
  auto separator = [this](QAction*& a, const char* name) {
    a = PopupMenu1->addSeparator();
    a->setObjectName(QLatin1String(name));
  };
  item(mBorder, "mBorder", QStringLiteral("Border"), true);
  item(mTransparent, "mTransparent", QStringLiteral("Transparent"), true);
  item(mColor, "mColor", QStringLiteral("Change color"), false);
  item(mAimingcross, "mAimingcross", QStringLiteral("Cross hairs"), true);
  item(mContrast, "mContrast", QStringLiteral("Use contrast color"), true);
  separator(m1, "m1");
  item(mShowmainapplication, "mShowmainapplication", QStringLiteral("Show main application"), false);
  separator(N1, "N1");
  item(mRemoveDisplay, "mRemoveDisplay", QStringLiteral("Remove Display"), false);
  separator(N2, "N2");
  item(mExit, "mExit", QStringLiteral("Exit (all)"), false);
  popupItems_ = {mBorder, mTransparent,   mColor, mAimingcross, mContrast, m1, mShowmainapplication,
                 N1,      mRemoveDisplay, N2,     mExit};
  connect(mBorder, &QAction::triggered, this, &TfMain::mBorderClick);
  connect(mTransparent, &QAction::triggered, this, &TfMain::mTransparentClick);
  connect(mColor, &QAction::triggered, this, &TfMain::mColorClick);
  connect(mAimingcross, &QAction::triggered, this, &TfMain::mAimingcrossClick);
  connect(mContrast, &QAction::triggered, this, &TfMain::mContrastClick);
  connect(mShowmainapplication, &QAction::triggered, this, &TfMain::mShowmainapplicationClick);
  connect(mRemoveDisplay, &QAction::triggered, this, &TfMain::mRemoveDisplayClick);
  connect(mExit, &QAction::triggered, this, &TfMain::mExitClick);

  Image2 = new QLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setFixedSize(GripImage::kSize, GripImage::kSize);
  Image2->hide();
  Image2->installEventFilter(this);

  fAimingCross = new TfAimingCross(this);
  LngINISupp = new TLngINISupp(this);
  LngINISupp->setObjectName(QStringLiteral("LngINISupp"));
  LngINISupp->SetMenuItemNo(0);
  LngINISupp->SetMenuSubItemNo(0);

  // FormCreate
  FText = kNoValueText;
  FTextVisible = true;
  FInitialized = false;
  AddLog(QStringLiteral("aktuelles Handle %1").arg(windowId_));
  FMainHandle = 0;
  SetTransparent(false);
  FParamLog = commandLine_.ParamLog();
  setGeometry(commandLine_.Bounds());
  if (commandLine_.HasName()) {
    AddLog(QStringLiteral("/NAME=") + commandLine_.Name());
    setWindowTitle(commandLine_.Name());
    AddLog(windowTitle());
  }
  FAppName = commandLine_.AppName();
  AddLog(QStringLiteral("/APPNAME=") + FAppName);
  color_ = ValuePainter::FromColorRef(commandLine_.Color());
  shape1Brush_ = color_;
  if (commandLine_.Transparent()) SetTransparent(true);
  mContrast->setChecked(commandLine_.Contrast());
  FCrossX = commandLine_.CrossX();
  FCrossY = commandLine_.CrossY();
  FCrossShown = commandLine_.CrossShown();
  decimalSeparator_ = commandLine_.DecimalSeparator();
  SetBorder(false);
  if (commandLine_.Border()) {
    SetBorder(true);
    mBorder->setChecked(true);
  }
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationInactive) AppDeactivate();
  });
  Timer1->start();
  Timer3->start();
}

TfMain::~TfMain() {
  OnSend = nullptr;
  delete fAimingCross;
}

// ---------------------------------------------------------------------------
// Messages

void TfMain::HandleMessage(const DisplayLink::TLinkMessage& message) {
  switch (message.Msg) {
    case DisplayLink::MsgDisplayValue:
      WMDisplayValue(message.WParam);
      break;
    case DisplayLink::MsgDisplayOwner:
      WMDisplayOwner(message.WParam);
      break;
    case DisplayLink::MsgDisplayClose:
      WMDisplayClose();
      break;
    case DisplayLink::WmCopyData:
      WMCopyData(message.WParam, message.DataKind, message.Data);
      break;
    default:
      break;  // not for a display
  }
}

void TfMain::WMDisplayValue(std::uint32_t wParam) {
  FText = DisplayValueText::Decode(wParam, decimalSeparator_);
  RequestValueText();
}

void TfMain::WMDisplayOwner(std::uint32_t mainHandle) {
  FMainHandle = mainHandle;
  AddLog(QStringLiteral("Mainhandle = ") + QString::number(mainHandle));
}

void TfMain::WMDisplayClose() {
  FMainHandle = 0;
  close();
}

void TfMain::LinkDropped() { WMDisplayClose(); }

void TfMain::WMCopyData(std::uint32_t sender, std::uint32_t kind, const QByteArray& text) {
  if (sender != FMainHandle) return;
  // The frame bounds the text; a text holding a terminator ends there.
  const qsizetype end = text.indexOf('\0');
  const QString s = QString::fromUtf8(end >= 0 ? text.left(end) : text);
  if (kind == DisplayLink::kTextDecimalSeparator) {
    // An empty text or a control character is no separator.
    if (!s.isEmpty() && s.at(0).isPrint()) decimalSeparator_ = s.at(0);
  } else if (kind == DisplayLink::kTextValue) {
    FText = s;
    RequestValueText();
  } else if (kind <= DisplayLink::kTextPopupLast) {
    QAction* a = popupItems_[kind];
    if (s == QStringLiteral("-")) {
      a->setSeparator(true);
    } else {
      a->setSeparator(false);
      a->setText(s);
    }
  }
  // Other kinds name nothing a display has.
}

QString TfMain::PopupCaption(int index) const {
  if (index < 0 || index > 10) return QString();
  const QAction* a = popupItems_[static_cast<std::size_t>(index)];
  return a->isSeparator() ? QStringLiteral("-") : a->text();
}

// ---------------------------------------------------------------------------
// Reports

void TfMain::SendToMain(const DisplayLink::TLinkMessage& message) {
  // Until the main window is known, reports go nowhere.
  if (FMainHandle == 0 || !OnSend) return;
  OnSend(message);
}

void TfMain::Report(int code, int value) {
  SendToMain(
      DisplayLink::Message(DisplayLink::MsgDisplayReport, windowId_, DisplayLink::EncodeReport(code, value)));
}

int TfMain::StyleFlags() const {
  return (mTransparent->isChecked() ? DisplayLink::kStyleTransparent : 0) |
         (mBorder->isChecked() ? DisplayLink::kStyleBorder : 0) |
         (mContrast->isChecked() ? DisplayLink::kStyleContrast : 0);
}

// ---------------------------------------------------------------------------
// Drawing

void TfMain::ShowValueText() {
  repaintTimer_->stop();
  ValuePainter::TStyle style;
  style.Font = font_;
  style.Color = color_;
  style.Contrast = mContrast->isChecked();
  style.Transparent = mTransparent->isChecked();
  style.TextVisible = FTextVisible;
  bitmap_ = ValuePainter::Render(size(), FText, style);
  ++paintCount_;
  lastPaint_.start();
  update();
}

void TfMain::RequestValueText() {
  if (repaintTimer_->isActive()) return;
  const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : repaintIntervalMs_;
  if (since >= repaintIntervalMs_) {
    ShowValueText();
  } else {
    repaintTimer_->start(static_cast<int>(repaintIntervalMs_ - since));
  }
}

void TfMain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  if (bitmap_.size() == size()) {
    p.drawImage(0, 0, bitmap_);
  } else {
    p.fillRect(rect(), mTransparent->isChecked() ? QColor(Qt::transparent) : QColor(Qt::white));
  }
}

void TfMain::SetTransparent(bool on) {
  mTransparent->setChecked(on);
  if (FInitialized) ShowValueText();
}

void TfMain::SetBorder(bool on) {
  const std::uint32_t oldHandle = windowId_;
  const QSize client = size();
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::FramelessWindowHint, !on);
  // Changing the frame re-creates the native window; the client size stays.
  // With the frame on, that size is kept as it is; without, it is refitted.
  if (on) {
    fittedSize_ = client;
    ownResize_.start();
  }
  resize(client);
  // The window comes back as it was: not a new showing of the display.
  if (wasVisible) {
    recreating_ = true;
    show();
    recreating_ = false;
  }
  // The display keeps its window id across the change; the main program is
  // told all the same, as it expects after every frame change.
  SendToMain(
      DisplayLink::Message(DisplayLink::MsgDisplayHandle, oldHandle, static_cast<std::int32_t>(windowId_)));
  AddLog(QStringLiteral("Altes Handle %1 -> Neues Handle %2").arg(oldHandle).arg(windowId_));
}

void TfMain::TintGripImage(const QColor& color) {
  const QImage tinted = GripImage::Tint(color);
  Image2->setPixmap(QPixmap::fromImage(tinted));
  fAimingCross->SetGripImage(tinted);
}

QSize TfMain::MeasureSample(int pointSize) const {
  const QFontMetrics fm(ValuePainter::DisplayFont(pointSize));
  return {fm.horizontalAdvance(QString::fromUtf16(TextFit::kSampleText)), fm.height()};
}

QRect TfMain::Desktop() const {
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  return s != nullptr ? s->virtualGeometry() : QRect(0, 0, 1920, 1080);
}

void TfMain::FormResize() {
  if (fitting_) return;
  fitting_ = true;
  fitted_ = true;
  const TextFit::TFit fit =
      TextFit::FitToWindow(width(), height(), [this](int s) { return MeasureSample(s); });
  font_ = ValuePainter::DisplayFont(fit.FontSize);
  fittedSize_ = QSize(fit.ClientWidth, fit.ClientHeight);
  ownResize_.start();
  resize(fittedSize_);
  const QRect frame = frameGeometry();
  const QPoint at = TextFit::KeepOnDesktop(
      QRect(frame.topLeft(),
            QSize(frame.width() - width() + fit.ClientWidth, frame.height() - height() + fit.ClientHeight)),
      Desktop());
  if (at != frame.topLeft()) {
    ownPosition_ = at;
    move(at);
  }
  Report(DisplayLink::ReportCode::Left, at.x());
  Report(DisplayLink::ReportCode::Top, at.y());
  Report(DisplayLink::ReportCode::Width, frame.width() - width() + fit.ClientWidth);
  Report(DisplayLink::ReportCode::Height, frame.height() - height() + fit.ClientHeight);
  Image2->move(5, static_cast<int>(std::lround((fit.ClientHeight - Image2->height()) / 2.0)));
  ShowValueText();
  fitting_ = false;
}

void TfMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Sizes the window passes through while it settles on the size the last
  // fitting chose (the window system reports them late, one by one) start
  // no fitting; only the bitmap follows.
  const bool settling = ownResize_.isValid() && ownResize_.elapsed() < kSettleMs;
  if (size() == fittedSize_) ownResize_.invalidate();
  if (settling || size() == fittedSize_) {
    if (bitmap_.size() != size()) ShowValueText();
    return;
  }
  FormResize();
}

// ---------------------------------------------------------------------------
// Showing

void TfMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!recreating_) FormShow();
}

void TfMain::FormShow() {
  AddLog(QStringLiteral("aktuelles Handle %1").arg(windowId_));
  const bool first = !FInitialized;
  if (first) {
    TintGripImage(color_);
    UpdateHint();
    FInitialized = true;
    FText = kNoValueText;
    AddLog(FParamLog);
    // A window that has not been fitted yet (it kept its size when the
    // frame came on) is fitted now.
    if (!fitted_) FormResize();
  }
  fAimingCross->DrawCross(color_, mContrast->isChecked());
  mAimingcross->setChecked(false);
  fAimingCross->hide();
  if (FCrossShown != 0) {
    QPoint at(FCrossX, FCrossY);
    if (FCrossX < 0 || FCrossY < 0) at = QPoint(x(), y() + frameGeometry().height() + 10);
    fAimingCross->Place(at);
    fAimingCross->show();
    fAimingCross->DrawCross(color_, mContrast->isChecked());
    mAimingcross->setChecked(true);
  }
  ShowValueText();
  if (first && OnFirstShown) {
    // After the window exists on the screen.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (OnFirstShown) OnFirstShown();
        },
        Qt::QueuedConnection);
  }
}

void TfMain::UpdateHint() {
  const QString hint = windowTitle() + QStringLiteral(" / ") + FAppName;
  setToolTip(hint);
  Image2->setToolTip(hint);
  fAimingCross->setToolTip(hint);
}

void TfMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
    // A display is never minimised: it becomes a small window and refits.
    QTimer::singleShot(0, this, [this] {
      setWindowState(windowState() & ~Qt::WindowMinimized);
      show();
      resize(100, 100);
    });
  }
}

void TfMain::AppDeactivate() { ReassertTopmost(); }

void TfMain::ReassertTopmost() {
  // Without a screen there is no stacking to keep.
  if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
  if (isVisible()) raise();
  if (fAimingCross->isVisible()) fAimingCross->raise();
}

// ---------------------------------------------------------------------------
// Moving

void TfMain::mousePressEvent(QMouseEvent* event) {
  AddLog(QString::number(windowId_));
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  FDragging = true;
  const QPoint cursor = event->globalPosition().toPoint();
  FDragOffsetX = cursor.x() - x();
  FDragOffsetY = cursor.y() - y();
  Timer2->start();
}

void TfMain::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) return;
  const QPoint cursor = event->globalPosition().toPoint();
  ownPosition_ = QPoint(cursor.x() - FDragOffsetX, cursor.y() - FDragOffsetY);
  move(ownPosition_);
  Report(DisplayLink::ReportCode::Left, ownPosition_.x());
  Report(DisplayLink::ReportCode::Top, ownPosition_.y());
}

void TfMain::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FDragging = false;
  Timer2->stop();
  fAimingCross->SetImageVisible(mAimingcross->isChecked());
}

void TfMain::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // Moves through the frame end with a quiet moment (there is no end-of-move
  // notice): then the position is reported.
  if (FDragging || fitting_ || pos() == ownPosition_ || !isVisible()) return;
  sizeMoveQuiet_->start();
}

void TfMain::WMExitSizeMove() {
  Report(DisplayLink::ReportCode::Left, x());
  Report(DisplayLink::ReportCode::Top, y());
  Timer2->stop();
  if (mAimingcross->isChecked()) fAimingCross->SetImageVisible(true);
}

void TfMain::Timer1Timer() { Image2->setVisible(GripImage::Shown(frameGeometry())); }

void TfMain::Timer2Timer() {
  if (mAimingcross->isChecked()) fAimingCross->SetImageVisible(!fAimingCross->ImageVisible());
}

void TfMain::Timer3Timer() {
  ++timer3Tag_;
  if (mContrast->isChecked() && timer3Tag_ % 2 == 0) {
    TintGripImage(Qt::black);
  } else {
    TintGripImage(color_);
  }
}

void TfMain::contextMenuEvent(QContextMenuEvent* event) { PopupMenu1->popup(event->globalPos()); }

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image2 && event->type() == QEvent::MouseButtonPress) {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() == Qt::RightButton) {
      const QPoint press = e->position().toPoint();
      PopupMenu1->popup(QPoint(x() + press.x() + 10, y() + press.y()));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Popup commands

void TfMain::mBorderClick() {
  SetBorder(mBorder->isChecked());
  Report(DisplayLink::ReportCode::Style, StyleFlags());
  ReassertTopmost();
}

void TfMain::mTransparentClick() {
  SetTransparent(mTransparent->isChecked());
  Report(DisplayLink::ReportCode::Style, StyleFlags());
}

void TfMain::mColorClick() {
  std::optional<QColor> chosen;
  if (OnChooseColor) {
    chosen = OnChooseColor(color_);
  } else {
    const QColor c = QColorDialog::getColor(color_, this);
    if (c.isValid()) chosen = c;
  }
  if (!chosen || !chosen->isValid()) return;
  color_ = *chosen;
  ShowValueText();
  TintGripImage(color_);
  shape1Brush_ = color_;
  fAimingCross->DrawCross(color_, mContrast->isChecked());
  SendToMain(DisplayLink::Message(DisplayLink::MsgDisplayColor, windowId_,
                                  static_cast<std::int32_t>(ValuePainter::ToColorRef(color_) & 0xFFFFFFu)));
}

void TfMain::PlaceCrossWhenUnplaced() {
  if (fAimingCross->Left() < 0 || fAimingCross->Top() < 0) {
    fAimingCross->Place(QPoint(x(), y() + frameGeometry().height() + 10));
  }
}

void TfMain::mAimingcrossClick() {
  PlaceCrossWhenUnplaced();
  if (mAimingcross->isChecked()) {
    fAimingCross->show();
    ReassertTopmost();
  } else {
    fAimingCross->hide();
  }
  fAimingCross->DrawCross(color_, mContrast->isChecked());
  Report(DisplayLink::ReportCode::CrossShown, mAimingcross->isChecked() ? 1 : 0);
  fAimingCross->SetImageVisible(mAimingcross->isChecked());
}

void TfMain::mContrastClick() {
  ShowValueText();
  fAimingCross->DrawCross(color_, mContrast->isChecked());
  Report(DisplayLink::ReportCode::Style, StyleFlags());
}

void TfMain::mShowmainapplicationClick() {
  SendToMain(DisplayLink::Message(DisplayLink::MsgShowMainApp, 0, 0));
}

void TfMain::mRemoveDisplayClick() { close(); }

void TfMain::mExitClick() {
  Report(DisplayLink::ReportCode::ExitAll, 0);
  FMainHandle = 0;
  close();
}

void TfMain::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    if (FMainHandle != 0) Report(DisplayLink::ReportCode::Closed, 0);
    fAimingCross->hide();
  }
  event->accept();
}

void TfMain::AddLog(const QString& line) {
  // The diagnostic log is never shown; it keeps its newest lines only.
  Memo1 << line;
  if (Memo1.size() > 200) Memo1.removeFirst();
}
