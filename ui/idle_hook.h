#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

// The application's idle handler: runs its handlers each time the GUI
// thread's event loop has nothing left to do and is about to wait (also in
// nested and modal loops). A handler that processes events itself cannot
// run the handlers again while they are running.
//
// One instance serves the whole program (Instance()); the main window and
// the dialogs attach to it and detach when they go away.
class IdleHook : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void()>;

  // The program's hook, created on first use on the GUI thread.
  static IdleHook& Instance();

  explicit IdleHook(QObject* owner = nullptr);
  ~IdleHook() override;

  // Adds a handler; returns its id for Detach.
  int Attach(Handler handler);
  // Removes a handler (safe to call from inside a handler).
  void Detach(int id);
  bool Attached(int id) const;
  int HandlerCount() const;

  // Runs every handler once now (what the event loop does when it goes
  // idle); does nothing when already running.
  void RunHandlers();
  // How many times the handlers ran (for tests).
  std::uint64_t RunCount() const { return runCount_; }

 private:
  struct Entry {
    int id;
    Handler handler;
  };
  std::vector<Entry> handlers_;
  int nextId_ = 1;
  bool running_ = false;
  std::uint64_t runCount_ = 0;
};
