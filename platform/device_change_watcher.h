#pragma once

#include <QObject>
#include <QSet>
#include <functional>

class QFileSystemWatcher;
class QTimer;

// Tells when serial ports appear or disappear anywhere on the system, by
// their COM numbers: it watches /dev and the folders of the port map's
// entries (inotify through QFileSystemWatcher) and compares the set of
// port numbers whose device file exists before and after each change.
// Reports arrive on the thread that owns the watcher.
class TDeviceChangeWatcher : public QObject {
 public:
  explicit TDeviceChangeWatcher(QObject* owner = nullptr);
  ~TDeviceChangeWatcher() override;

  // A port's device file appeared (arrived true) or went (false).
  std::function<void(int port, bool arrived)> OnDeviceChange;

  // The port numbers whose device file exists now (entries that are not
  // files, such as rfc2217:// ones, do not count).
  static QSet<int> PresentPorts();

  // Compares the ports present now with those seen before and reports the
  // difference (called on every change of a watched folder).
  void Rescan();

 private:
  void WatchFolders();

  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* settle_ = nullptr;
  QSet<int> present_;
};
