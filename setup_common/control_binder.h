#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "setup_common/setup_values.h"

class LoadingFlag;
class QWidget;

// Moves values between a dialog's named controls and SetupValues, so that
// a dialog fills its controls from a decoded image (and from a file) and
// reads them back for the encoder without a switch per control.
//
// Controls are bound by their object name, which is also their value's
// name. The kinds, told by class (a spin edit before an edit, since it is
// one):
//   - check box (QCheckBox)         <-> Mark
//   - combo box (QComboBox)         <-> ListIndex, through its item map
//   - radio group (RadioGroup)      <-> ListIndex
//   - spin edit (TDSpinEdit)        <-> Spin
//   - single-line edit (QLineEdit)  <-> Text, exactly as it stands
//
// A combo box's item map lists the value each item stands for, item by item;
// without one the value is the item's index. A value no item stands for
// selects nothing, and no selection reads as -1.
//
// Load fills under the dialog's loading flag, so change handlers that look
// at it do nothing while the controls are filled; a combo box's change event
// does not fire for code anyway.
class TControlBinder {
 public:
  enum class TKind { Check, Combo, Radio, Spin, Edit };

  explicit TControlBinder(LoadingFlag& loading) : loading_(loading) {}
  TControlBinder(const TControlBinder&) = delete;
  TControlBinder& operator=(const TControlBinder&) = delete;

  // Binds `control` under its object name; false (nothing bound) when it has
  // no name or is of no kind above. Binding a name again replaces it.
  bool Bind(QWidget* control);
  // Binds every named control of a known kind below `root`, in parent-child
  // order (the order the form put them on), except the names in `except`.
  void BindAll(const QWidget* root, const QStringList& except = {});
  // The item map of the combo box bound as `name` (see above).
  void SetItemMap(const QString& name, std::vector<int> values);

  bool Has(const QString& name) const { return Find(name) != nullptr; }
  QWidget* Control(const QString& name) const;
  // The bound names in binding order.
  QStringList Names() const;

  // Fills the bound controls that `values` names, under the loading flag;
  // names not bound, and values of another kind than the control's, are
  // left out. Returns the number of controls set.
  int Load(const SetupValues& values) const;
  // Sets one control without the loading flag, so its click event runs as
  // for a user's change (as a configuration file's values take effect);
  // false when `name` is not bound or the value's kind does not fit.
  bool Apply(const QString& name, const SetupValue& value) const;

  // What the bound controls hold, in binding order.
  SetupValues Read() const;
  // What one control holds (a Text value "" when `name` is not bound).
  SetupValue Read(const QString& name) const;

  // The kind a control is bound as, or false when it is of none.
  static bool KindOf(const QWidget* control, TKind& kind);

 private:
  struct Binding {
    QString Name;
    QWidget* Control = nullptr;
    TKind Kind = TKind::Edit;
    std::vector<int> ItemMap;
  };
  const Binding* Find(const QString& name) const;
  Binding* Find(const QString& name);
  static bool Set(const Binding& b, const SetupValue& value);
  static SetupValue Get(const Binding& b);

  LoadingFlag& loading_;
  std::vector<Binding> bindings_;
};
