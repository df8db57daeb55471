#pragma once

#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

class QGridLayout;
class QRadioButton;

// A group box holding one radio button per item, arranged in `Columns`
// columns (filled top to bottom). `ItemIndex` is the checked item, -1 for
// none. The click event fires whenever the index changes, by the user or when
// code sets it (as the form code expects).
class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit RadioGroup(QWidget* parent = nullptr);

  std::function<void(QObject* sender)> OnClick;

  const QStringList& Items() const { return items_; }
  void SetItems(const QStringList& items);  // keeps the index when it is still valid, else -1
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);  // out-of-range values mean -1
  int Columns() const { return columns_; }
  void SetColumns(int columns);  // at least 1
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  QRadioButton* Button(int index) const;

 private:
  void Rebuild();
  void Arrange();
  void ButtonToggled(int index, bool checked);

  QStringList items_;
  std::vector<QRadioButton*> buttons_;
  QGridLayout* layout_ = nullptr;
  int itemIndex_ = -1;
  int columns_ = 1;
  int tag_ = 0;
  bool updating_ = false;
};
