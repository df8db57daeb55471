#include "ui/named_widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "ui/d_spin_edit.h"
#include "ui/radio_group.h"

namespace NamedWidgets {

QLabel* Label(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

TDSpinEdit* Spin(QWidget* parent, const char* name, int tag, double min, double max, double increment,
                 int decimals) {
  auto* edit = new TDSpinEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->SetTag(tag);
  edit->SetMinValue(min);
  edit->SetMaxValue(max);
  edit->SetIncrement(increment);
  edit->SetDecimal(static_cast<std::uint8_t>(decimals));
  return edit;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->addItems(items);
  return combo;
}

RadioGroup* Radio(QWidget* parent, const char* name, const QString& caption, const QStringList& items,
                  int columns) {
  auto* group = new RadioGroup(parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setTitle(caption);
  group->SetItems(items);
  group->SetColumns(columns);
  return group;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace NamedWidgets
