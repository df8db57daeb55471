#include "app/process_priority.h"

#include <sys/resource.h>

#include <cerrno>

namespace {

constexpr int kNiceOf[4] = {19, 0, -10, -20};

}  // namespace

bool ProcessPriority::Apply(int index) {
  if (index < kIdle || index > kRealtime) return false;
  return ::setpriority(PRIO_PROCESS, 0, kNiceOf[index]) == 0;
}

int ProcessPriority::Current() {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, 0);
  if (nice == -1 && errno != 0) return kNormal;
  return IndexOfNice(nice);
}

int ProcessPriority::IndexOfNice(int nice) {
  if (nice > 0) return kIdle;
  if (nice == 0) return kNormal;
  return nice <= kNiceOf[kRealtime] ? kRealtime : kHigh;
}
