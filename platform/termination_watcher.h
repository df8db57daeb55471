#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the GUI thread (through a
// self-pipe), so a session logout or Ctrl+C closes the main window the
// ordinary way instead of killing the process mid-write.
class TerminationWatcher : public QObject {
 public:
  explicit TerminationWatcher(QObject* owner);
  ~TerminationWatcher() override;

  // Called on the GUI thread once per received signal.
  std::function<void()> OnTerminationRequested;

 private:
  void Drain();

  QSocketNotifier* notifier_ = nullptr;
};
