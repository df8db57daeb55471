#include "ui/form_registry.h"

#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <QVariant>

namespace {

std::vector<QPointer<QWidget>>& Registered() {
  static std::vector<QPointer<QWidget>> forms;
  return forms;
}

void Prune() {
  auto& forms = Registered();
  std::erase_if(forms, [](const QPointer<QWidget>& form) { return form.isNull(); });
}

bool IsRegistered(const QObject* object) {
  for (const auto& form : Registered())
    if (form.data() == object) return true;
  return false;
}

bool IsExcluded(const QObject* object) {
  const QVariant flag = object->property(FormRegistry::kExcludedProperty);
  return flag.isValid() && flag.toBool();
}

bool IsNamed(const QObject* object) {
  const QString name = object->objectName();
  return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// Collects the named components below `parent` in parent-child order.
void Collect(const QObject* parent, std::vector<QObject*>& out) {
  for (QObject* child : parent->children()) {
    if (IsExcluded(child)) continue;
    if (IsRegistered(child)) continue;  // another form, with components of its own
    const auto* dialog = qobject_cast<const QDialog*>(child);
    if (IsNamed(child)) out.push_back(child);
    // The inside of a dialog (file dialogs included) is not this form's.
    if (dialog) continue;
    Collect(child, out);
  }
}

}  // namespace

void FormRegistry::Add(QWidget* form) {
  if (!form) return;
  Prune();
  if (IsRegistered(form)) return;
  Registered().emplace_back(form);
}

void FormRegistry::Remove(QWidget* form) {
  auto& forms = Registered();
  std::erase_if(forms, [form](const QPointer<QWidget>& f) { return f.isNull() || f.data() == form; });
}

QList<QWidget*> FormRegistry::Forms() {
  Prune();
  QList<QWidget*> result;
  for (const auto& form : Registered()) result.append(form.data());
  return result;
}

QList<QWidget*> FormRegistry::FindForms(const QString& name) {
  QList<QWidget*> result;
  for (QWidget* form : Forms())
    if (SameName(form->objectName(), name)) result.append(form);
  return result;
}

std::vector<QObject*> FormRegistry::Components(const QWidget* form) {
  std::vector<QObject*> result;
  if (form) Collect(form, result);
  return result;
}

std::vector<QObject*> FormRegistry::FindComponents(const QWidget* form, const QString& name) {
  std::vector<QObject*> result;
  for (QObject* component : Components(form))
    if (SameName(component->objectName(), name)) result.push_back(component);
  return result;
}

QObject* FormRegistry::FindComponent(const QWidget* form, const QString& name) {
  for (QObject* component : Components(form))
    if (SameName(component->objectName(), name)) return component;
  return nullptr;
}

bool FormRegistry::SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}
