#include "ui/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* DialogButtons::OkCancel(QDialog* dialog, QPushButton*& btnOK, QPushButton*& btnCancel,
                                     const QString& cancelText, std::function<void()> onOk) {
  btnOK = new QPushButton(QStringLiteral("OK"), dialog);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(cancelText, dialog);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  QObject::connect(btnOK, &QPushButton::clicked, dialog, std::move(onOk));
  QObject::connect(btnCancel, &QPushButton::clicked, dialog, [dialog] { dialog->reject(); });
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(btnOK);
  row->addWidget(btnCancel);
  return row;
}
