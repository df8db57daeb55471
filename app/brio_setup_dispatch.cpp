#include "app/brio_setup_dispatch.h"

#include <QPointer>
#include <QTimer>
#include <memory>

#include "setup_brio/brio_setup_write_back.h"
#include "app/modal_result.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"

namespace {

// Runs `job` on the driver of whichever Brio family `family` is; false when
// it is neither or its session has ended.
bool PostToBrio(DeviceFamily& family, std::function<void(TpyreonBrio&)> first,
                std::function<void(TpyreonBrio_mA&)> second, std::function<void(bool)> done) {
  if (auto* brio = dynamic_cast<BrioFamily*>(&family))
    return brio->PostDriverJob(std::move(first), std::move(done));
  if (auto* ma = dynamic_cast<BrioMaFamily*>(&family))
    return ma->PostDriverJob(std::move(second), std::move(done));
  return false;
}

bool FamilyFits(std::uint8_t code, DeviceFamily& family) {
  if (DeviceType::IsBrioFirstGeneration(code)) return dynamic_cast<BrioFamily*>(&family) != nullptr;
  if (DeviceType::IsBrioSecondGeneration(code)) return dynamic_cast<BrioMaFamily*>(&family) != nullptr;
  return false;
}

}  // namespace

TBrioSetupDispatch::TDialogKind TBrioSetupDispatch::DialogKindOf(std::uint8_t code) {
  if (DeviceType::IsBrioFirstGeneration(code)) return TDialogKind::Brio;
  if (code >= DeviceType::Brio2W && code <= DeviceType::Fenn2W) return TDialogKind::Dazo4_20;
  if (code == DeviceType::Briov2 || code == DeviceType::Dunav2) return TDialogKind::Briov2;
  if (code == DeviceType::Duna2Wv2 || code == DeviceType::Duna2W2Mv2) return TDialogKind::Kora;
  return TDialogKind::None;
}

void TBrioSetupDispatch::SetDialog(TDialogKind kind, TBrioSetupDialog* dialog) {
  if (kind != TDialogKind::None) dialogs_[static_cast<std::size_t>(kind)] = dialog;
}

TBrioSetupDialog* TBrioSetupDispatch::DialogFor(std::uint8_t code) const {
  const TDialogKind kind = DialogKindOf(code);
  return kind == TDialogKind::None ? nullptr : dialogs_[static_cast<std::size_t>(kind)];
}

bool TBrioSetupDispatch::Run(std::uint8_t code, DeviceFamily& family, const TBrioSetupContext& context,
                             QObject* owner, THooks hooks) {
  TBrioSetupDialog* dialog = DialogFor(code);
  if (dialog == nullptr || !FamilyFits(code, family)) return false;

  auto shared = std::make_shared<THooks>(std::move(hooks));
  auto images = std::make_shared<TBrioSetupImages>();
  const QPointer<QObject> alive(owner);
  DeviceFamily* device = &family;
  const auto finish = [shared](bool accepted) {
    if (shared->Finished) shared->Finished(accepted);
  };

  const auto showDialog = [=](bool ran) {
    if (!alive) return;
    // A device closed before its images were copied gets no dialog.
    if (!ran) {
      finish(false);
      return;
    }
    TBrioSetupContext ctx = context;
    ctx.DeviceType = code;
    dialog->SetImages(*images, ctx);
    try {
      dialog->ParamsToControls();
    } catch (...) {
      dialog->btnDefaultClick();
    }
    dialog->SelectFirstPage();
    int result = mrCancel;
    try {
      result = dialog->ShowModal();
    } catch (...) {
      result = mrCancel;
    }
    if (result != mrOk) {
      finish(false);
      return;
    }

    *images = dialog->Images();
    const TBrioSetupWriteBack::TRoutine routine = TBrioSetupWriteBack::Choose(code, *images);
    auto written = std::make_shared<bool>(false);
    const auto afterWrite = [=](bool) {
      if (!alive) return;
      if (shared->Written) shared->Written(TBrioSetupWriteBack::ResultKey(*written));
      QTimer::singleShot(kReconnectPauseMs, alive.data(), [=] {
        if (shared->Reconnect) shared->Reconnect();
        finish(true);
      });
    };
    const bool posted = PostToBrio(
        *device,
        [routine, images, written](TpyreonBrio& d) {
          *written = TBrioSetupWriteBack::Write(d, routine, *images);
        },
        [routine, images, written](TpyreonBrio_mA& d) {
          *written = TBrioSetupWriteBack::Write(d, routine, *images);
        },
        afterWrite);
    // A session that has ended: the write failed.
    if (!posted) afterWrite(false);
  };

  const bool posted = PostToBrio(
      family, [images](TpyreonBrio& d) { *images = TBrioSetupWriteBack::Take(d); },
      [images](TpyreonBrio_mA& d) { *images = TBrioSetupWriteBack::Take(d); }, showDialog);
  if (!posted) showDialog(false);
  return true;
}
