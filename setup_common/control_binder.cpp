#include "setup_common/control_binder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>

#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

namespace {

SetupValueKind ValueKindOf(TControlBinder::TKind kind) {
  switch (kind) {
    case TControlBinder::TKind::Check:
      return SetupValueKind::Mark;
    case TControlBinder::TKind::Combo:
    case TControlBinder::TKind::Radio:
      return SetupValueKind::ListIndex;
    case TControlBinder::TKind::Spin:
      return SetupValueKind::Spin;
    case TControlBinder::TKind::Edit:
      break;
  }
  return SetupValueKind::Text;
}

}  // namespace

bool TControlBinder::KindOf(const QWidget* control, TKind& kind) {
  if (control == nullptr) return false;
  if (qobject_cast<const QCheckBox*>(control) != nullptr)
    kind = TKind::Check;
  else if (qobject_cast<const QComboBox*>(control) != nullptr)
    kind = TKind::Combo;
  else if (qobject_cast<const RadioGroup*>(control) != nullptr)
    kind = TKind::Radio;
  else if (qobject_cast<const TDSpinEdit*>(control) != nullptr)
    kind = TKind::Spin;
  else if (qobject_cast<const QLineEdit*>(control) != nullptr)
    kind = TKind::Edit;
  else
    return false;
  return true;
}

bool TControlBinder::Bind(QWidget* control) {
  TKind kind;
  if (!KindOf(control, kind) || control->objectName().isEmpty()) return false;
  if (Binding* b = Find(control->objectName())) {
    *b = Binding{control->objectName(), control, kind, {}};
    return true;
  }
  bindings_.push_back({control->objectName(), control, kind, {}});
  return true;
}

void TControlBinder::BindAll(const QWidget* root, const QStringList& except) {
  for (QObject* component : FormRegistry::Components(root)) {
    auto* widget = qobject_cast<QWidget*>(component);
    if (widget == nullptr || widget == root || except.contains(widget->objectName(), Qt::CaseInsensitive))
      continue;
    Bind(widget);
  }
}

void TControlBinder::SetItemMap(const QString& name, std::vector<int> values) {
  if (Binding* b = Find(name); b != nullptr && b->Kind == TKind::Combo) b->ItemMap = std::move(values);
}

QWidget* TControlBinder::Control(const QString& name) const {
  const Binding* b = Find(name);
  return b ? b->Control : nullptr;
}

QStringList TControlBinder::Names() const {
  QStringList names;
  for (const Binding& b : bindings_) names.push_back(b.Name);
  return names;
}

int TControlBinder::Load(const SetupValues& values) const {
  LoadingGuard guard(loading_);
  int set = 0;
  for (const Binding& b : bindings_) {
    const std::optional<SetupValue> value = values.Get(b.Name);
    if (value && Set(b, *value)) ++set;
  }
  return set;
}

bool TControlBinder::Apply(const QString& name, const SetupValue& value) const {
  const Binding* b = Find(name);
  return b != nullptr && Set(*b, value);
}

SetupValues TControlBinder::Read() const {
  SetupValues values;
  for (const Binding& b : bindings_) values.Set(b.Name, Get(b));
  return values;
}

SetupValue TControlBinder::Read(const QString& name) const {
  const Binding* b = Find(name);
  return b ? Get(*b) : SetupValue::OfText(QString());
}

const TControlBinder::Binding* TControlBinder::Find(const QString& name) const {
  auto it = std::find_if(bindings_.begin(), bindings_.end(),
                         [&](const Binding& b) { return FormRegistry::SameName(b.Name, name); });
  return it == bindings_.end() ? nullptr : &*it;
}

TControlBinder::Binding* TControlBinder::Find(const QString& name) {
  return const_cast<Binding*>(std::as_const(*this).Find(name));
}

bool TControlBinder::Set(const Binding& b, const SetupValue& value) {
  if (value.Kind != ValueKindOf(b.Kind)) return false;
  switch (b.Kind) {
    case TKind::Check:
      static_cast<QCheckBox*>(b.Control)->setChecked(value.Mark);
      return true;
    case TKind::Combo: {
      auto* combo = static_cast<QComboBox*>(b.Control);
      int row = value.Index;
      if (!b.ItemMap.empty()) {
        auto it = std::find(b.ItemMap.begin(), b.ItemMap.end(), value.Index);
        row = it == b.ItemMap.end() ? -1 : static_cast<int>(it - b.ItemMap.begin());
      }
      combo->setCurrentIndex(row >= 0 && row < combo->count() ? row : -1);
      return true;
    }
    case TKind::Radio:
      static_cast<RadioGroup*>(b.Control)->SetItemIndex(value.Index);
      return true;
    case TKind::Spin:
      static_cast<TDSpinEdit*>(b.Control)->SetValue(value.Spin);
      return true;
    case TKind::Edit:
      static_cast<QLineEdit*>(b.Control)->setText(value.Text);
      return true;
  }
  return false;
}

SetupValue TControlBinder::Get(const Binding& b) {
  switch (b.Kind) {
    case TKind::Check:
      return SetupValue::OfMark(static_cast<QCheckBox*>(b.Control)->isChecked());
    case TKind::Combo: {
      const int row = static_cast<QComboBox*>(b.Control)->currentIndex();
      if (b.ItemMap.empty() || row < 0) return SetupValue::OfIndex(row);
      return SetupValue::OfIndex(row < static_cast<int>(b.ItemMap.size()) ? b.ItemMap[row] : -1);
    }
    case TKind::Radio:
      return SetupValue::OfIndex(static_cast<RadioGroup*>(b.Control)->ItemIndex());
    case TKind::Spin:
      return SetupValue::OfSpin(static_cast<TDSpinEdit*>(b.Control)->Value());
    case TKind::Edit:
      break;
  }
  return SetupValue::OfText(static_cast<QLineEdit*>(b.Control)->text());
}
