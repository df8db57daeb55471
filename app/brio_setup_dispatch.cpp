#include "app/brio_setup_dispatch.h"

#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/modal_result.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "platform/logger.h"
#include "setup_brio/brio_setup_write_back.h"

namespace {

const QString kSource = QStringLiteral("Brio setup");

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

// One run of the command: what its steps share.
struct TBrioSetupDispatch::TRun {
  std::uint8_t Code = 0;
  TBrioSetupDialog* Dialog = nullptr;
  DeviceFamily* Device = nullptr;
  TBrioSetupContext Context;
  QPointer<QObject> Owner;
  THooks Hooks;
  TBrioSetupImages Images;
  void Finish(bool accepted) const {
    if (Hooks.Finished) Hooks.Finished(accepted);
  }
};

namespace {

// The images a routine writes, as the user knows them.
QStringList ImagesOf(TBrioSetupWriteBack::TRoutine routine) {
  using R = TBrioSetupWriteBack::TRoutine;
  const QString config = QStringLiteral("configuration (0x1000)");
  switch (routine) {
    case R::Configuration:
      return {config};
    case R::ConfigurationAndCalibration:
    case R::ConfigurationAndNewCalibration:
    case R::KoraConfigurationThenCalibration:
    case R::KoraImages:
      return {config, QStringLiteral("calibration (0x1080)")};
    case R::Briov2Images:
      return {config, QStringLiteral("extended configuration (0xC000)"),
              QStringLiteral("calibration (0x1080)")};
    case R::None:
      break;
  }
  return {config};
}

}  // namespace

QString TBrioSetupDispatch::NotWrittenText(const QStringList& images) {
  return images.join(QStringLiteral(", "));
}

bool TBrioSetupDispatch::Run(std::uint8_t code, DeviceFamily& family, const TBrioSetupContext& context,
                             QObject* owner, THooks hooks) {
  TBrioSetupDialog* dialog = DialogFor(code);
  if (dialog == nullptr || !FamilyFits(code, family)) return false;
  // Kept images belong to the device as it was; it is read afresh now.
  kept_.reset();

  auto run = std::make_shared<TRun>();
  run->Code = code;
  run->Dialog = dialog;
  run->Device = &family;
  run->Context = context;
  run->Context.DeviceType = code;
  run->Owner = owner;
  run->Hooks = std::move(hooks);

  const auto showDialog = [this, run](bool ran) {
    if (!run->Owner) return;
    // A device closed before its images were copied gets no dialog.
    if (!ran || !ShowDialog(*run)) {
      run->Finish(false);
      return;
    }
    Write(run);
  };
  const bool posted = PostToBrio(
      family, [run](TpyreonBrio& d) { run->Images = TBrioSetupWriteBack::Take(d); },
      [run](TpyreonBrio_mA& d) { run->Images = TBrioSetupWriteBack::Take(d); }, showDialog);
  if (!posted) showDialog(false);
  return true;
}

bool TBrioSetupDispatch::ShowDialog(TRun& run) {
  run.Dialog->SetImages(run.Images, run.Context);
  // An image the dialog cannot decode opens it with its factory defaults;
  // the log says so, since what the user sees is then not the device's.
  try {
    run.Dialog->ParamsToControls();
  } catch (...) {
    Logger::Caught(Logger::Level::Warning, kSource,
                   QStringLiteral("the device's images do not decode; the dialog opens with the defaults"));
    try {
      run.Dialog->btnDefaultClick();
    } catch (...) {
      Logger::Caught(Logger::Level::Error, kSource, QStringLiteral("loading the defaults"));
    }
  }
  run.Dialog->SelectFirstPage();
  int result = mrCancel;
  try {
    result = run.Dialog->ShowModal();
  } catch (...) {
    // Taken as Cancel: nothing is written to the device.
    Logger::Caught(Logger::Level::Error, kSource, QStringLiteral("the setup dialog failed; taken as Cancel"));
    result = mrCancel;
  }
  if (result != mrOk) return false;
  run.Images = run.Dialog->Images();
  return true;
}

void TBrioSetupDispatch::Write(std::shared_ptr<TRun> run) {
  const TBrioSetupWriteBack::TRoutine routine = TBrioSetupWriteBack::Choose(run->Code, run->Images);
  if (run->Hooks.HoldInput) run->Hooks.HoldInput(true);
  auto written = std::make_shared<bool>(false);
  auto images = std::make_shared<const TBrioSetupImages>(run->Images);
  const auto done = [this, run, written, routine](bool ran) { AfterWrite(run, routine, ran && *written); };
  // The job is never cancelled from here: a loader write runs to its end.
  const bool posted = PostToBrio(
      *run->Device,
      [routine, images, written](TpyreonBrio& d) {
        *written = TBrioSetupWriteBack::Write(d, routine, *images);
      },
      [routine, images, written](TpyreonBrio_mA& d) {
        *written = TBrioSetupWriteBack::Write(d, routine, *images);
      },
      done);
  // A session that has ended: the write failed.
  if (!posted) done(false);
}

void TBrioSetupDispatch::AfterWrite(std::shared_ptr<TRun> run, TBrioSetupWriteBack::TRoutine routine,
                                    bool written) {
  if (!run->Owner) return;
  if (run->Hooks.HoldInput) run->Hooks.HoldInput(false);
  if (run->Hooks.Written) run->Hooks.Written(TBrioSetupWriteBack::ResultKey(written));
  if (written) {
    kept_.reset();
  } else {
    kept_ = TKeptImages{run->Code, run->Images, run->Context, ImagesOf(routine)};
    // Before the reconnection replaces them, the user may take the edits
    // up again: write them once more, or save them from the dialog.
    if (run->Hooks.OfferKept && run->Hooks.OfferKept(*kept_) && ShowDialog(*run)) {
      Write(run);
      return;
    }
  }
  QTimer::singleShot(kReconnectPauseMs, run->Owner.data(), [run] {
    if (run->Hooks.Reconnect) run->Hooks.Reconnect();
    run->Finish(true);
  });
}
