#pragma once

#include <QList>
#include <QMap>
#include <QString>

// Turns the program's port names "COM1" .. "COM255" into devices.
//
// Entries "COMn=<device path or rfc2217://host:port>" in section [Ports] of
// the file named by the environment variable THERMASENTINEL_PORTS, else of
// ports.ini in the per-user folder ($XDG_CONFIG_HOME/ThermaSentinel, see
// Folders::UserDataFolder). An entry with an empty value switches that port
// off. Without an entry: COM1..32 are
// /dev/ttyS0..31, COM33..96 /dev/ttyUSB0..63, COM97..160 /dev/ttyACM0..63.
// When THERMASENTINEL_PORTS is set, only its entries exist (so tests stay
// off the host's real ports).
class PortMap {
 public:
  static constexpr int kMaxPort = 255;

  // Reads the map from the environment and files as they are now.
  static PortMap FromEnvironment();
  // The entries of section [Ports] of `ini`; with `defaultRanges` the
  // default ranges fill the numbers without an entry.
  static PortMap FromIni(const class IniFile& ini, bool defaultRanges);
  // A map with explicit entries only (no default ranges).
  static PortMap FromEntries(const QMap<int, QString>& entries);

  // "COM12" (any case) -> 12; "12" -> 12; anything else or out of 1..255 -> 0.
  static int NumberFromName(const QString& portName);
  static QString NameFromNumber(int number) { return QStringLiteral("COM") + QString::number(number); }

  // The device for a port number, empty when the number maps to nothing.
  QString PathForNumber(int number) const;
  QString PathForName(const QString& portName) const { return PathForNumber(NumberFromName(portName)); }
  // The port number a device path maps to, 0 when none.
  int NumberForPath(const QString& path) const;

  // COM numbers of the USB-serial adapters of the cp210x and ftdi_sio
  // drivers present now (found in sysfs under `sysfsRoot`), ascending.
  QList<int> UsbSerialPorts(const QString& sysfsRoot = QStringLiteral("/sys/class/tty")) const;

 private:
  QMap<int, QString> entries_;
  bool defaultRanges_ = true;
};
