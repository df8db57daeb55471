#include "app/brio_loop_maintenance.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "platform/logger.h"

TBrioLoopMaintenance::TDialogKind TBrioLoopMaintenance::DialogKindOf(std::uint8_t code) {
  if (DeviceType::IsBrioFirstGeneration(code)) return TDialogKind::Brio;
  if (code == DeviceType::Briov2 || code == DeviceType::Dunav2) return TDialogKind::Briov2;
  if (DeviceType::IsBrioSecondGeneration(code)) return TDialogKind::Dazo4_20;
  return TDialogKind::None;
}

void TBrioLoopMaintenance::Enter(TpyreonBrio& driver, std::uint8_t code) {
  if (DeviceType::IsBrioFirstGeneration(code)) driver.EnterLoopMaintenance();
}

void TBrioLoopMaintenance::Enter(TpyreonBrio_mA& driver, std::uint8_t code) {
  if (DialogKindOf(code) == TDialogKind::Briov2) driver.StartLoopMaintenance(true);
}

bool TBrioLoopMaintenance::Leave(TpyreonBrio& driver, std::uint8_t code) {
  return DeviceType::IsBrioFirstGeneration(code) ? driver.PowerOnDevice(true) : true;
}

bool TBrioLoopMaintenance::Leave(TpyreonBrio_mA& driver, std::uint8_t code) {
  return DialogKindOf(code) == TDialogKind::Briov2 ? driver.PowerOnHandshake(true) : true;
}

void TBrioLoopMaintenance::SetDialog(TDialogKind kind, TBrioLoopMaintenanceDialog* dialog) {
  if (kind != TDialogKind::None) dialogs_[static_cast<std::size_t>(kind)] = dialog;
}

TBrioLoopMaintenanceDialog* TBrioLoopMaintenance::DialogFor(std::uint8_t code) const {
  const TDialogKind kind = DialogKindOf(code);
  return kind == TDialogKind::None ? nullptr : dialogs_[static_cast<std::size_t>(kind)];
}

bool TBrioLoopMaintenance::Run(std::uint8_t code, DeviceFamily& family, QObject* owner, THooks hooks) {
  TBrioLoopMaintenanceDialog* dialog = DialogFor(code);
  auto* first = dynamic_cast<BrioFamily*>(&family);
  auto* second = dynamic_cast<BrioMaFamily*>(&family);
  const bool fits = DeviceType::IsBrioFirstGeneration(code) ? first != nullptr : second != nullptr;
  if (dialog == nullptr || !fits) return false;

  auto shared = std::make_shared<THooks>(std::move(hooks));
  const QPointer<QObject> alive(owner);
  // Only the first generation and the Briov2 models have steps (a power
  // cycle each); the others go straight to the dialog.
  const bool stepped = DialogKindOf(code) != TDialogKind::Dazo4_20;
  // Posts a step on the device's session; while it runs, its progress
  // follows the time its power cycle takes. False when the session has
  // ended (`then` is not called).
  const auto post = [=](bool enter, std::function<void(bool)> then) {
    QPointer<QTimer> ticker;
    if (stepped && alive && shared->Progress) {
      ticker = new QTimer(alive.data());
      ticker->setInterval(kProgressTickMs);
      QElapsedTimer clock;
      clock.start();
      QObject::connect(ticker.data(), &QTimer::timeout, ticker.data(), [shared, clock] {
        const qint64 percent = 1 + clock.elapsed() * 99 / kStepMs;
        if (shared->Progress) shared->Progress(static_cast<int>(std::clamp<qint64>(percent, 1, 99)));
      });
      shared->Progress(1);
      ticker->start();
    }
    const auto stop = [=] {
      if (ticker == nullptr) return;
      ticker->stop();
      ticker->deleteLater();
      if (alive && shared->Progress) shared->Progress(0);
    };
    const auto ended = [=](bool ran) {
      stop();
      then(ran);
    };
    const bool posted =
        first != nullptr
            ? first->PostDriverJob(
                  [=](TpyreonBrio& d) { enter ? Enter(d, code) : static_cast<void>(Leave(d, code)); }, ended)
            : second->PostDriverJob(
                  [=](TpyreonBrio_mA& d) { enter ? Enter(d, code) : static_cast<void>(Leave(d, code)); },
                  ended);
    if (!posted) stop();
    return posted;
  };
  const auto end = [=](bool) {
    if (alive && shared->Finished) shared->Finished();
  };
  DeviceFamily* device = &family;
  const auto show = [=](bool ran) {
    if (!alive) return;
    // A device closed meanwhile gets no dialog.
    if (!ran) {
      end(false);
      return;
    }
    dialog->SetDevice(device);
    try {
      dialog->ShowModal();
    } catch (...) {
      // The device still leaves loop maintenance below.
      Logger::Caught(Logger::Level::Error, QStringLiteral("loop maintenance"),
                     QStringLiteral("the loop-maintenance dialog failed"));
    }
    dialog->SetDevice(nullptr);
    if (!post(false, end)) end(false);
  };
  if (!post(true, show)) show(false);
  return true;
}
