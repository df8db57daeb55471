// The port watcher reports a device file of a mapped port appearing and
// going, by COM number, once per change, and nothing for other files.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "platform/device_change_watcher.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::WaitForEvents;

TEST(DeviceChangeWatcherTest, ReportsMappedPortsArrivingAndGoing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString device = dir.filePath(QStringLiteral("ttyTest0"));
  QFile ports(dir.filePath(QStringLiteral("ports.ini")));
  ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
  ports.write("[Ports]\r\nCOM5=" + device.toUtf8() + "\r\nCOM6=rfc2217://127.0.0.1:1\r\n");
  ports.close();
  qputenv("THERMASENTINEL_PORTS", ports.fileName().toUtf8());

  TDeviceChangeWatcher watcher;
  std::vector<std::pair<int, bool>> changes;
  watcher.OnDeviceChange = [&changes](int port, bool arrived) { changes.emplace_back(port, arrived); };
  EXPECT_TRUE(TDeviceChangeWatcher::PresentPorts().isEmpty());

  QFile other(dir.filePath(QStringLiteral("unrelated")));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.close();
  QFile node(device);
  ASSERT_TRUE(node.open(QIODevice::WriteOnly));
  node.close();
  ASSERT_TRUE(WaitForEvents([&] { return !changes.empty(); }, 5000));
  EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{5, true}}));

  ASSERT_TRUE(QFile::remove(device));
  ASSERT_TRUE(WaitForEvents([&] { return changes.size() >= 2; }, 5000));
  // Let any late notice of the same change arrive: it must not repeat the report.
  WaitForEvents([] { return false; }, 200);
  EXPECT_EQ(changes, (std::vector<std::pair<int, bool>>{{5, true}, {5, false}}));
  qunsetenv("THERMASENTINEL_PORTS");
}

}  // namespace
