#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Telnet (RFC 854) and COM port control option (RFC 2217) constants and
// encoders, shared by the RFC 2217 client and server.
namespace Telnet {

inline constexpr std::uint8_t SE = 240;
inline constexpr std::uint8_t NOP = 241;
inline constexpr std::uint8_t SB = 250;
inline constexpr std::uint8_t WILL = 251;
inline constexpr std::uint8_t WONT = 252;
inline constexpr std::uint8_t DO = 253;
inline constexpr std::uint8_t DONT = 254;
inline constexpr std::uint8_t IAC = 255;

inline constexpr std::uint8_t OptBinary = 0;
inline constexpr std::uint8_t OptEcho = 1;
inline constexpr std::uint8_t OptSuppressGoAhead = 3;
inline constexpr std::uint8_t OptComPort = 44;

// COM port commands, client to server; the server answers with the same
// number plus ServerOffset.
inline constexpr std::uint8_t ServerOffset = 100;
inline constexpr std::uint8_t CpSignature = 0;
inline constexpr std::uint8_t CpSetBaudRate = 1;
inline constexpr std::uint8_t CpSetDataSize = 2;
inline constexpr std::uint8_t CpSetParity = 3;
inline constexpr std::uint8_t CpSetStopSize = 4;
inline constexpr std::uint8_t CpSetControl = 5;
inline constexpr std::uint8_t CpNotifyLineState = 6;
inline constexpr std::uint8_t CpNotifyModemState = 7;
inline constexpr std::uint8_t CpFlowControlSuspend = 8;
inline constexpr std::uint8_t CpFlowControlResume = 9;
inline constexpr std::uint8_t CpSetLineStateMask = 10;
inline constexpr std::uint8_t CpSetModemStateMask = 11;
inline constexpr std::uint8_t CpPurgeData = 12;

// SET-PARITY values.
inline constexpr std::uint8_t ParityNone = 1;
inline constexpr std::uint8_t ParityOdd = 2;
inline constexpr std::uint8_t ParityEven = 3;
inline constexpr std::uint8_t ParityMark = 4;
inline constexpr std::uint8_t ParitySpace = 5;
// SET-STOPSIZE values.
inline constexpr std::uint8_t StopOne = 1;
inline constexpr std::uint8_t StopTwo = 2;
inline constexpr std::uint8_t StopOneAndHalf = 3;
// SET-CONTROL values.
inline constexpr std::uint8_t ControlFlowNone = 1;
inline constexpr std::uint8_t ControlFlowXonXoff = 2;
inline constexpr std::uint8_t ControlFlowHardware = 3;
inline constexpr std::uint8_t ControlDtrOn = 8;
inline constexpr std::uint8_t ControlDtrOff = 9;
inline constexpr std::uint8_t ControlRtsOn = 11;
inline constexpr std::uint8_t ControlRtsOff = 12;
// PURGE-DATA values.
inline constexpr std::uint8_t PurgeReceive = 1;
inline constexpr std::uint8_t PurgeTransmit = 2;
inline constexpr std::uint8_t PurgeBoth = 3;
// NOTIFY-LINESTATE bits.
inline constexpr std::uint8_t LineOverrun = 0x02;
inline constexpr std::uint8_t LineParity = 0x04;
inline constexpr std::uint8_t LineFraming = 0x08;
inline constexpr std::uint8_t LineBreak = 0x10;
// NOTIFY-MODEMSTATE bits.
inline constexpr std::uint8_t ModemDeltaCts = 0x01;
inline constexpr std::uint8_t ModemDeltaDsr = 0x02;
inline constexpr std::uint8_t ModemTrailingRing = 0x04;
inline constexpr std::uint8_t ModemDeltaCd = 0x08;
inline constexpr std::uint8_t ModemCts = 0x10;
inline constexpr std::uint8_t ModemDsr = 0x20;
inline constexpr std::uint8_t ModemRing = 0x40;
inline constexpr std::uint8_t ModemCd = 0x80;

// Appends `data` with every 0xFF doubled.
inline void AppendEscaped(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data) {
  for (std::uint8_t b : data) {
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
  }
}

// Appends IAC `command` `option` (WILL, WONT, DO, DONT).
inline void AppendNegotiation(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint8_t option) {
  out.insert(out.end(), {IAC, command, option});
}

// Appends IAC SB `option` <payload escaped> IAC SE.
inline void AppendSubnegotiation(std::vector<std::uint8_t>& out, std::uint8_t option,
                                 std::span<const std::uint8_t> payload) {
  out.insert(out.end(), {IAC, SB});
  AppendEscaped(out, std::span<const std::uint8_t>(&option, 1));
  AppendEscaped(out, payload);
  out.insert(out.end(), {IAC, SE});
}

// Appends one COM port command: IAC SB 44 `command` <value> IAC SE.
inline void AppendComPort(std::vector<std::uint8_t>& out, std::uint8_t command,
                          std::span<const std::uint8_t> value) {
  std::vector<std::uint8_t> payload;
  payload.reserve(value.size() + 1);
  payload.push_back(command);
  payload.insert(payload.end(), value.begin(), value.end());
  AppendSubnegotiation(out, OptComPort, payload);
}

}  // namespace Telnet
