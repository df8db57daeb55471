#include "platform/display_link_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QTimer>

#include "platform/display_link_channel.h"
#include "platform/display_link_protocol.h"

namespace {

QByteArray RandomToken() {
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  return QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex();
}

QString SocketFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime;
  return QStringLiteral("/tmp");
}

}  // namespace

TDisplayLinkServer::TDisplayLinkServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TDisplayLinkServer::NewConnection);
}

TDisplayLinkServer::~TDisplayLinkServer() {
  OnIntroduced = nullptr;
  OnStartFailed = nullptr;
  server_->close();
}

bool TDisplayLinkServer::Listen() {
  if (server_->isListening()) return true;
  const QString path = SocketFolder() + QStringLiteral("/thermasentinel-display-%1-%2")
                                            .arg(QCoreApplication::applicationPid())
                                            .arg(QString::fromLatin1(RandomToken().left(8)));
  QLocalServer::removeServer(path);
  if (!server_->listen(path)) {
    errorText_ = server_->errorString();
    return false;
  }
  return true;
}

QString TDisplayLinkServer::ServerPath() const { return server_->fullServerName(); }

QByteArray TDisplayLinkServer::Expect(int startId, int timeoutMs) {
  const QByteArray token = RandomToken();
  Pending p;
  p.StartId = startId;
  p.Deadline = new QTimer(this);
  p.Deadline->setSingleShot(true);
  connect(p.Deadline, &QTimer::timeout, this, [this, token] { Expired(token); });
  p.Deadline->start(timeoutMs);
  pending_.insert(token, p);
  return token;
}

void TDisplayLinkServer::SetExpectedPid(const QByteArray& token, std::int64_t pid) {
  auto it = pending_.find(token);
  if (it != pending_.end()) it->Pid = pid;
}

void TDisplayLinkServer::Forget(const QByteArray& token) {
  auto it = pending_.find(token);
  if (it == pending_.end()) return;
  it->Deadline->deleteLater();
  pending_.erase(it);
}

void TDisplayLinkServer::Expired(const QByteArray& token) {
  auto it = pending_.find(token);
  if (it == pending_.end()) return;
  const int startId = it->StartId;
  it->Deadline->deleteLater();
  pending_.erase(it);
  if (OnStartFailed) OnStartFailed(startId);
}

void TDisplayLinkServer::NewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    auto* channel = new TDisplayLinkChannel(socket, this);
    // A connection that says nothing useful in time is closed.
    auto* quiet = new QTimer(channel);
    quiet->setSingleShot(true);
    connect(quiet, &QTimer::timeout, channel, [channel] {
      channel->Close();
      channel->deleteLater();
    });
    quiet->start(kIntroductionTimeoutMs);
    channel->OnDropped = [channel](bool) { channel->deleteLater(); };
    channel->OnMessage = [this, channel, quiet](const DisplayLink::TLinkMessage& m) {
      auto it = m.Msg == DisplayLink::MsgIntroduction ? pending_.find(m.Data) : pending_.end();
      const bool pidOk =
          it != pending_.end() && (it->Pid == 0 || it->Pid == static_cast<std::int64_t>(m.WParam));
      const auto windowId = static_cast<std::uint32_t>(m.LParam);
      if (!pidOk || windowId == 0 || windowId > 0x7FFFFFFFu) {
        channel->Close();
        channel->deleteLater();
        return;
      }
      const int startId = it->StartId;
      it->Deadline->deleteLater();
      pending_.erase(it);
      delete quiet;
      channel->OnMessage = nullptr;
      channel->OnDropped = nullptr;
      if (OnIntroduced) {
        OnIntroduced(startId, channel, windowId, static_cast<std::int64_t>(m.WParam));
      } else {
        channel->Close();
        channel->deleteLater();
      }
    };
  }
}
