// thermasentinel-devsim: serves an emulated device on a pseudo-terminal or
// an RFC 2217 port until SIGINT or SIGTERM (or until the device vanishes).

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/devsim/devsim_options.h"
#include "tools/devsim/model_registry.h"
#include "tools/devsim/pty_server.h"
#include "tools/devsim/rfc2217_server.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintError(const QString& text) {
  std::fprintf(stderr, "thermasentinel-devsim: %s\n", text.toLocal8Bit().constData());
}

// Points `link` at `target`, replacing an older link but never a file.
bool MakeLink(const QString& link, const QString& target, QString& error) {
  const QByteArray path = link.toLocal8Bit();
  struct stat st {};
  if (::lstat(path.constData(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = QStringLiteral("%1 exists and is not a symbolic link").arg(link);
      return false;
    }
    ::unlink(path.constData());
  }
  if (::symlink(target.toLocal8Bit().constData(), path.constData()) != 0) {
    error =
        QStringLiteral("cannot make the link %1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  return true;
}

// Removes `link` if it still points at `target`.
void RemoveLink(const QString& link, const QString& target) {
  const QByteArray path = link.toLocal8Bit();
  char buffer[4096];
  const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  buffer[n] = '\0';
  if (QString::fromLocal8Bit(buffer) == target) ::unlink(path.constData());
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

  DevsimOptions options;
  QString error;
  if (!DevsimOptions::Parse(arguments, options, error)) {
    PrintError(error);
    std::fprintf(stderr, "%s", DevsimOptions::Usage().toLocal8Bit().constData());
    return kExitUsage;
  }
  if (options.help) {
    std::printf("%s", DevsimOptions::Usage().toLocal8Bit().constData());
    return kExitOk;
  }
  if (options.listModels) {
    for (const QString& name : ModelRegistry::Names()) std::printf("%s\n", name.toLocal8Bit().constData());
    return kExitOk;
  }

  std::shared_ptr<DeviceModel> model = ModelRegistry::Create(options.model, options.modelOptions, &error);
  if (!model) {
    PrintError(error);
    return kExitUsage;
  }

  // The signals are taken synchronously below; block them before any
  // server thread starts so that no thread is interrupted by them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::unique_ptr<PtyServer> pty;
  std::unique_ptr<Rfc2217Server> rfc2217;
  QString where;
  if (options.transport == DevsimOptions::Transport::Pty) {
    pty = std::make_unique<PtyServer>(model);
    if (!pty->Start(&error)) {
      PrintError(QStringLiteral("cannot make a pseudo-terminal: ") + error);
      return kExitFailure;
    }
    where = pty->SlavePath();
  } else {
    rfc2217 = std::make_unique<Rfc2217Server>(model);
    if (!rfc2217->Start(static_cast<std::uint16_t>(options.tcpPort), &error)) {
      PrintError(QStringLiteral("cannot listen on port %1: %2").arg(options.tcpPort).arg(error));
      return kExitFailure;
    }
    where = rfc2217->Url();
  }

  if (!options.link.isEmpty() && !MakeLink(options.link, where, error)) {
    PrintError(error);
    return kExitFailure;
  }
  if (!options.portsFile.isEmpty() && !SetPortsEntry(options.portsFile, options.com, where, error)) {
    PrintError(error);
    if (!options.link.isEmpty()) RemoveLink(options.link, where);
    return kExitFailure;
  }

  std::printf("%s\n", where.toLocal8Bit().constData());
  std::fflush(stdout);

  const timespec poll{0, 200'000'000};
  for (;;) {
    const int signal = sigtimedwait(&signals, nullptr, &poll);
    if (signal == SIGINT || signal == SIGTERM) break;
    const bool vanished = pty ? pty->Vanished() : rfc2217->Vanished();
    if (vanished) {
      std::fprintf(stderr, "thermasentinel-devsim: the device vanished\n");
      break;
    }
  }

  if (pty) pty->Stop();
  if (rfc2217) rfc2217->Stop();
  if (!options.link.isEmpty()) RemoveLink(options.link, where);
  return kExitOk;
}
