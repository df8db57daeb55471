#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/serial_device.h"
#include "platform/serial_input_queue.h"
#include "platform/telnet_stream_parser.h"

// A serial line on a network serial server, spoken to as a client of the
// Telnet COM port control option (RFC 2217) over TCP. Path form
// "rfc2217://host:port".
//
// Line settings, modem lines and purges go to the server as COM port
// commands; nothing waits for the server's acknowledgement, since some
// servers leave a request unanswered (a DTR request on a line without modem
// signals). Like the tty backend, one I/O thread per open device reads the
// connection into the shared input queue and time-out engine; a connection
// closed by the server is a hang-up.
class Rfc2217Device : public SerialDevice {
 public:
  static constexpr const char* kScheme = "rfc2217://";

  Rfc2217Device();
  ~Rfc2217Device() override;

  Rfc2217Device(const Rfc2217Device&) = delete;
  Rfc2217Device& operator=(const Rfc2217Device&) = delete;

  int Open(const QString& path) override;
  int Close() override;
  bool IsOpen() const override;

  int Configure(const SerialLineSettings& settings) override;
  int SetTimeouts(const SerialTimeouts& timeouts) override;
  int SetQueueSizes(int inputSize, int outputSize) override;

  int Read(std::span<std::uint8_t> buffer, int& transferred) override;
  int Write(std::span<const std::uint8_t> data, int& transferred) override;

  int InputCount(int& count) override;
  int OutputCount(int& count) override;
  int CommErrors(std::uint32_t& errors) override;
  int ModemStatus(std::uint32_t& status) override;
  int Purge(std::uint32_t flags) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;

  void SetEventMask(std::uint32_t mask) override;
  void SetEventCallback(EventCallback callback) override;

  // Splits "rfc2217://host:port" (host may be "[v6 address]"); false when
  // the path is not of that form.
  static bool ParsePath(const QString& path, QString& host, int& port);

  // Whether the server agreed to the COM port option (for diagnostics).
  bool ServerAcceptedComPort() const { return comPortAccepted_; }
  // Baud rate last confirmed by the server, 0 when none was.
  int ConfirmedBaudRate() const { return confirmedBaud_; }
  // Answers the server gave to COM port commands so far in this open.
  std::uint64_t Acknowledgements() const { return acknowledgements_; }

 private:
  void Run();
  void Raise(std::uint32_t events);
  void Wake();
  void HandleCommand(const TelnetStreamParser::Command& command, std::uint32_t& events);
  void HandleComPort(const std::vector<std::uint8_t>& payload, std::uint32_t& events);
  // Queues telnet bytes for the server and sends what the socket takes now.
  void SendWire(const std::vector<std::uint8_t>& bytes);
  // Sends as much of the queued bytes as the socket takes; call locked.
  bool FlushLocked();
  void SendComPort(std::uint8_t command, std::span<const std::uint8_t> value);
  void Negotiate(const TelnetStreamParser::Command& command);
  void HangUp();

  int fd_ = -1;
  int wakeFd_ = -1;
  int txAbortFd_ = -1;
  std::atomic<std::uint64_t> txAbortCount_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> txPending_{false};
  std::thread thread_;

  std::mutex wireMutex_;
  std::vector<std::uint8_t> wire_;  // escaped bytes not yet taken by the socket
  bool wireBroken_ = false;

  std::mutex writersMutex_;
  std::condition_variable writersDone_;
  int activeWriters_ = 0;

  // Option negotiation state per option (No, WantYes, Yes), touched by
  // the I/O thread after Open.
  enum class OptionState : std::uint8_t { No, WantYes, Yes };
  std::mutex optionMutex_;
  std::condition_variable optionChanged_;
  OptionState us_[256] = {};
  OptionState him_[256] = {};
  bool comPortAnswered_ = false;
  bool serverNotified_ = false;
  bool connectionLost_ = false;
  std::atomic<bool> comPortAccepted_{false};
  std::atomic<int> confirmedBaud_{0};
  std::atomic<std::uint64_t> acknowledgements_{0};

  std::mutex rxMutex_;  // the I/O thread's receive-and-append against a purge
  TelnetStreamParser parser_;
  SerialInputQueue queue_;
  SerialTimeouts timeouts_{};
  SerialLineSettings settings_{};
  bool configured_ = false;
  std::atomic<std::uint32_t> modemStatus_{0};
  std::atomic<std::uint32_t> eventMask_{0};
  std::mutex callbackMutex_;
  EventCallback callback_;
};
