#pragma once

// Enumerations, sets and event types of the serial port component.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QObject;

// A small set of enumeration values (at most 32), stored as bits by ordinal.
template <typename E, int N>
class TEnumSet {
  static_assert(N > 0 && N <= 32, "TEnumSet holds at most 32 values");

 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }

  static constexpr TEnumSet All() { return FromBits(N == 32 ? 0xFFFFFFFFu : ((1u << N) - 1u)); }
  static constexpr TEnumSet FromBits(std::uint32_t bits) {
    TEnumSet s;
    s.bits_ = bits & (N == 32 ? 0xFFFFFFFFu : ((1u << N) - 1u));
    return s;
  }

  constexpr std::uint32_t Bits() const { return bits_; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr int Size() const {
    int n = 0;
    for (std::uint32_t b = bits_; b != 0; b &= b - 1) ++n;
    return n;
  }
  constexpr TEnumSet& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TEnumSet& Exclude(E e) {
    bits_ &= ~Bit(e);
    return *this;
  }

  friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.bits_ == b.bits_; }
  friend constexpr bool operator!=(TEnumSet a, TEnumSet b) { return a.bits_ != b.bits_; }
  friend constexpr TEnumSet operator|(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TEnumSet operator&(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr TEnumSet operator-(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ & ~b.bits_); }

 private:
  static constexpr std::uint32_t Bit(E e) { return 1u << static_cast<int>(e); }
  std::uint32_t bits_ = 0;
};

enum TBaudRate : int {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};

enum TDataBits : int { dbFive, dbSix, dbSeven, dbEight };

enum TStopBits : int { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };

enum TParityBits : int { prNone, prOdd, prEven, prMark, prSpace };

enum TFlowControl : int { fcHardware, fcSoftware, fcNone, fcCustom };

enum TDTRFlowControl : int { dtrDisable, dtrEnable, dtrHandshake };

enum TRTSFlowControl : int { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

enum TComEvent : int {
  evRxChar,
  evTxEmpty,
  evRxFlag,
  evRing,
  evBreak,
  evCTS,
  evDSR,
  evError,
  evRLSD,
  evRx80Full
};
using TComEvents = TEnumSet<TComEvent, 10>;

enum TComError : int { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
using TComErrors = TEnumSet<TComError, 8>;

// The modem input lines reported by ModemSignals.
enum TComSignal : int { csCTS, csDSR, csRing, csRLSD };
using TComSignals = TEnumSet<TComSignal, 4>;

enum TSyncMethod : int { smThreadSync, smWindowSync, smNone };

enum TStoredProp : int { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
using TStoredProps = TEnumSet<TStoredProp, 6>;

// The errors of the message table, in table order (error number = value + 1).
enum TComExceptions : int {
  CE_OpenFailed,
  CE_WriteFailed,
  CE_ReadFailed,
  CE_InvalidAsync,
  CE_PurgeFailed,
  CE_AsyncCheck,
  CE_SetStateFailed,
  CE_TimeoutsFailed,
  CE_SetupComFailed,
  CE_ClearComFailed,
  CE_ModemStatFailed,
  CE_EscapeComFailed,
  CE_TransmitFailed,
  CE_ConnChangeProp,
  CE_EnumPortsFailed,
  CE_StoreFailed,
  CE_LoadFailed,
  CE_RegFailed,
  CE_LedStateFailed,
  CE_ThreadCreated,
  CE_WaitFailed,
  CE_HasLink,
  CE_RegError,
  CEPortNotOpen
};

// The baud value of a TBaudRate (0 for brCustom, whose value is CustomBaudRate).
int BaudRateValue(TBaudRate rate);

// Event handler types. Every handler gets the port as its sender.
using TNotifyEvent = std::function<void(QObject* sender)>;
using TRxCharEvent = std::function<void(QObject* sender, int count)>;
using TRxBufEvent = std::function<void(QObject* sender, const QByteArray& buffer, int count)>;
using TComSignalEvent = std::function<void(QObject* sender, bool onOff)>;
using TComErrorEvent = std::function<void(QObject* sender, TComErrors errors)>;
using TComExceptionEvent =
    std::function<void(QObject* sender, TComExceptions comException, const QString& comportMessage,
                       qint64 winError, const QString& winMessage)>;
