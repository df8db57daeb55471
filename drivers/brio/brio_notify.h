#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstdint>

// What the second-generation Brio driver tells its owner: a message number
// with two parameters, posted to a receiver object and delivered on the
// receiver's thread in the order posted (a queued call; the driver never
// waits for it). The owner fills one record per kind and decides the
// numbers; the driver posts a record only while it is enabled.
struct TBrioNotify {
  bool Enabled = false;
  // The receiver; the message is dropped when it is gone. The receiver must
  // outlive the driver or disable the record first when it lives on
  // another thread.
  QPointer<QObject> Window;
  std::uint16_t Msg = 0;
  std::uint32_t WParam = 0;
  std::int32_t LParam = 0;
};

// The kinds of notification, in the order of the driver's records.
enum TBrioNotifyKind : int {
  bnPortOpened = 0,
  bnPortClosed = 1,
  bnDeviceFound = 2,
  bnDisconnected = 3,
  bnCaliLoaded = 4,
  bnConfigLoaded = 5,
  bnExtendedLoaded = 6,
  bnVectorsLoaded = 7,
  bnError = 8,
  bnAllLoaded = 9,
  bnBurstStart = 10,
  bnNewValues = 11,
};
inline constexpr int kBrioNotifyKinds = 12;

// The message numbers the main window stores in the records.
inline constexpr std::uint16_t MsgBrioPortOpened = 1031;
inline constexpr std::uint16_t MsgBrioPortClosed = 1032;
inline constexpr std::uint16_t MsgBrioDeviceFound = 1033;
inline constexpr std::uint16_t MsgBrioDisconnected = 1034;
inline constexpr std::uint16_t MsgBrioCaliLoaded = 1035;
inline constexpr std::uint16_t MsgBrioConfigLoaded = 1036;
inline constexpr std::uint16_t MsgBrioVectorsLoaded = 1037;
inline constexpr std::uint16_t MsgBrioAllLoaded = 1038;
inline constexpr std::uint16_t MsgBrioError = 1039;
inline constexpr std::uint16_t MsgBrioBurstStart = 1040;
inline constexpr std::uint16_t MsgBrioNewValues = 1041;

// The posted message as the receiver gets it (in QObject::event or
// customEvent; its type is TBrioNotifyEvent::Type()).
class TBrioNotifyEvent : public QEvent {
 public:
  TBrioNotifyEvent(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam);
  static QEvent::Type Type();

  std::uint16_t Msg;
  std::uint32_t WParam;
  std::int32_t LParam;
};

// Posts `record`'s message with the given parameters when it is enabled and
// its receiver still exists; true when posted.
bool PostBrioNotify(const TBrioNotify& record, std::uint32_t wParam, std::int32_t lParam);
