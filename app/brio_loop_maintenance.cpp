#include "app/brio_loop_maintenance.h"

#include <QPointer>
#include <memory>

#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"

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

bool TBrioLoopMaintenance::Run(std::uint8_t code, DeviceFamily& family, QObject* owner,
                               std::function<void()> finished) {
  TBrioLoopMaintenanceDialog* dialog = DialogFor(code);
  auto* first = dynamic_cast<BrioFamily*>(&family);
  auto* second = dynamic_cast<BrioMaFamily*>(&family);
  const bool fits = DeviceType::IsBrioFirstGeneration(code) ? first != nullptr : second != nullptr;
  if (dialog == nullptr || !fits) return false;

  auto done = std::make_shared<std::function<void()>>(std::move(finished));
  const QPointer<QObject> alive(owner);
  const auto post = [=](bool enter, std::function<void(bool)> then) {
    if (first != nullptr)
      return first->PostDriverJob(
          [=](TpyreonBrio& d) { enter ? Enter(d, code) : static_cast<void>(Leave(d, code)); },
          std::move(then));
    return second->PostDriverJob(
        [=](TpyreonBrio_mA& d) { enter ? Enter(d, code) : static_cast<void>(Leave(d, code)); },
        std::move(then));
  };
  const auto end = [=](bool) {
    if (alive && *done) (*done)();
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
    }
    dialog->SetDevice(nullptr);
    if (!post(false, end)) end(false);
  };
  if (!post(true, show)) show(false);
  return true;
}
