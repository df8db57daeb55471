#include "setup_argo/argo_head_param_dlg.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

constexpr int kBevelMargin = 5;
constexpr int kBevelWidth = 302;

QString CodeFontFamily() {
  const QStringList families = QFontDatabase::families();
  for (const QString& family : families) {
    const QString name = family.toUpper();
    if (name == QLatin1String("WST_GERM") || name == QLatin1String("CONSOLAS")) return family;
  }
  return QStringLiteral("Arial");
}

}  // namespace

TArgoHeadParamDlg::TArgoHeadParamDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("ArgoHeadParamDlg"));
  setWindowTitle(QStringLiteral("Head parameter"));
  Beep = [] { QApplication::beep(); };

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  meHeadParam = new QLineEdit(this);
  meHeadParam->setObjectName(QStringLiteral("meHeadParam"));
  BtnOK = new QPushButton(QStringLiteral("&OK"), this);
  BtnOK->setObjectName(QStringLiteral("BtnOK"));
  BtnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  QFont font(CodeFontFamily());
  meHeadParam->setFont(font);
  connect(meHeadParam, &QLineEdit::textEdited, this, &TArgoHeadParamDlg::meParamChange);
  connect(BtnOK, &QPushButton::clicked, this, &TArgoHeadParamDlg::BtnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  resize(294, 118);
  FormRegistry::Add(this);
}

void TArgoHeadParamDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TArgoHeadParamDlg::FormShow() {
  // The dialog may be made after the language was loaded.
  if (FLng) FLng->ApplyTexts(this);
  const bool large = Mode == TMode::Large;
  QFont font = meHeadParam->font();
  font.setPixelSize(large ? 20 : 30);
  meHeadParam->setFont(font);
  const QFontMetrics metrics(font);
  const QString sample =
      large ? QStringLiteral("GGGG-GGGG-GGGG-GGGG-GGGG") : QStringLiteral("GGGG-GGGG-GGGG ");
  const int editWidth = metrics.horizontalAdvance(sample) + 20;
  const int editHeight = metrics.height() + 10;

  QStringList groups;
  if (large)
    for (const QString& g : FLargeCode) groups << g;
  else
    for (const QString& g : FShortCode) groups << g;
  const QString code = HeadCodeValidator::JoinGroups(groups, Mode);

  const int bevelWidth = std::max(kBevelWidth, editWidth + 10);
  const int bevelHeight = editHeight + 30;
  Bevel1->setGeometry(kBevelMargin, kBevelMargin, bevelWidth, bevelHeight);
  meHeadParam->setGeometry(kBevelMargin + (bevelWidth - editWidth + 1) / 2, kBevelMargin + 15, editWidth,
                           editHeight);
  const int buttonTop = kBevelMargin + bevelHeight + 8;
  const int clientWidth = 2 * kBevelMargin + bevelWidth;
  btnCancel->setGeometry(clientWidth - kBevelMargin - 80, buttonTop, 80, 26);
  BtnOK->setGeometry(clientWidth - 2 * kBevelMargin - 160, buttonTop, 80, 26);
  setFixedSize(clientWidth, buttonTop + 26 + kBevelMargin);

  {
    const QSignalBlocker block(meHeadParam);
    meHeadParam->setText(HeadCodeValidator::DisplayText(code));
  }
  BtnOK->setEnabled(HeadCodeValidator::Validate(code, Mode).Valid);
  meHeadParam->setFocus();
  meHeadParam->setSelection(0, 1);
}

void TArgoHeadParamDlg::meParamChange(const QString& text) {
  // The caret stays behind the same code character it followed.
  const QString beforeCaret = text.left(meHeadParam->cursorPosition());
  const int caretIndex = static_cast<int>(beforeCaret.size() - beforeCaret.count(QLatin1Char('-')));
  const HeadCodeValidator::TResult result =
      HeadCodeValidator::Validate(HeadCodeValidator::Overtype(text, caretIndex, Mode), Mode);
  const QString shown = HeadCodeValidator::DisplayText(result.Code);
  if (shown != text) {
    const QSignalBlocker block(meHeadParam);
    meHeadParam->setText(shown);
    meHeadParam->setCursorPosition(
        HeadCodeValidator::DisplayPosition(std::min(caretIndex, static_cast<int>(result.Code.size()))));
  }
  if (!result.Rejected.empty()) {
    if (Beep) Beep();
    meHeadParam->setSelection(HeadCodeValidator::DisplayPosition(result.Rejected.front()), 1);
  }
  BtnOK->setEnabled(result.Valid);
}

void TArgoHeadParamDlg::BtnOKClick() {
  const HeadCodeValidator::TResult result = HeadCodeValidator::Validate(meHeadParam->text(), Mode);
  if (!result.Valid) return;
  const QStringList groups = HeadCodeValidator::SplitGroups(result.Code, Mode);
  if (Mode == TMode::Large)
    for (std::size_t i = 0; i < FLargeCode.size(); ++i) FLargeCode[i] = groups[static_cast<int>(i)];
  else
    for (std::size_t i = 0; i < FShortCode.size(); ++i) FShortCode[i] = groups[static_cast<int>(i)];
  accept();
}
