#include "tools/devsim/devsim_options.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>

#include "tools/devsim/argo_model.h"
#include "tools/devsim/brio_device_model.h"
#include "tools/devsim/model_registry.h"

namespace {

bool TakeValue(const QStringList& args, qsizetype& i, QString& value, QString& error) {
  if (i + 1 >= args.size()) {
    error = QStringLiteral("option %1 needs a value").arg(args.at(i));
    return false;
  }
  value = args.at(++i);
  return true;
}

bool TakeNumber(const QStringList& args, qsizetype& i, int low, int high, int& number, QString& error) {
  QString value;
  if (!TakeValue(args, i, value, error)) return false;
  bool ok = false;
  number = value.toInt(&ok);
  if (!ok || number < low || number > high) {
    error = QStringLiteral("option %1 needs a number from %2 to %3, not \"%4\"")
                .arg(args.at(i - 1))
                .arg(low)
                .arg(high)
                .arg(value);
    return false;
  }
  return true;
}

}  // namespace

QStringList SplitOptionValues(const QStringList& options) {
  QStringList args;
  for (const QString& o : options) {
    const qsizetype eq = o.indexOf(QLatin1Char('='));
    if (o.startsWith(QStringLiteral("--")) && eq > 0) {
      args << o.left(eq) << o.mid(eq + 1);
    } else {
      args << o;
    }
  }
  return args;
}

QString DevsimOptions::Usage() {
  return QStringLiteral(
             "Usage: thermasentinel-devsim --model NAME [model options]\n"
             "                             (--pty [--link PATH] | --rfc2217 PORT)\n"
             "                             [--ports-file FILE --com N]\n"
             "       thermasentinel-devsim --list-models | --help\n"
             "\n"
             "Emulates a device on a pseudo-terminal or an RFC 2217 port and prints\n"
             "where to reach it (the terminal's path or rfc2217://127.0.0.1:PORT) on\n"
             "one line. Runs until interrupted.\n"
             "\n"
             "  --model NAME       the device model: %1\n"
             "  --pty              serve on a new pseudo-terminal\n"
             "  --link PATH        also make PATH a symbolic link to the terminal\n"
             "  --rfc2217 PORT     serve RFC 2217 on 127.0.0.1:PORT (0: any free port)\n"
             "  --ports-file FILE  write COM<N>=<where> into section [Ports] of FILE\n"
             "  --com N            the COM number for --ports-file (1..255)\n"
             "Other options go to the model (\"--name value\" or \"--name=value\").\n"
             "\n"
             "argo is the single-colour family (with the ratio models among its\n"
             "profiles); brio is the first-generation Brio, brio2 the second\n"
             "generation. The Brio models draw their supply from DTR and answer their\n"
             "bootstrap loader at even parity: serve them with --rfc2217, which\n"
             "carries both. A pseudo-terminal carries neither; there give\n"
             "--external-power --ignore-parity.\n"
             "\n"
             "%2\n%3\n%4\n"
             "loopback options:\n"
             "  --baud N                  line speed (default 9600); echoes every byte\n")
      .arg(ModelRegistry::Names().join(QStringLiteral(", ")), ArgoModel::OptionsHelp(),
           BrioDeviceModel::OptionsHelp(1), BrioDeviceModel::OptionsHelp(2));
}

bool DevsimOptions::Parse(const QStringList& args, DevsimOptions& out, QString& error) {
  out = DevsimOptions{};
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args.at(i);
    if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
      out.help = true;
    } else if (a == QStringLiteral("--list-models")) {
      out.listModels = true;
    } else if (a == QStringLiteral("--model")) {
      if (!TakeValue(args, i, out.model, error)) return false;
    } else if (a == QStringLiteral("--pty")) {
      if (out.transport == Transport::Rfc2217) {
        error = QStringLiteral("--pty and --rfc2217 exclude each other");
        return false;
      }
      out.transport = Transport::Pty;
    } else if (a == QStringLiteral("--rfc2217")) {
      if (out.transport == Transport::Pty) {
        error = QStringLiteral("--pty and --rfc2217 exclude each other");
        return false;
      }
      if (!TakeNumber(args, i, 0, 65535, out.tcpPort, error)) return false;
      out.transport = Transport::Rfc2217;
    } else if (a == QStringLiteral("--link")) {
      if (!TakeValue(args, i, out.link, error)) return false;
    } else if (a == QStringLiteral("--ports-file")) {
      if (!TakeValue(args, i, out.portsFile, error)) return false;
    } else if (a == QStringLiteral("--com")) {
      if (!TakeNumber(args, i, 1, 255, out.com, error)) return false;
    } else {
      out.modelOptions.append(a);
    }
  }
  if (out.help || out.listModels) return true;
  if (out.model.isEmpty()) {
    error = out.modelOptions.isEmpty() ? QStringLiteral("no model given (--model NAME)")
                                       : QStringLiteral("unknown option: %1").arg(out.modelOptions.first());
    return false;
  }
  if (out.transport == Transport::None) {
    error = QStringLiteral("give --pty or --rfc2217 PORT");
    return false;
  }
  if (!out.link.isEmpty() && out.transport != Transport::Pty) {
    error = QStringLiteral("--link needs --pty");
    return false;
  }
  if (out.portsFile.isEmpty() != (out.com == 0)) {
    error = QStringLiteral("--ports-file and --com go together");
    return false;
  }
  return true;
}

bool SetPortsEntry(const QString& path, int com, const QString& value, QString& error) {
  QByteArray content;
  QFile existing(path);
  if (existing.exists()) {
    if (!existing.open(QIODevice::ReadOnly)) {
      error = QStringLiteral("cannot read %1: %2").arg(path, existing.errorString());
      return false;
    }
    content = existing.readAll();
    existing.close();
  }
  const QByteArray key = QByteArrayLiteral("com") + QByteArray::number(com);
  const QByteArray entry = QByteArrayLiteral("COM") + QByteArray::number(com) + '=' + value.toLocal8Bit();

  QList<QByteArray> lines = content.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  qsizetype section = -1;  // index of the [Ports] header
  qsizetype sectionEnd = -1;
  qsizetype found = -1;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray line = lines.at(i).trimmed();
    if (line.startsWith('[')) {
      if (section >= 0 && sectionEnd < 0) sectionEnd = i;
      if (section < 0 && line.toLower() == "[ports]") section = i;
      continue;
    }
    if (section >= 0 && sectionEnd < 0 && found < 0) {
      const qsizetype eq = line.indexOf('=');
      if (eq > 0 && line.left(eq).trimmed().toLower() == key) found = i;
    }
  }
  if (found >= 0) {
    lines[found] = entry;
  } else if (section >= 0) {
    // After the section's last non-empty line.
    qsizetype at = sectionEnd < 0 ? lines.size() : sectionEnd;
    while (at > section + 1 && lines.at(at - 1).trimmed().isEmpty()) --at;
    lines.insert(at, entry);
  } else {
    lines.append(QByteArrayLiteral("[Ports]"));
    lines.append(entry);
  }

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  for (const QByteArray& line : lines) {
    file.write(line);
    file.write("\n");
  }
  if (!file.commit()) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}
