#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace test_support {

// Sets an environment variable (std::nullopt removes it) for the guard's
// lifetime and puts the old state back.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::optional<QString>& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value)
      qputenv(name, value->toLocal8Bit());
    else
      qunsetenv(name);
  }
  ~EnvGuard() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

}  // namespace test_support
