// Reads arbitrary bytes as the ports file (section [Ports], entries
// "COMn=<device path or rfc2217://host:port>"): every number maps to a path
// or to nothing, every path that an entry names maps back to a port, and
// every rfc2217:// address either parses into a host and a port in range or
// is refused.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/ini_file.h"
#include "platform/port_map.h"
#include "platform/rfc2217_device.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const IniFile ini = IniFile::FromContent(content);
  const bool defaultRanges = size > 0 && (data[0] & 1) != 0;
  const PortMap map = PortMap::FromIni(ini, defaultRanges);

  for (int number = 0; number <= PortMap::kMaxPort + 1; ++number) {
    const QString path = map.PathForNumber(number);
    if (number < 1 || number > PortMap::kMaxPort) {
      Check(path.isEmpty());
      continue;
    }
    Check(PortMap::NumberFromName(PortMap::NameFromNumber(number)) == number);
    if (path.isEmpty()) continue;
    QString host;
    int port = 0;
    if (Rfc2217Device::ParsePath(path, host, port)) {
      Check(!host.isEmpty() && port >= 1 && port <= 65535);
      Check(path.startsWith(QLatin1String(Rfc2217Device::kScheme), Qt::CaseInsensitive));
    }
    // Only paths outside the file system: resolving others would look at
    // the host's files.
    if (!path.trimmed().startsWith(QLatin1Char('/'))) Check(map.NumberForPath(path) != 0);
  }
  // The key names as port names.
  for (const QString& key : ini.ReadSection(QStringLiteral("Ports"))) {
    const int n = PortMap::NumberFromName(key);
    Check(n >= 0 && n <= PortMap::kMaxPort);
  }
  // The whole input as one address.
  QString host;
  int port = 0;
  const QString text = IniFile::FromWindows1252(content);
  if (Rfc2217Device::ParsePath(text, host, port)) Check(!host.isEmpty() && port >= 1 && port <= 65535);
  (void)Rfc2217Device::ParsePath(QLatin1String(Rfc2217Device::kScheme) + text, host, port);
  return 0;
}
