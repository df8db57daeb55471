#include "platform/termination_watcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void HandleSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe just drops the wake-up.
  [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* owner) : QObject(owner) {
  if (g_pipe[0] < 0) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      g_pipe[0] = g_pipe[1] = -1;
      return;
    }
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });

  struct sigaction action {};
  action.sa_handler = HandleSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
}

void TerminationWatcher::Drain() {
  char buffer[64];
  bool any = false;
  while (::read(g_pipe[0], buffer, sizeof buffer) > 0) any = true;
  if (any && OnTerminationRequested) OnTerminationRequested();
}
