#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "setup_common/setup_values.h"

// The controls a Brio setup dialog saves to and loads from its
// configuration file, in the order of its form (the order of the file's
// lines). Each control is reached through two functions, so the registry
// works on widgets as well as on plain values.
class BrioControlRegistry {
 public:
  struct Control {
    QString Name;
    SetupValueKind Kind = SetupValueKind::Text;
    // The control's current value (of Kind).
    std::function<SetupValue()> Get;
    // Sets the control's value (of Kind); runs no handler.
    std::function<void(const SetupValue&)> Set;
    // A check box's click action, run after Set when its mark really changed.
    std::function<void()> OnMarkChanged;
  };

  void Add(Control control);
  // A control held in `values` (its Get and Set read and write `values`,
  // which must outlive the registry).
  void AddValue(SetupValues& values, const QString& name, SetupValueKind kind);

  const std::vector<Control>& Controls() const { return controls_; }
  // The control named `name` (without regard to case); null when none.
  const Control* Find(const QString& name) const;

  // Every control's value, in order.
  SetupValues Values() const;
  // Sets one control; a check box whose mark changes then runs its click
  // action. False for an unknown name or a value of another kind.
  bool Apply(const QString& name, const SetupValue& value) const;

 private:
  std::vector<Control> controls_;
};
