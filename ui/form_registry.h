#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>
#include <vector>

// The program's forms, in the order they were created, with their named
// components. Every form (main window, dialog) adds itself in its constructor
// with FormRegistry::Add(this); it leaves the registry when it is destroyed.
//
// The language component finds forms by their object name and, inside a form,
// the components by their object names. Names match without regard to case.
//
// A form's components are its descendants that carry an object name, in
// parent-child order (the order in which they were put on the form). Not
// counted: objects without a name or with one of Qt's internal names
// ("qt_" ...), the inside of a file dialog or of another window that is itself
// a dialog or a form (the dialog object itself is counted), and objects on
// which the property named by kExcludedProperty is true, with everything
// below them.
class FormRegistry {
 public:
  static constexpr const char* kExcludedProperty = "tsNotAFormComponent";

  // Adds a form (a no-op when it is already there).
  static void Add(QWidget* form);
  static void Remove(QWidget* form);

  // Living forms in creation order.
  static QList<QWidget*> Forms();
  // Forms whose object name equals `name` (case-insensitive), in creation order.
  static QList<QWidget*> FindForms(const QString& name);

  // The named components of `form` as described above.
  static std::vector<QObject*> Components(const QWidget* form);
  // Components of `form` whose object name equals `name` (case-insensitive).
  static std::vector<QObject*> FindComponents(const QWidget* form, const QString& name);
  // The first such component, or nullptr.
  static QObject* FindComponent(const QWidget* form, const QString& name);

  // True when two component or form names are the same name.
  static bool SameName(const QString& a, const QString& b);
};
