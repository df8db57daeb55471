#include "ui/radio_group.h"

#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), layout_(new QGridLayout(this)) {}

void RadioGroup::SetItems(const QStringList& items) {
  items_ = items;
  if (itemIndex_ >= items_.size()) itemIndex_ = -1;
  Rebuild();
}

void RadioGroup::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  Arrange();
}

QRadioButton* RadioGroup::Button(int index) const {
  if (index < 0 || index >= static_cast<int>(buttons_.size())) return nullptr;
  return buttons_[static_cast<size_t>(index)];
}

void RadioGroup::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(buttons_.size())) index = -1;
  if (index == itemIndex_) return;
  {
    updating_ = true;
    if (QRadioButton* old = Button(itemIndex_)) old->setChecked(false);
    itemIndex_ = index;
    if (QRadioButton* now = Button(itemIndex_)) now->setChecked(true);
    updating_ = false;
  }
  if (itemIndex_ >= 0 && OnClick) OnClick(this);
}

void RadioGroup::Rebuild() {
  updating_ = true;
  for (QRadioButton* button : buttons_) delete button;
  buttons_.clear();
  for (int i = 0; i < items_.size(); ++i) {
    auto* button = new QRadioButton(items_[i], this);
    button->setAutoExclusive(false);  // the group keeps the one checked button itself
    button->setChecked(i == itemIndex_);
    connect(button, &QRadioButton::toggled, this, [this, i](bool checked) { ButtonToggled(i, checked); });
    buttons_.push_back(button);
  }
  updating_ = false;
  Arrange();
}

void RadioGroup::Arrange() {
  for (QRadioButton* button : buttons_) layout_->removeWidget(button);
  const int count = static_cast<int>(buttons_.size());
  const int rows = (count + columns_ - 1) / columns_;
  for (int i = 0; i < count; ++i) {
    layout_->addWidget(buttons_[static_cast<size_t>(i)], rows ? i % rows : 0, rows ? i / rows : 0);
  }
}

void RadioGroup::ButtonToggled(int index, bool checked) {
  if (updating_) return;
  if (!checked) {
    // A checked radio button is not unchecked by clicking it again.
    if (index == itemIndex_) {
      updating_ = true;
      Button(index)->setChecked(true);
      updating_ = false;
    }
    return;
  }
  SetItemIndex(index);
}
