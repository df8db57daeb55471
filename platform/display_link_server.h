#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QLocalServer;
class QTimer;
class TDisplayLinkChannel;

// The main program's end of the display links: a local socket readable by
// this user only, in $XDG_RUNTIME_DIR (else /tmp). Every display start is
// announced with Expect(); the started display must connect and introduce
// itself with the start's token (and the process id, when known) before the
// start's deadline, or the start counts as failed. A connection that does
// not introduce itself properly in time is dropped.
class TDisplayLinkServer : public QObject {
  Q_OBJECT

 public:
  explicit TDisplayLinkServer(QObject* parent = nullptr);
  ~TDisplayLinkServer() override;

  // Starts listening; false (with ErrorText) when the socket cannot be made.
  bool Listen();
  QString ServerPath() const;
  QString ErrorText() const { return errorText_; }

  // A new start: returns its token (the display finds it in its
  // environment). `startId` comes back in OnIntroduced or OnStartFailed.
  QByteArray Expect(int startId, int timeoutMs);
  // The process id of the start, once known; 0 accepts any.
  void SetExpectedPid(const QByteArray& token, std::int64_t pid);
  // Gives up on a start (no callback follows).
  void Forget(const QByteArray& token);
  int PendingCount() const { return static_cast<int>(pending_.size()); }

  // The display of start `startId` has introduced itself with its window
  // id and process id; the channel is handed over (the receiver owns it).
  std::function<void(int startId, TDisplayLinkChannel* channel, std::uint32_t windowId, std::int64_t pid)>
      OnIntroduced;
  // No display introduced itself for start `startId` in time.
  std::function<void(int startId)> OnStartFailed;

  static constexpr int kIntroductionTimeoutMs = 5000;

 private:
  struct Pending {
    int StartId = 0;
    std::int64_t Pid = 0;
    QTimer* Deadline = nullptr;
  };
  void NewConnection();
  void Expired(const QByteArray& token);

  QLocalServer* server_;
  QString errorText_;
  QHash<QByteArray, Pending> pending_;
};
