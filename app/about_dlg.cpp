#include "app/about_dlg.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

#include "app/modal_result.h"
#include "ui/form_registry.h"

#ifndef TS_VERSION_TEXT
#define TS_VERSION_TEXT ""
#endif

TAboutDlg::TAboutDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("AboutDlg"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);

  Logo = new QLabel(this);
  Logo->setObjectName(QStringLiteral("Logo"));
  Logo->setFixedSize(48, 48);
  Logo->setAlignment(Qt::AlignCenter);
  // An image, not a caption.
  Logo->setProperty(FormRegistry::kExcludedProperty, true);

  stProgTitle = new QLabel(QStringLiteral("Program title"), this);
  stProgTitle->setObjectName(QStringLiteral("stProgTitle"));
  stProgTitle->setAlignment(Qt::AlignCenter);
  QFont titleFont = stProgTitle->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
  stProgTitle->setFont(titleFont);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label2 = new QLabel(QStringLiteral("CopyRight"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setWordWrap(true);
  Label2->setMinimumWidth(240);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, [this] { done(mrOk); });

  auto* inner = new QGridLayout(Bevel1);
  inner->addWidget(Logo, 0, 0, 3, 1, Qt::AlignTop);
  inner->addWidget(stProgTitle, 0, 1);
  inner->addWidget(Label1, 1, 1);
  inner->addWidget(Label2, 2, 1);
  inner->setColumnStretch(1, 1);
  inner->setHorizontalSpacing(12);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Bevel1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString TAboutDlg::VersionText() { return FormatVersionText(QStringLiteral(TS_VERSION_TEXT)); }

QString TAboutDlg::FormatVersionText(const QString& version) {
  const QStringList parts = version.trimmed().split(QLatin1Char('.'));
  if (version.trimmed().isEmpty() || parts.size() > 4) return {};
  unsigned numbers[4] = {0, 0, 0, 0};
  for (qsizetype i = 0; i < parts.size(); ++i) {
    bool ok = false;
    // Each part is one 16-bit word of the version.
    const unsigned value = parts[i].toUInt(&ok, 10);
    if (!ok || value > 0xFFFF || parts[i].startsWith(QLatin1Char('+'))) return {};
    numbers[i] = value;
  }
  return QStringLiteral("%1.%2.%3 Build %4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
}

void TAboutDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TAboutDlg::FormShow() {
  stProgTitle->setText(ProgTitle);
  const QString version = VersionText();
  Label1->setText(version.isEmpty() ? QString() : QStringLiteral("Rev. ") + version);
  Label2->setText(NoticeText);
  const QIcon icon = QApplication::windowIcon();
  Logo->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(Logo->size()));
  adjustSize();
  if (const QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}
