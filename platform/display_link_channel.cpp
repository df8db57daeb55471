#include "platform/display_link_channel.h"

#include <QLocalSocket>
#include <QPointer>

TDisplayLinkChannel::TDisplayLinkChannel(QLocalSocket* socket, QObject* parent)
    : QObject(parent), socket_(socket) {
  socket_->setParent(this);
  connect(socket_, &QLocalSocket::readyRead, this, &TDisplayLinkChannel::ReadAvailable);
  // The peer's last words arrive with its leaving: read them first.
  connect(socket_, &QLocalSocket::disconnected, this, [this] {
    ReadAvailable();
    Drop(false);
  });
  connect(socket_, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
    // A write into a full pipe is no reason to give up; a vanished peer is.
    if (error == QLocalSocket::PeerClosedError || socket_->state() != QLocalSocket::ConnectedState)
      Drop(false);
  });
  // Bytes that came with the connection itself.
  if (socket_->bytesAvailable() > 0) {
    QMetaObject::invokeMethod(this, &TDisplayLinkChannel::ReadAvailable, Qt::QueuedConnection);
  }
}

TDisplayLinkChannel::~TDisplayLinkChannel() {
  OnMessage = nullptr;
  OnDropped = nullptr;
  socket_->disconnect(this);
  socket_->abort();
}

bool TDisplayLinkChannel::Send(const DisplayLink::TLinkMessage& message) {
  if (dropped_ || socket_->state() != QLocalSocket::ConnectedState) return false;
  if (message.Msg == DisplayLink::MsgDisplayValue && socket_->bytesToWrite() > kMaxBacklogBytes) return false;
  const QByteArray frame = DisplayLink::EncodeFrame(message);
  return socket_->write(frame) == frame.size();
}

void TDisplayLinkChannel::Flush(int timeoutMs) {
  if (dropped_ || socket_->state() != QLocalSocket::ConnectedState) return;
  if (socket_->bytesToWrite() > 0) socket_->waitForBytesWritten(timeoutMs);
}

void TDisplayLinkChannel::Close() {
  dropped_ = true;
  socket_->disconnect(this);
  socket_->abort();
}

bool TDisplayLinkChannel::Connected() const {
  return !dropped_ && socket_->state() == QLocalSocket::ConnectedState;
}

void TDisplayLinkChannel::ReadAvailable() {
  if (dropped_) return;
  const QByteArray bytes = socket_->readAll();
  reader_.Feed(bytes);
  // A handler may close or delete the channel: check before every message.
  QPointer<TDisplayLinkChannel> self(this);
  for (;;) {
    std::optional<DisplayLink::TLinkMessage> m = reader_.Next();
    if (!m) break;
    // The handler may replace itself: call a copy.
    const auto handler = OnMessage;
    if (handler) handler(*m);
    if (self.isNull() || dropped_) return;
  }
  if (reader_.Failed()) Drop(true);
}

void TDisplayLinkChannel::Drop(bool malformed) {
  if (dropped_) return;
  dropped_ = true;
  socket_->abort();
  if (OnDropped) OnDropped(malformed);
}
