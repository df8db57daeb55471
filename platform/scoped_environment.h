#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// Sets an environment variable (std::nullopt removes it) for the object's
// lifetime and puts the old state back; for code that steers a component
// through its environment (the port map, the settings folder) for a while.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<QString>& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value)
      qputenv(name, value->toLocal8Bit());
    else
      qunsetenv(name);
  }
  ~ScopedEnvironment() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};
