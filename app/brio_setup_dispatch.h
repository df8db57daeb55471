#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "setup_brio/brio_setup_dialog.h"
#include "setup_brio/brio_setup_images.h"

class DeviceFamily;

// The device-setup command for the Brio families: the setup dialog that
// fits the device type code, the copy of the driver's images it starts
// from, and after OK the write of the edited images (TBrioSetupWriteBack),
// its result text, a short pause and the reconnection of the device, so it
// comes back with its new configuration. Cancel writes nothing and leaves
// the device connected.
//
// Every device step runs on the family's session; the dialog is shown on
// the caller's (GUI) thread once the images are there.
class TBrioSetupDispatch {
 public:
  enum class TDialogKind { None, Brio, Dazo4_20, Briov2, Kora };
  // The pause between the write and the reconnection.
  static constexpr int kReconnectPauseMs = 100;

  // The dialog of device type `code`: 3-4 Brio, 5-7 Dazo4_20, 8-9 Briov2,
  // 10-11 Kora, any other none.
  static TDialogKind DialogKindOf(std::uint8_t code);

  // The dialogs there are (null: none yet; its command stays disabled).
  void SetDialog(TDialogKind kind, TBrioSetupDialog* dialog);
  TBrioSetupDialog* DialogFor(std::uint8_t code) const;

  struct THooks {
    // The write has ended: `resultKey` ("OK!" or "Failed!") is appended to
    // the status text.
    std::function<void(const QString& resultKey)> Written;
    // After the pause: disconnect and connect the device again.
    std::function<void()> Reconnect;
    // Always last, once: the command is over (`accepted`: the dialog closed
    // with OK and the reconnection has run).
    std::function<void(bool accepted)> Finished;
  };

  // Starts the command for device type `code` on `family` (its generation
  // must fit the code). False, with no hook called, when there is no dialog
  // for the code or the family does not fit; else `hooks.Finished` follows.
  // `owner` bounds the callbacks' lifetime (nothing runs after it is gone).
  bool Run(std::uint8_t code, DeviceFamily& family, const TBrioSetupContext& context, QObject* owner,
           THooks hooks);

 private:
  std::array<TBrioSetupDialog*, 5> dialogs_{};
};
