#include "glowreadout/display_link_client.h"

#include <QCoreApplication>
#include <QLocalSocket>

#include "platform/display_link_channel.h"

TDisplayLinkClient::TDisplayLinkClient(QObject* parent) : QObject(parent) {}

TDisplayLinkClient::~TDisplayLinkClient() {
  OnMessage = nullptr;
  OnDropped = nullptr;
}

bool TDisplayLinkClient::Configured() { return qEnvironmentVariableIsSet(DisplayLink::kServerEnvironment); }

bool TDisplayLinkClient::Connect(std::uint32_t windowId, int timeoutMs) {
  const QString server = qEnvironmentVariable(DisplayLink::kServerEnvironment);
  const QByteArray token = qgetenv(DisplayLink::kTokenEnvironment);
  auto* socket = new QLocalSocket(this);
  if (!server.isEmpty()) socket->connectToServer(server);
  if (server.isEmpty() || !socket->waitForConnected(timeoutMs)) {
    delete socket;
    if (OnDropped) OnDropped();
    return false;
  }
  channel_ = new TDisplayLinkChannel(socket, this);
  channel_->OnMessage = [this](const DisplayLink::TLinkMessage& m) {
    if (OnMessage) OnMessage(m);
  };
  channel_->OnDropped = [this](bool) {
    if (OnDropped) OnDropped();
  };
  channel_->Send(DisplayLink::Introduction(static_cast<std::uint32_t>(QCoreApplication::applicationPid()),
                                           windowId, token));
  return true;
}

void TDisplayLinkClient::Send(const DisplayLink::TLinkMessage& message) {
  if (channel_ != nullptr) channel_->Send(message);
}

void TDisplayLinkClient::Flush(int timeoutMs) {
  if (channel_ != nullptr) channel_->Flush(timeoutMs);
}
