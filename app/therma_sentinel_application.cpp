#include "app/therma_sentinel_application.h"

#include <atomic>
#include <cstdio>
#include <exception>

namespace {
std::atomic<int> g_dropped{0};
}

TThermaSentinelApplication::TThermaSentinelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TThermaSentinelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ++g_dropped;
    std::fprintf(stderr, "ThermaSentinel: exception dropped: %s\n", e.what());
  } catch (...) {
    ++g_dropped;
    std::fprintf(stderr, "ThermaSentinel: exception dropped\n");
  }
  return false;
}

int TThermaSentinelApplication::DroppedExceptions() { return g_dropped.load(); }
