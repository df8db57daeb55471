#pragma once

#include "platform/scoped_environment.h"

namespace test_support {

// Sets an environment variable (std::nullopt removes it) for one test and
// puts the old state back.
using EnvGuard = ScopedEnvironment;

}  // namespace test_support
