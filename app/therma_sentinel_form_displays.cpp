// The main window's external displays: starting them from a value panel,
// restoring them at start, their texts, and what their reports do to the
// window. The display link itself (records, processes, messages) is
// TDisplayLink.

#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <array>

#include "app/display_link.h"
#include "app/therma_sentinel_form.h"
#include "platform/number_text.h"
#include "ui/lng_ini_supp.h"

namespace {

// DisplayKind of the panel each external-display item opens, in item order.
constexpr std::array<int, 11> kItemKinds{1, 2, 3, 4, 5, 6, 7, 8, 11, 10, 9};
constexpr std::array<const char*, 11> kItemNames{"mExtTarget",  "mExtTInt",  "mExtTAct", "mExtTBox",
                                                 "mExtTSingle", "mExtTQuot", "mExtTau",  "mExtmVin",
                                                 "mExtEps",     "mExtTAmb",  "mExtVcc"};

}  // namespace

void TThermaSentinelForm::CreateDisplayLink() {
  displayLink_ = new TDisplayLink(this);
  ValuePanels.SetDisplayLink(displayLink_);
  mExternaldisplay = menuView_->addMenu(QStringLiteral("External display"));
  mExternaldisplay->setObjectName(QStringLiteral("mExternaldisplay"));
  mExternaldisplay2 = pmDiagram->addMenu(QStringLiteral("External display"));
  mExternaldisplay2->setObjectName(QStringLiteral("mExternaldisplay2"));
  for (int i = 0; i < 11; ++i) {
    for (QMenu* menu : {mExternaldisplay, mExternaldisplay2}) {
      QAction* item = menu->addAction(QString());
      item->setObjectName(QString::fromLatin1(kItemNames[i]) +
                          (menu == mExternaldisplay2 ? QStringLiteral("2") : QString()));
      connect(item, &QAction::triggered, this, [this, i] { mExtTargetClick(i); });
    }
  }
  mInvisible = menuView_->addAction(QStringLiteral("Invisible"));
  mInvisible->setObjectName(QStringLiteral("mInvisible"));
  mInvisible->setEnabled(false);
  connect(mInvisible, &QAction::triggered, this, [this] { mInvisibleClick(); });
  UpdateDisplayMenus();
  displayLink_->SetDesktop([] {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->virtualGeometry() : QRect(0, 0, 1920, 1080);
  });
  displayLink_->OnLog = [](const QString& line) { qInfo().noquote() << line; };
  displayLink_->OnRecordsChanged = [this] {
    lbGlowReadout->clear();
    lbGlowReadout->addItems(displayLink_->Lines());
  };
  displayLink_->OnRunningChanged = [this](int running) {
    mInvisible->setEnabled(running > 0);
    if (running > 0 && hideWhenDisplayRuns_) {
      hideWhenDisplayRuns_ = false;
      HideFromTaskbar();
      hide();
    }
  };
  displayLink_->OnStartFinished = [this](int startId, std::uint32_t window) {
    if (userDisplayStarts_.remove(startId) && window == 0) ReportDisplayNotStarted();
    // Every restored display failed: the window stays where the user sees it.
    if (displayLink_->StartingCount() == 0 && displayLink_->RunningCount() == 0) hideWhenDisplayRuns_ = false;
  };
  displayLink_->OnLastDisplayClosed = [this] {
    if (!isVisible())
      QMetaObject::invokeMethod(
          this, [this] { close(); }, Qt::QueuedConnection);
  };
  displayLink_->OnExitAll = [this] {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  };
  displayLink_->OnShowMainApp = [this] {
    showNormal();
    raise();
    activateWindow();
  };
}

void TThermaSentinelForm::RestoreDisplays(const QStringList& lines, bool hideWhileDisplaysRun) {
  if (displayLink_ == nullptr || lines.isEmpty()) return;
  hideWhenDisplayRuns_ = hideWhileDisplaysRun;
  displayLink_->SetMainCaption(windowTitle());
  displayLink_->RestoreDisplays(lines);
  if (displayLink_->StartingCount() == 0) hideWhenDisplayRuns_ = false;
}

void TThermaSentinelForm::CloseDisplays() {
  if (displayLink_ == nullptr) return;
  displayLink_->CloseAll();
  hideWhenDisplayRuns_ = false;
}

void TThermaSentinelForm::SendDisplayTexts() {
  if (displayLink_ == nullptr) return;
  static const std::array<std::pair<const char*, const char*>, 11> kTexts{{
      {"Border", "Border"},
      {"Transparent", "Transparent"},
      {"ChangeColor", "Change color"},
      {"Crosshairs", "Cross hairs"},
      {"Contrast", "Use contrast color"},
      {nullptr, "-"},
      {"ShowMainApplication", "Show main application"},
      {nullptr, "-"},
      {"RemoveDisplay", "Remove Display"},
      {nullptr, "-"},
      {"Exit", "Exit (all)"},
  }};
  QStringList captions;
  for (const auto& [key, text] : kTexts) {
    captions << (key == nullptr ? QString::fromLatin1(text)
                                : LIS_->ReadText(QString::fromLatin1(key), QString::fromLatin1(text),
                                                 QStringLiteral("GlowReadout")));
  }
  displayLink_->SendTexts(captions, decimalSeparatorInUse_);
}

void TThermaSentinelForm::gbTAmbDblClick(QObject* Sender) {
  auto* sender = qobject_cast<QWidget*>(Sender);
  if (sender == nullptr || displayLink_ == nullptr) return;
  QGroupBox* box = qobject_cast<QGroupBox*>(sender);
  if (box == nullptr) box = qobject_cast<QGroupBox*>(sender->parentWidget());
  if (box == nullptr) return;
  TDisplayRecord r;
  r.Kind = box->property("Tag").toInt();
  r.Name = box->title();
  const QColor font = sender->palette().color(QPalette::WindowText);
  r.Colour = static_cast<std::int32_t>(DisplayLink::ColorRef(font.red(), font.green(), font.blue()));
  const QPoint at = QCursor::pos();
  r.Left = at.x();
  r.Top = at.y();
  r.Width = 200;
  r.Height = 100;
  r.Transparent = true;
  r.Border = false;
  r.Contrast = true;
  r.CrossX = -1;
  r.CrossY = -1;
  r.CrossOn = 0;
  displayLink_->SetMainCaption(windowTitle());
  const int startId = displayLink_->StartDisplay(r);
  if (startId == 0)
    ReportDisplayNotStarted();
  else
    userDisplayStarts_.insert(startId);
  SendDisplayTexts();
}

void TThermaSentinelForm::ReportDisplayNotStarted() {
  const QString text =
      NumberText::Format(LIS_->MessageText(QStringLiteral("DisplayNotStarted"),
                                           QStringLiteral("The external display could not be started (%s).")),
                         {QDir::toNativeSeparators(displayLink_->Program())});
  const QString caption = LIS_->OtherTextOrKey(QStringLiteral("Information"));
  if (OnShowMessage)
    OnShowMessage(text, caption);
  else
    QMessageBox::warning(this, caption, text);
}

QGroupBox* TThermaSentinelForm::PanelOfKind(int kind) const {
  for (const TValuePanel& p : Panels1) {
    if (p.Box != nullptr && p.Box->property("Tag").toInt() == kind) return p.Box;
  }
  return nullptr;
}

void TThermaSentinelForm::UpdateDisplayMenus() {
  if (mExternaldisplay == nullptr) return;
  const QString caption =
      LIS_->ReadText(QStringLiteral("mExternaldisplay"), QStringLiteral("External display"),
                     QStringLiteral("ThermaSentinelForm"));
  for (QMenu* menu : {mExternaldisplay, mExternaldisplay2}) {
    menu->setTitle(caption);
    const QList<QAction*> items = menu->actions();
    for (int i = 0; i < items.size() && i < 11; ++i) {
      if (const QGroupBox* box = PanelOfKind(kItemKinds[static_cast<std::size_t>(i)]))
        items[i]->setText(box->title());
    }
  }
}

void TThermaSentinelForm::mExtTargetClick(int index) {
  if (index < 0 || index >= 11) return;
  if (QGroupBox* box = PanelOfKind(kItemKinds[static_cast<std::size_t>(index)])) gbTAmbDblClick(box);
}

void TThermaSentinelForm::mInvisibleClick() {
  // Only while a display runs, so the program is never left out of reach.
  if (displayLink_ == nullptr || displayLink_->RunningCount() == 0) return;
  HideFromTaskbar();
  hide();
}
