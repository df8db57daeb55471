#include "setup_common/loop_maintenance_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/d_spin_edit.h"

namespace {

TDSpinEdit* WholeNumberEdit(QWidget* parent, const char* name) {
  auto* edit = new TDSpinEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->SetDecimal(0);
  edit->SetIncrement(1);
  edit->SetValue(0);
  return edit;
}

QLabel* NamedLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

TLoopMaintenanceForm::TLoopMaintenanceForm(QWidget* owner, const TCaptions& captions) : QDialog(owner) {
  setObjectName(QString::fromLatin1(captions.FormName));
  setWindowTitle(QStringLiteral("Loop maintenance"));

  lblLoopMaintenance = NamedLabel(this, "lblLoopMaintenance", QString::fromUtf8(captions.Hint));
  lblLoopMaintenance->setWordWrap(true);
  lblIrOut = NamedLabel(this, "lblIrOut", QString::fromUtf8(captions.OutputCaption));
  seIrOut = WholeNumberEdit(this, "seIrOut");
  if (captions.AmbientRow) {
    lblAmbientOut = NamedLabel(this, "lblAmbientOut", QStringLiteral("Ambient out [%]:"));
    seAmbientOut = WholeNumberEdit(this, "seAmbientOut");
    seAmbientOut->SetMinValue(0);
    seAmbientOut->SetMaxValue(100);
  }
  BtnReset = new QPushButton(QStringLiteral("&Reset to normal mode"), this);
  BtnReset->setObjectName(QStringLiteral("BtnReset"));
  BtnClose = new QPushButton(QStringLiteral("&Close and reset to normal mode"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);

  auto* grid = new QGridLayout;
  grid->addWidget(lblIrOut, 0, 0);
  grid->addWidget(seIrOut, 0, 1);
  if (captions.AmbientRow) {
    grid->addWidget(lblAmbientOut, 1, 0);
    grid->addWidget(seAmbientOut, 1, 1);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblLoopMaintenance);
  layout->addLayout(grid);
  layout->addWidget(BtnReset);
  layout->addWidget(BtnClose);
  resize(239, captions.Height);
}
