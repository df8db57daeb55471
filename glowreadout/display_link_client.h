#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/display_link_protocol.h"

class TDisplayLinkChannel;

// The display's end of its link to the main program: it connects to the
// socket the main program named in the environment, introduces itself and
// then carries the messages both ways.
class TDisplayLinkClient : public QObject {
  Q_OBJECT

 public:
  explicit TDisplayLinkClient(QObject* parent = nullptr);
  ~TDisplayLinkClient() override;

  // True when the environment names a main program to talk to.
  static bool Configured();
  // Connects and introduces the display with `windowId`; false (and
  // OnDropped) when there is nothing to connect to.
  bool Connect(std::uint32_t windowId, int timeoutMs = 5000);
  void Send(const DisplayLink::TLinkMessage& message);
  // Waits (bounded) until what was sent is written.
  void Flush(int timeoutMs);

  std::function<void(const DisplayLink::TLinkMessage&)> OnMessage;
  // The link is gone (the main program ended or broke the connection).
  std::function<void()> OnDropped;

 private:
  TDisplayLinkChannel* channel_ = nullptr;
};
