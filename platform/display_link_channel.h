#pragma once

#include <QObject>
#include <functional>

#include "platform/display_link_protocol.h"

class QLocalSocket;

// One end of a display connection: writes frames without ever waiting for
// the peer and hands every received message on in order. A malformed frame
// or a closed socket drops the connection; OnDropped then fires once.
class TDisplayLinkChannel : public QObject {
  Q_OBJECT

 public:
  // Takes `socket` over (re-parented to the channel).
  explicit TDisplayLinkChannel(QLocalSocket* socket, QObject* parent = nullptr);
  ~TDisplayLinkChannel() override;

  // Queues `message`. A value message is left out while more than
  // kMaxBacklogBytes wait for a peer that does not read (a newer value
  // follows anyway); every other message is kept. False when the link is
  // down or the value was left out.
  bool Send(const DisplayLink::TLinkMessage& message);
  // Writes what waits, at most `timeoutMs` long (for the last words of a
  // program that is about to end).
  void Flush(int timeoutMs);
  // Closes the connection; OnDropped does not fire for it.
  void Close();
  bool Connected() const;

  std::function<void(const DisplayLink::TLinkMessage&)> OnMessage;
  // `malformed` tells a broken frame from a closed connection.
  std::function<void(bool malformed)> OnDropped;

  static constexpr qint64 kMaxBacklogBytes = 64 * 1024;

 private:
  void ReadAvailable();
  void Drop(bool malformed);

  QLocalSocket* socket_;
  DisplayLink::TFrameReader reader_;
  bool dropped_ = false;
};
