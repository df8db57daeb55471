#include "tools/devsim/model_registry.h"

#include <map>
#include <mutex>

#include "tools/devsim/loopback_model.h"

namespace {

struct Registry {
  std::mutex mutex;
  std::map<QString, ModelRegistry::Factory> factories;  // by lower-case name
};

Registry& TheRegistry() {
  // Built on first use, so registrations from other files' static
  // initialisers always find it ready.
  static Registry* registry = [] {
    auto* r = new Registry;
    r->factories.emplace(QStringLiteral("loopback"), &LoopbackModel::Create);
    return r;
  }();
  return *registry;
}

}  // namespace

bool ModelRegistry::Register(const QString& name, Factory factory) {
  if (name.trimmed().isEmpty() || !factory) return false;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.factories.emplace(name.trimmed().toLower(), std::move(factory)).second;
}

bool ModelRegistry::Contains(const QString& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.factories.count(name.trimmed().toLower()) != 0;
}

QStringList ModelRegistry::Names() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  QStringList names;
  for (const auto& entry : r.factories) names.append(entry.first);
  return names;
}

std::unique_ptr<DeviceModel> ModelRegistry::Create(const QString& name, const QStringList& options,
                                                   QString* error) {
  Factory factory;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    const auto it = r.factories.find(name.trimmed().toLower());
    if (it != r.factories.end()) factory = it->second;
  }
  if (!factory) {
    if (error)
      *error =
          QStringLiteral("unknown model \"%1\" (known: %2)").arg(name, Names().join(QStringLiteral(", ")));
    return nullptr;
  }
  QString reason;
  std::unique_ptr<DeviceModel> model = factory(options, &reason);
  if (!model && error)
    *error = reason.isEmpty() ? QStringLiteral("model \"%1\" refused its options").arg(name) : reason;
  return model;
}
