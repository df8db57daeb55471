#include "setup_brio/brio_control_registry.h"

void BrioControlRegistry::Add(Control control) { controls_.push_back(std::move(control)); }

void BrioControlRegistry::AddValue(SetupValues& values, const QString& name, SetupValueKind kind) {
  Control c;
  c.Name = name;
  c.Kind = kind;
  c.Get = [&values, name, kind]() {
    if (const std::optional<SetupValue> v = values.Get(name)) return *v;
    SetupValue empty;
    empty.Kind = kind;
    return empty;
  };
  c.Set = [&values, name](const SetupValue& v) { values.Set(name, v); };
  Add(std::move(c));
}

const BrioControlRegistry::Control* BrioControlRegistry::Find(const QString& name) const {
  for (const Control& c : controls_) {
    if (c.Name.compare(name, Qt::CaseInsensitive) == 0) return &c;
  }
  return nullptr;
}

SetupValues BrioControlRegistry::Values() const {
  SetupValues out;
  for (const Control& c : controls_) out.Set(c.Name, c.Get ? c.Get() : SetupValue{});
  return out;
}

bool BrioControlRegistry::Apply(const QString& name, const SetupValue& value) const {
  const Control* c = Find(name);
  if (!c || c->Kind != value.Kind || !c->Set) return false;
  const bool markChanges = c->Kind == SetupValueKind::Mark && c->Get && c->Get().Mark != value.Mark;
  c->Set(value);
  if (markChanges && c->OnMarkChanged) c->OnMarkChanged();
  return true;
}
