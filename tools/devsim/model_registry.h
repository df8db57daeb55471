#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "tools/devsim/device_model.h"

// Device models by name, for the emulator program and for tests.
//
// A factory takes the model's own command-line options (everything the
// program does not know itself, e.g. "--baud 9600" or "--firmware 5003")
// and returns the model, or null with a reason in `error` (unknown or
// invalid option).
//
// A model family registers itself from its own source file:
//
//   const ModelRegistration kArgoRegistration(QStringLiteral("argo"), &ArgoModel::Create);
//
// (the program links the whole emulator library, so such objects are
// kept), or by calling ModelRegistry::Register before it looks a name up.
// "loopback" is always there.
class ModelRegistry {
 public:
  using Factory = std::function<std::unique_ptr<DeviceModel>(const QStringList& options, QString* error)>;

  // Adds `factory` under `name` (case-insensitive). Returns false and keeps
  // the first one when the name is taken.
  static bool Register(const QString& name, Factory factory);
  static bool Contains(const QString& name);
  // The registered names, sorted.
  static QStringList Names();
  // Makes the model `name` with `options`; null with a reason in `error`
  // when the name is unknown or the factory refuses the options.
  static std::unique_ptr<DeviceModel> Create(const QString& name, const QStringList& options, QString* error);
};

// Registers a factory when constructed; meant for a namespace-scope constant.
struct ModelRegistration {
  ModelRegistration(const QString& name, ModelRegistry::Factory factory) {
    ModelRegistry::Register(name, std::move(factory));
  }
};
