#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/serial_device.h"
#include "platform/telnet_protocol.h"
#include "platform/telnet_stream_parser.h"

// The access-server side of one RFC 2217 (Telnet COM port control)
// connection, without I/O: Feed takes the client's bytes in any split,
// reports data and line changes to a Port in the order they came, and
// appends the answers for the client to `reply`.
//
// Negotiation: the server offers and accepts BINARY, SUPPRESS-GO-AHEAD and
// COM-PORT-OPTION in both directions and refuses every other option.
// Every COM port command is answered with the server's code (command + 100)
// and the value now in effect, as clients wait for that answer.
class Rfc2217Session {
 public:
  static constexpr std::uint8_t kIac = Telnet::IAC;
  static constexpr std::uint8_t kDont = Telnet::DONT;
  static constexpr std::uint8_t kDo = Telnet::DO;
  static constexpr std::uint8_t kWont = Telnet::WONT;
  static constexpr std::uint8_t kWill = Telnet::WILL;
  static constexpr std::uint8_t kSb = Telnet::SB;
  static constexpr std::uint8_t kSe = Telnet::SE;
  static constexpr std::uint8_t kOptionBinary = Telnet::OptBinary;
  static constexpr std::uint8_t kOptionSga = Telnet::OptSuppressGoAhead;
  static constexpr std::uint8_t kOptionComPort = Telnet::OptComPort;

  // COM port commands sent by the client; the server answers with + 100.
  enum Command : std::uint8_t {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowControlSuspend = 8,
    kFlowControlResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
  };
  static constexpr std::uint8_t kServerOffset = 100;

  // Where the session delivers what the client asked for.
  class Port {
   public:
    virtual ~Port() = default;
    // Data bytes, sent while the line runs at `baud`.
    virtual void OnData(std::span<const std::uint8_t> bytes, int baud) = 0;
    virtual void OnBaudRate(int baud) = 0;
    virtual void OnParity(SerialLineSettings::Parity parity) = 0;
    virtual void OnDtr(bool on) = 0;
    virtual void OnRts(bool on) = 0;
    // SerialPurge bits as seen from the client: RxClear for data on its way
    // to the client, TxClear for data on its way to the device.
    virtual void OnPurge(std::uint32_t flags) = 0;
    // The client asks the server to stop (true) or resume sending data.
    virtual void OnFlowSuspend(bool /*suspend*/) {}
  };

  explicit Rfc2217Session(Port& port);

  // The server's opening offers, sent once the connection is accepted.
  std::vector<std::uint8_t> Greeting();
  // Processes bytes from the client; answers go to `reply`.
  void Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& reply);
  // Appends data for the client to `out` with IAC doubled.
  static void Escape(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

  // The line settings the client asked for (defaults 9600 8N1, DTR and RTS
  // off until the client sets them).
  int BaudRate() const { return baud_; }
  int DataSize() const { return dataSize_; }
  SerialLineSettings::Parity Parity() const { return parity_; }
  int StopSize() const { return stopSize_; }
  bool Dtr() const { return dtr_; }
  bool Rts() const { return rts_; }
  // Whether COM port control was agreed in both directions.
  bool ComPortActive() const;

 private:
  struct OptionState {
    bool enabled = false;
    bool pending = false;  // we asked and wait for the answer
  };
  static bool Supported(std::uint8_t option);
  void FlushData();
  void Negotiate(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& reply);
  void Handle(const TelnetStreamParser::Command& command, std::vector<std::uint8_t>& reply);
  void ComPortCommand(std::uint8_t command, std::span<const std::uint8_t> value,
                      std::vector<std::uint8_t>& reply);
  static void Send(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& out);
  static void Answer(std::uint8_t command, std::span<const std::uint8_t> value,
                     std::vector<std::uint8_t>& out);

  Port& port_;
  TelnetStreamParser parser_;
  std::vector<TelnetStreamParser::Command> commands_;
  std::vector<std::uint8_t> data_;
  OptionState us_[256];
  OptionState them_[256];

  int baud_ = 9600;
  int dataSize_ = 8;
  SerialLineSettings::Parity parity_ = SerialLineSettings::Parity::None;
  int stopSize_ = 1;
  bool dtr_ = false;
  bool rts_ = false;
  bool breakOn_ = false;
  std::uint8_t outboundFlow_ = 1;  // no flow control
  std::uint8_t inboundFlow_ = 14;  // no inbound flow control
  std::uint8_t lineStateMask_ = 0;
  std::uint8_t modemStateMask_ = 0;
};
