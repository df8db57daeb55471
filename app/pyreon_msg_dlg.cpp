#include "app/pyreon_msg_dlg.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/lng_ini_supp.h"

namespace {

constexpr TMsgDlgButton kNone{nullptr, nullptr, mrNone};
constexpr TMsgDlgButton kOk{LNG_OTHER_TEXT("OK", "&OK"), mrOk};
constexpr TMsgDlgButton kCancel{LNG_OTHER_TEXT("Cancel", "&Cancel"), mrCancel};
constexpr TMsgDlgButton kAbort{LNG_OTHER_TEXT("Abort", "&Abort"), mrAbort};
constexpr TMsgDlgButton kRetry{LNG_OTHER_TEXT("Retry", "&Retry"), mrRetry};
constexpr TMsgDlgButton kIgnore{LNG_OTHER_TEXT("Ignore", "&Ignore"), mrIgnore};
constexpr TMsgDlgButton kYes{LNG_OTHER_TEXT("Yes", "&Yes"), mrYes};
constexpr TMsgDlgButton kNo{LNG_OTHER_TEXT("No", "&No"), mrNo};

const std::array<TMsgDlgButtonSet, TPyreonMsgDlgRules::kButtonSetCount> kButtonSets{{
    {1, {kOk, kNone, kNone}},
    {2, {kOk, kCancel, kNone}},
    {3, {kAbort, kRetry, kIgnore}},
    {3, {kYes, kNo, kCancel}},
    {2, {kYes, kNo, kNone}},
    {2, {kRetry, kCancel, kNone}},
}};

}  // namespace

const TMsgDlgButtonSet& TPyreonMsgDlgRules::ButtonSet(int set) {
  if (set < 0 || set >= kButtonSetCount) set = 0;
  return kButtonSets[static_cast<std::size_t>(set)];
}

int TPyreonMsgDlgRules::ShownButtons(int set, int buttonCount) {
  return std::clamp(buttonCount, 1, ButtonSet(set).Count);
}

TMsgDlgCheckLayout TPyreonMsgDlgRules::CheckLayout(bool showQ1, bool showQ2) {
  if (showQ1 && showQ2) return {0, 1, 2};
  if (showQ1) return {0, 1, 1};
  if (showQ2) return {1, 0, 1};
  return {0, 1, 0};
}

TPyreonMsgDlg::TPyreonMsgDlg(QWidget* owner, int buttons, int buttonCount, const TLngINISupp* lng)
    : QDialog(owner), lng_(lng), buttons_(buttons), buttonCount_(buttonCount) {
  setObjectName(QStringLiteral("DlgPyreonMsg"));
  setWindowTitle(QStringLiteral("Dialog"));

  lblQ0 = new QLabel(this);
  lblQ0->setObjectName(QStringLiteral("lblQ0"));
  lblQ0->setWordWrap(true);
  lblQ0->setMinimumWidth(300);

  auto makeButton = [this](const char* name) {
    auto* button = new QPushButton(QString::fromLatin1(name), this);
    button->setObjectName(QString::fromLatin1(name));
    return button;
  };
  Btn1 = makeButton("Btn1");
  Btn2 = makeButton("Btn2");
  Btn3 = makeButton("Btn3");
  Btn1->setDefault(true);
  QPushButton* all[3] = {Btn1, Btn2, Btn3};
  for (std::size_t i = 0; i < 3; ++i)
    connect(all[i], &QPushButton::clicked, this, [this, i] { done(results_[i]); });

  cbQ1 = new QCheckBox(this);
  cbQ1->setObjectName(QStringLiteral("cbQ1"));
  cbQ2 = new QCheckBox(this);
  cbQ2->setObjectName(QStringLiteral("cbQ2"));
  cbQ1->hide();
  cbQ2->hide();

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  buttonRow->addWidget(Btn1);
  buttonRow->addWidget(Btn2);
  buttonRow->addWidget(Btn3);
  buttonRow->addStretch();

  checkArea_ = new QVBoxLayout;
  checkArea_->addWidget(cbQ1);
  checkArea_->addWidget(cbQ2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblQ0);
  layout->addSpacing(8);
  layout->addLayout(buttonRow);
  layout->addLayout(checkArea_);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TPyreonMsgDlg::SetText(const QString& text) { lblQ0->setText(text); }

void TPyreonMsgDlg::SetCheckBox1Text(const QString& text) {
  cbQ1->setText(text);
  if (isVisible()) ArrangeLayout();
}

void TPyreonMsgDlg::SetCheckBox2Text(const QString& text) {
  cbQ2->setText(text);
  if (isVisible()) ArrangeLayout();
}

bool TPyreonMsgDlg::CheckBox1State() const { return cbQ1->isChecked(); }

void TPyreonMsgDlg::SetCheckBox1State(bool checked) { cbQ1->setChecked(checked); }

void TPyreonMsgDlg::reject() { done(mrCancel); }

void TPyreonMsgDlg::keyPressEvent(QKeyEvent* event) {
  // Escape presses the cancel button, and only while it is there.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (Btn3->isVisible() && Btn3->isEnabled()) Btn3->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TPyreonMsgDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TPyreonMsgDlg::FormShow() {
  ArrangeLayout();
  adjustSize();
  if (const QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TPyreonMsgDlg::ArrangeLayout() {
  const TMsgDlgButtonSet& set = TPyreonMsgDlgRules::ButtonSet(buttons_);
  const int shown = TPyreonMsgDlgRules::ShownButtons(buttons_, buttonCount_);
  QPushButton* all[3] = {Btn1, Btn2, Btn3};
  for (std::size_t i = 0; i < 3; ++i) {
    const TMsgDlgButton& design = set.Buttons[i];
    const bool visible = static_cast<int>(i) < shown;
    if (visible) {
      const QString key = QString::fromLatin1(design.Key);
      const QString fallback = QString::fromLatin1(design.Default);
      all[i]->setText(lng_ ? lng_->OtherText(key, fallback) : fallback);
      results_[i] = design.Result;
    } else {
      results_[i] = mrNone;
    }
    all[i]->setVisible(visible);
  }

  const bool showQ1 = !cbQ1->text().isEmpty();
  const bool showQ2 = !cbQ2->text().isEmpty();
  const TMsgDlgCheckLayout layout = TPyreonMsgDlgRules::CheckLayout(showQ1, showQ2);
  checkArea_->removeWidget(cbQ1);
  checkArea_->removeWidget(cbQ2);
  if (layout.SlotQ1 < layout.SlotQ2) {
    checkArea_->addWidget(cbQ1);
    checkArea_->addWidget(cbQ2);
  } else {
    checkArea_->addWidget(cbQ2);
    checkArea_->addWidget(cbQ1);
  }
  cbQ1->setVisible(showQ1);
  cbQ2->setVisible(showQ2);
}
