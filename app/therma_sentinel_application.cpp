#include "app/therma_sentinel_application.h"

#include <atomic>
#include <exception>

#include "platform/logger.h"

namespace {
std::atomic<int> g_dropped{0};
}

TThermaSentinelApplication::TThermaSentinelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TThermaSentinelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ++g_dropped;
    Logger::Error(QStringLiteral("exception dropped"), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ++g_dropped;
    Logger::Error(QStringLiteral("exception dropped"), QStringLiteral("unknown exception"));
  }
  return false;
}

int TThermaSentinelApplication::DroppedExceptions() { return g_dropped.load(); }
