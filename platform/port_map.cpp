#include "platform/port_map.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "platform/folders.h"
#include "platform/ini_file.h"

namespace {

struct DefaultRange {
  int firstPort;
  int count;
  const char* prefix;
};

constexpr DefaultRange kDefaultRanges[] = {
    {1, 32, "/dev/ttyS"},
    {33, 64, "/dev/ttyUSB"},
    {97, 64, "/dev/ttyACM"},
};

// The port number of a path in the default ranges, 0 when none.
int DefaultNumberForPath(const QString& path) {
  for (const DefaultRange& r : kDefaultRanges) {
    const QString prefix = QLatin1String(r.prefix);
    if (!path.startsWith(prefix)) continue;
    const QString rest = path.mid(prefix.size());
    if (rest.isEmpty() || rest.size() > 3) continue;
    bool ok = false;
    const int index = rest.toInt(&ok);
    if (!ok || !rest[0].isDigit() || (rest.size() > 1 && rest[0] == QLatin1Char('0'))) continue;
    if (index >= 0 && index < r.count) return r.firstPort + index;
  }
  return 0;
}

QString Canonical(const QString& path) {
  if (!path.startsWith(QLatin1Char('/'))) return path;
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? path : c;
}

}  // namespace

PortMap PortMap::FromEnvironment() {
  PortMap map;
  QString file = qEnvironmentVariable("THERMASENTINEL_PORTS");
  if (!file.isEmpty()) {
    map.defaultRanges_ = false;
  } else {
    file = Folders::UserDataFolder(QStringLiteral("ThermaSentinel"), false) + QStringLiteral("/ports.ini");
  }
  return FromIni(IniFile(file), map.defaultRanges_);
}

PortMap PortMap::FromIni(const IniFile& ini, bool defaultRanges) {
  PortMap map;
  map.defaultRanges_ = defaultRanges;
  const QString section = QStringLiteral("Ports");
  for (const QString& key : ini.ReadSection(section)) {
    if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) continue;
    const int number = NumberFromName(key);
    if (number == 0 || map.entries_.contains(number)) continue;
    map.entries_.insert(number, ini.ReadString(section, key, QString()));
  }
  return map;
}

PortMap PortMap::FromEntries(const QMap<int, QString>& entries) {
  PortMap map;
  map.defaultRanges_ = false;
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it.key() >= 1 && it.key() <= kMaxPort) map.entries_.insert(it.key(), it.value().trimmed());
  }
  return map;
}

int PortMap::NumberFromName(const QString& portName) {
  QString s = portName.trimmed();
  if (s.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) s = s.mid(3);
  if (s.isEmpty() || s.size() > 3) return 0;
  for (QChar c : s) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
  }
  const int n = s.toInt();
  return (n >= 1 && n <= kMaxPort) ? n : 0;
}

QString PortMap::PathForNumber(int number) const {
  if (number < 1 || number > kMaxPort) return QString();
  if (auto it = entries_.constFind(number); it != entries_.constEnd()) return it.value();
  if (!defaultRanges_) return QString();
  for (const DefaultRange& r : kDefaultRanges) {
    if (number >= r.firstPort && number < r.firstPort + r.count) {
      return QLatin1String(r.prefix) + QString::number(number - r.firstPort);
    }
  }
  return QString();
}

int PortMap::NumberForPath(const QString& path) const {
  const QString wanted = path.trimmed();
  if (wanted.isEmpty()) return 0;
  const QString canonical = Canonical(wanted);
  for (auto it = entries_.constBegin(); it != entries_.constEnd(); ++it) {
    if (it.value().isEmpty()) continue;
    if (it.value() == wanted || Canonical(it.value()) == canonical) return it.key();
  }
  if (!defaultRanges_) return 0;
  for (const QString& candidate : {wanted, canonical}) {
    const int n = DefaultNumberForPath(candidate);
    // A number with an entry of its own no longer names this path.
    if (n != 0 && !entries_.contains(n)) return n;
  }
  return 0;
}

QList<int> PortMap::UsbSerialPorts(const QString& sysfsRoot) const {
  QList<int> ports;
  const QDir root(sysfsRoot);
  const QStringList names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
  for (const QString& name : names) {
    const QFileInfo driver(root.filePath(name) + QStringLiteral("/device/driver"));
    if (!driver.isSymLink()) continue;
    const QString driverName = QFileInfo(driver.symLinkTarget()).fileName();
    if (driverName != QLatin1String("cp210x") && driverName != QLatin1String("ftdi_sio")) continue;
    const int number = NumberForPath(QStringLiteral("/dev/") + name);
    if (number != 0 && !ports.contains(number)) ports.append(number);
  }
  std::sort(ports.begin(), ports.end());
  return ports;
}
