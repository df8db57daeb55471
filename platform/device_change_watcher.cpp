#include "platform/device_change_watcher.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStringList>
#include <QTimer>

#include "platform/port_map.h"

namespace {
// Changes in /dev come in bursts (a node, its links, its permissions): they
// are looked at together a moment after the first.
constexpr int kSettleMs = 50;
}  // namespace

TDeviceChangeWatcher::TDeviceChangeWatcher(QObject* owner)
    : QObject(owner), watcher_(new QFileSystemWatcher(this)), settle_(new QTimer(this)) {
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &TDeviceChangeWatcher::Rescan);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
  present_ = PresentPorts();
  WatchFolders();
}

TDeviceChangeWatcher::~TDeviceChangeWatcher() = default;

QSet<int> TDeviceChangeWatcher::PresentPorts() {
  const PortMap map = PortMap::FromEnvironment();
  QSet<int> ports;
  for (int n = 1; n <= PortMap::kMaxPort; ++n) {
    const QString path = map.PathForNumber(n);
    if (path.startsWith(QLatin1Char('/')) && QFileInfo::exists(path)) ports.insert(n);
  }
  return ports;
}

void TDeviceChangeWatcher::WatchFolders() {
  const PortMap map = PortMap::FromEnvironment();
  QStringList folders{QStringLiteral("/dev")};
  for (int n = 1; n <= PortMap::kMaxPort; ++n) {
    const QString path = map.PathForNumber(n);
    if (!path.startsWith(QLatin1Char('/'))) continue;
    const QString folder = QFileInfo(path).absolutePath();
    if (!folders.contains(folder) && QFileInfo(folder).isDir()) folders.append(folder);
  }
  const QStringList watched = watcher_->directories();
  QStringList added;
  for (const QString& f : folders)
    if (!watched.contains(f)) added.append(f);
  if (!added.isEmpty()) watcher_->addPaths(added);
}

void TDeviceChangeWatcher::Rescan() {
  const QSet<int> now = PresentPorts();
  const QSet<int> before = present_;
  present_ = now;
  WatchFolders();
  if (!OnDeviceChange) return;
  for (int port : before)
    if (!now.contains(port)) OnDeviceChange(port, false);
  for (int port : now)
    if (!before.contains(port)) OnDeviceChange(port, true);
}
