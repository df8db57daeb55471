#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ostream>

#include "platform/port_map.h"
#include "tests/support/env_guard.h"

// Readable QString values in test failure messages.
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace {

using test_support::EnvGuard;

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

TEST(PortMap, NumberFromName) {
  struct Case {
    const char* name;
    int number;
  } cases[] = {{"COM1", 1}, {"com12", 12}, {" Com255 ", 255}, {"12", 12},   {"COM012", 12},
               {"COM0", 0}, {"COM256", 0}, {"COM", 0},        {"COM-1", 0}, {"COMx", 0},
               {"LPT1", 0}, {"", 0},       {"COM1000", 0},    {"COM 1", 0}};
  for (const Case& c : cases) EXPECT_EQ(PortMap::NumberFromName(QLatin1String(c.name)), c.number) << c.name;
  EXPECT_EQ(PortMap::NameFromNumber(7), QStringLiteral("COM7"));
}

TEST(PortMap, DefaultRanges) {
  QTemporaryDir dir;
  const QString cfg = dir.filePath(QStringLiteral("cfg"));
  EnvGuard ports("THERMASENTINEL_PORTS", std::nullopt);
  EnvGuard xdg("XDG_CONFIG_HOME", cfg);
  const PortMap map = PortMap::FromEnvironment();
  struct Case {
    int number;
    const char* path;
  } cases[] = {{1, "/dev/ttyS0"},
               {32, "/dev/ttyS31"},
               {33, "/dev/ttyUSB0"},
               {96, "/dev/ttyUSB63"},
               {97, "/dev/ttyACM0"},
               {160, "/dev/ttyACM63"},
               {161, ""},
               {0, ""},
               {255, ""},
               {256, ""},
               {-3, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(map.PathForNumber(c.number), QLatin1String(c.path)) << c.number;
    if (*c.path) {
      EXPECT_EQ(map.NumberForPath(QLatin1String(c.path)), c.number) << c.path;
    }
  }
  EXPECT_EQ(map.PathForName(QStringLiteral("com33")), QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/ttyS01")), 0);
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/ttyUSB64")), 0);
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/pts/3")), 0);
  EXPECT_FALSE(QFileInfo::exists(cfg));  // looking for ports.ini creates nothing
}

TEST(PortMap, UserFileEntriesOverrideDefaults) {
  QTemporaryDir dir;
  const QString cfg = dir.filePath(QStringLiteral("cfg"));
  EnvGuard ports("THERMASENTINEL_PORTS", std::nullopt);
  EnvGuard xdg("XDG_CONFIG_HOME", cfg);
  WriteFile(cfg + QStringLiteral("/ThermaSentinel/ports.ini"),
            "[Ports]\r\nCOM1=/dev/pts/7\r\ncom2=\r\nCOM200=rfc2217://localhost:7001\r\n");
  const PortMap map = PortMap::FromEnvironment();
  EXPECT_EQ(map.PathForNumber(1), QStringLiteral("/dev/pts/7"));
  EXPECT_EQ(map.PathForNumber(2), QString());  // an empty entry switches the port off
  EXPECT_EQ(map.PathForNumber(3), QStringLiteral("/dev/ttyS2"));
  EXPECT_EQ(map.PathForNumber(200), QStringLiteral("rfc2217://localhost:7001"));
  EXPECT_EQ(map.NumberForPath(QStringLiteral("rfc2217://localhost:7001")), 200);
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/ttyS0")), 0);  // COM1 is elsewhere now
}

TEST(PortMap, EnvironmentFileHoldsTheOnlyEntries) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("ports.ini"));
  WriteFile(file,
            "[ports]\nCOM3 = /dev/pts/5\nCOM7=rfc2217://127.0.0.1:7000\nCOMx=/dev/null\nCOM300=/dev/null\n"
            "COM3=/dev/second\n[Other]\nCOM4=/dev/null\n");
  EnvGuard ports("THERMASENTINEL_PORTS", file);
  const PortMap map = PortMap::FromEnvironment();
  EXPECT_EQ(map.PathForName(QStringLiteral("COM3")), QStringLiteral("/dev/pts/5"));
  EXPECT_EQ(map.PathForName(QStringLiteral("COM7")), QStringLiteral("rfc2217://127.0.0.1:7000"));
  for (int n : {1, 4, 33, 97, 255}) EXPECT_EQ(map.PathForNumber(n), QString()) << n;
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/ttyS0")), 0);

  // A missing file: no ports at all.
  const QString missing = dir.filePath(QStringLiteral("none.ini"));
  EnvGuard none("THERMASENTINEL_PORTS", missing);
  EXPECT_EQ(PortMap::FromEnvironment().PathForNumber(1), QString());
}

TEST(PortMap, NumberForPathFollowsLinks) {
  QTemporaryDir dir;
  const QString device = dir.filePath(QStringLiteral("device"));
  WriteFile(device, "");
  const QString link = dir.filePath(QStringLiteral("by-id-link"));
  ASSERT_TRUE(QFile::link(device, link));
  const PortMap map = PortMap::FromEntries({{9, device}, {10, QStringLiteral("rfc2217://h:1")}});
  EXPECT_EQ(map.NumberForPath(device), 9);
  EXPECT_EQ(map.NumberForPath(link), 9);
  const PortMap viaLink = PortMap::FromEntries({{11, link}});
  EXPECT_EQ(viaLink.NumberForPath(device), 11);
  EXPECT_EQ(map.NumberForPath(QStringLiteral("/dev/ttyUSB0")), 0);  // entries only
  EXPECT_EQ(map.NumberForPath(QString()), 0);
}

TEST(PortMap, UsbSerialPortsFromSysfs) {
  QTemporaryDir dir;
  const QString root = dir.filePath(QStringLiteral("class/tty"));
  const QString drivers = dir.filePath(QStringLiteral("drivers"));
  for (const char* d : {"cp210x", "ftdi_sio", "pl2303", "cdc_acm"})
    QDir().mkpath(drivers + QLatin1Char('/') + QLatin1String(d));
  struct Node {
    const char* name;
    const char* driver;  // nullptr: no device folder
  } nodes[] = {{"ttyUSB1", "ftdi_sio"}, {"ttyUSB0", "cp210x"}, {"ttyUSB2", "pl2303"},
               {"ttyACM0", "cdc_acm"},  {"ttyS0", nullptr},    {"ttyUSB70", "cp210x"}};
  for (const Node& n : nodes) {
    const QString deviceDir = root + QLatin1Char('/') + QLatin1String(n.name) + QStringLiteral("/device");
    if (!n.driver) {
      QDir().mkpath(root + QLatin1Char('/') + QLatin1String(n.name));
      continue;
    }
    QDir().mkpath(deviceDir);
    ASSERT_TRUE(QFile::link(drivers + QLatin1Char('/') + QLatin1String(n.driver),
                            deviceDir + QStringLiteral("/driver")));
  }
  // A link whose target is missing still names its driver.
  QDir().mkpath(root + QStringLiteral("/ttyUSB5/device"));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone/ftdi_sio")),
                          root + QStringLiteral("/ttyUSB5/device/driver")));

  QTemporaryDir cfgDir;
  const QString cfg = cfgDir.path();
  EnvGuard ports("THERMASENTINEL_PORTS", std::nullopt);
  EnvGuard xdg("XDG_CONFIG_HOME", cfg);
  EXPECT_EQ(PortMap::FromEnvironment().UsbSerialPorts(root), (QList<int>{33, 34, 38}));
  // Reported through the map: only mapped adapters count.
  const PortMap entries = PortMap::FromEntries({{5, QStringLiteral("/dev/ttyUSB1")}});
  EXPECT_EQ(entries.UsbSerialPorts(root), QList<int>{5});
  EXPECT_TRUE(entries.UsbSerialPorts(dir.filePath(QStringLiteral("nothing"))).isEmpty());
}

}  // namespace
