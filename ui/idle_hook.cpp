#include "ui/idle_hook.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <exception>

#include "platform/logger.h"

IdleHook& IdleHook::Instance() {
  static IdleHook* instance = nullptr;
  if (instance == nullptr) {
    instance = new IdleHook(QCoreApplication::instance());
    QObject::connect(instance, &QObject::destroyed, [] { instance = nullptr; });
  }
  return *instance;
}

IdleHook::IdleHook(QObject* owner) : QObject(owner) {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &IdleHook::RunHandlers);
  }
}

IdleHook::~IdleHook() = default;

int IdleHook::Attach(Handler handler) {
  const int id = nextId_++;
  handlers_.push_back({id, std::move(handler)});
  return id;
}

void IdleHook::Detach(int id) {
  for (Entry& e : handlers_) {
    if (e.id == id) e.handler = nullptr;  // erased after the current run
  }
  if (!running_) {
    std::erase_if(handlers_, [](const Entry& e) { return !e.handler; });
  }
}

bool IdleHook::Attached(int id) const {
  return std::any_of(handlers_.begin(), handlers_.end(),
                     [id](const Entry& e) { return e.id == id && e.handler; });
}

int IdleHook::HandlerCount() const {
  return static_cast<int>(
      std::count_if(handlers_.begin(), handlers_.end(), [](const Entry& e) { return bool(e.handler); }));
}

void IdleHook::RunHandlers() {
  if (running_ || handlers_.empty()) return;
  running_ = true;
  ++runCount_;
  // Index loop: handlers may attach others while running.
  for (std::size_t i = 0; i < handlers_.size(); ++i) {
    Handler h = handlers_[i].handler;
    if (!h) continue;
    try {
      h();
    } catch (const std::exception& e) {
      Logger::Error(QStringLiteral("idle handler"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
      Logger::Error(QStringLiteral("idle handler"), QStringLiteral("unknown exception"));
    }
  }
  std::erase_if(handlers_, [](const Entry& e) { return !e.handler; });
  running_ = false;
}
