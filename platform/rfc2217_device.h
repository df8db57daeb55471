#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/fd_serial_device.h"
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
class Rfc2217Device : public FdSerialDevice {
 public:
  static constexpr const char* kScheme = "rfc2217://";

  Rfc2217Device();
  ~Rfc2217Device() override;

  int Open(const QString& path) override;

  int Configure(const SerialLineSettings& settings) override;
  int OutputCount(int& count) override;
  int ModemStatus(std::uint32_t& status) override;
  int Purge(std::uint32_t flags) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;

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
  void Run() override;
  int WriteAvailable(std::span<const std::uint8_t> data, std::size_t& done) override;
  bool OutputWaiting() override;
  int ReleaseLine() override;
  void HandleCommand(const TelnetStreamParser::Command& command, std::uint32_t& events);
  void HandleComPort(const std::vector<std::uint8_t>& payload, std::uint32_t& events);
  // Queues telnet bytes for the server and sends what the socket takes now.
  void SendWire(const std::vector<std::uint8_t>& bytes);
  // Sends as much of the queued bytes as the socket takes; call locked.
  bool FlushLocked();
  void SendComPort(std::uint8_t command, std::span<const std::uint8_t> value);
  void Negotiate(const TelnetStreamParser::Command& command);
  void HangUp();

  std::mutex wireMutex_;
  std::vector<std::uint8_t> wire_;  // escaped bytes not yet taken by the socket
  bool wireBroken_ = false;

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

  TelnetStreamParser parser_;
  std::atomic<std::uint32_t> modemStatus_{0};
};
