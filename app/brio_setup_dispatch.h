#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "setup_brio/brio_setup_dialog.h"
#include "setup_brio/brio_setup_images.h"
#include "setup_brio/brio_setup_write_back.h"

class DeviceFamily;

// The device-setup command for the Brio families: the setup dialog that
// fits the device type code, the copy of the driver's images it starts
// from, and after OK the write of the edited images (TBrioSetupWriteBack),
// its result text, a short pause and the reconnection of the device, so it
// comes back with its new configuration. Cancel writes nothing and leaves
// the device connected.
//
// Every device step runs on the family's session; the dialog is shown on
// the caller's (GUI) thread once the images are there. While the write
// runs (through the bootstrap loader, which cannot be left half-way) the
// window paints and shows the driver's progress, but takes no input.
//
// A write that failed, wholly or in part, loses nothing: the edited images
// are kept (KeptImages) and, before the reconnection reads the device
// afresh, the user is told which images were not written and may open the
// dialog on the kept images again, to write them once more (OK) or save
// them as a configuration file.
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

  // The images of a write that failed, as the dialog gave them back.
  struct TKeptImages {
    std::uint8_t DeviceType = 0;
    TBrioSetupImages Images;
    TBrioSetupContext Context;
    QStringList NotWritten;  // the images the write may not have stored
  };

  struct THooks {
    // The write begins (true) and ends (false): the window holds its input
    // off in between.
    std::function<void(bool writing)> HoldInput;
    // The write has ended: `resultKey` ("OK!" or "Failed!") is appended to
    // the status text.
    std::function<void(const QString& resultKey)> Written;
    // A write failed: asks the user whether to open the dialog again on the
    // kept images (`kept.NotWritten` names what was not written). Without
    // it, the images are only kept.
    std::function<bool(const TKeptImages& kept)> OfferKept;
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

  // The images of the last write that failed, until the command runs again
  // or a write succeeds (null when there are none).
  const TKeptImages* KeptImages() const { return kept_ ? &*kept_ : nullptr; }
  // The user's text naming the images not written.
  static QString NotWrittenText(const QStringList& images);

 private:
  struct TRun;
  void Write(std::shared_ptr<TRun> run);
  void AfterWrite(std::shared_ptr<TRun> run, TBrioSetupWriteBack::TRoutine routine, bool written);
  // Shows the dialog on `run`'s images (its defaults when it cannot decode
  // them); true, with the edited images in `run`, when it closed with OK.
  static bool ShowDialog(TRun& run);

  std::array<TBrioSetupDialog*, 5> dialogs_{};
  std::optional<TKeptImages> kept_;
};
