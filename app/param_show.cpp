#include "app/param_show.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/modal_result.h"
#include "ui/form_registry.h"

TfParamShow::TfParamShow(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("fParamShow"));
  setWindowTitle(QStringLiteral("Help :"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  Label1 = label("Label1", QStringLiteral("Parameter Help :"));
  Label2 = label("Label2", QStringLiteral("/? or /HELP"));
  Label3 = label("Label3", QStringLiteral(": This HELP screen"));
  Label4 = label("Label4", QStringLiteral("/NAME=xxx"));
  Label5 = label("Label5", QStringLiteral(": Start Therma Sentinel with instance name \"xxxx\""));
  Label6 = label("Label6", QStringLiteral("  (do only use letters and digits)"));
  Label7 = label("Label7", QStringLiteral("/DELAY=xxx"));
  Label8 = label("Label8", QStringLiteral(": Start Therma Sentinel with a delay of xx seconds"));
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  // Leading blanks of the note are part of its text.
  Label6->setTextFormat(Qt::PlainText);

  bOK = new QPushButton(QStringLiteral("OK"), this);
  bOK->setObjectName(QStringLiteral("bOK"));
  bOK->setDefault(true);
  connect(bOK, &QPushButton::clicked, this, [this] { done(mrOk); });

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);
  grid->addWidget(Label2, 0, 0);
  grid->addWidget(Label3, 0, 1);
  grid->addWidget(Label4, 1, 0);
  grid->addWidget(Label5, 1, 1);
  grid->addWidget(Label6, 2, 1);
  grid->addWidget(Label7, 3, 0);
  grid->addWidget(Label8, 3, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bOK);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addSpacing(6);
  layout->addLayout(grid);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}
