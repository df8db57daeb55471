#include "app/set_default_settings_dlg.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/modal_result.h"
#include "ui/form_registry.h"

TSetDefaultSettingsDlg::TSetDefaultSettingsDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("SetDefaultSettingsDlg"));
  setWindowTitle(QStringLiteral("Set default settings :"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto line = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignCenter);
    return l;
  };
  lblLine1 = line("lblLine1", QStringLiteral("Set all settings to default"));
  lblLine2 = line("lblLine2", QStringLiteral("and restart the application ."));
  lblLine3 = line("lblLine3", QStringLiteral("Are you sure ?"));

  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnOK, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblLine1);
  layout->addWidget(lblLine2);
  layout->addSpacing(6);
  layout->addWidget(lblLine3);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}

void TSetDefaultSettingsDlg::reject() { done(mrCancel); }

void TSetDefaultSettingsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TSetDefaultSettingsDlg::FormShow() {
  setWindowIcon(QApplication::windowIcon());
  btnCancel->setDefault(true);
  btnCancel->setFocus();
}

bool TSetDefaultSettingsDlg::Restart() {
  return StartProgram(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
}

bool TSetDefaultSettingsDlg::StartProgram(const QString& program, const QStringList& arguments) {
  if (program.isEmpty()) return false;
  return QProcess::startDetached(program, arguments);
}
