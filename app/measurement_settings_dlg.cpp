#include "app/measurement_settings_dlg.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/modal_result.h"
#include "ui/dialog_buttons.h"
#include "ui/form_registry.h"
#include "ui/loading_guard.h"

namespace {

// Only the arrows: the interval stands in the text beside it.
class ArrowsOnlySpinBox : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  QString textFromValue(int) const override { return QString(); }
};

}  // namespace

TMeasurementSettingsDlg::TMeasurementSettingsDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("MeasurementSettingsDlg"));
  setWindowTitle(QStringLiteral("Measurement settings"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  auto value = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(120);
    return l;
  };
  lblResolution =
      label("lblResolution", QStringLiteral("Recording interval (equal with diagram resolution):"));
  stResolution = value("stResolution");
  udResolution = new ArrowsOnlySpinBox(this);
  udResolution->setObjectName(QStringLiteral("udResolution"));
  udResolution->setRange(0, MeasurementSettingsTexts::kIntervalCount - 1);
  udResolution->setFixedWidth(24);
  connect(udResolution, &QSpinBox::valueChanged, this, [this] {
    if (!loading_) udResolutionClick();
  });
  lblRecordingTime = label("lblRecordingTime", QStringLiteral("Recording time:"));
  stRecordingTime = value("stRecordingTime");
  lblMaxData = label("lblMaxData", QStringLiteral("Max. data count"));
  lblMaxData->setToolTip(QStringLiteral("Number of Values to be recorded"));
  lbl1000 = label("lbl1000", QStringLiteral("1000 x "));
  seMaxData = new QSpinBox(this);
  seMaxData->setObjectName(QStringLiteral("seMaxData"));
  seMaxData->setRange(1, 10000);
  seMaxData->setValue(5000);
  connect(seMaxData, &QSpinBox::valueChanged, this, [this] { seMaxDataChange(); });
  lblMemory = label("lblMemory", QStringLiteral("Memory:"));
  stMemory = value("stMemory");

  gbReached = new QGroupBox(QStringLiteral("If max. data count reached ..."), this);
  gbReached->setObjectName(QStringLiteral("gbReached"));
  rbStop = new QRadioButton(QStringLiteral("Stop"), gbReached);
  rbStop->setObjectName(QStringLiteral("rbStop"));
  rbOverwrite = new QRadioButton(QStringLiteral("Overwrite"), gbReached);
  rbOverwrite->setObjectName(QStringLiteral("rbOverwrite"));
  {
    auto* l = new QVBoxLayout(gbReached);
    l->addWidget(rbStop);
    l->addWidget(rbOverwrite);
  }
  gbCommunication = new QGroupBox(QStringLiteral("Communication mode"), this);
  gbCommunication->setObjectName(QStringLiteral("gbCommunication"));
  gbCommModeAuto = new QRadioButton(QStringLiteral("Auto"), gbCommunication);
  gbCommModeAuto->setObjectName(QStringLiteral("gbCommModeAuto"));
  gbCommModeReal = new QRadioButton(QStringLiteral("Realtime"), gbCommunication);
  gbCommModeReal->setObjectName(QStringLiteral("gbCommModeReal"));
  gbCommModePoll = new QRadioButton(QStringLiteral("Polling"), gbCommunication);
  gbCommModePoll->setObjectName(QStringLiteral("gbCommModePoll"));
  {
    auto* l = new QVBoxLayout(gbCommunication);
    l->addWidget(gbCommModeAuto);
    l->addWidget(gbCommModeReal);
    l->addWidget(gbCommModePoll);
  }

  QHBoxLayout* buttons =
      DialogButtons::OkCancel(this, btnOK, btnCancel, QStringLiteral("Abbrechen"), [this] { btnOKClick(); });

  auto* grid = new QGridLayout;
  grid->addWidget(lblResolution, 0, 0, 1, 3);
  grid->addWidget(stResolution, 1, 1);
  grid->addWidget(udResolution, 1, 2);
  grid->addWidget(lblMaxData, 2, 0);
  grid->addWidget(lbl1000, 2, 1, Qt::AlignRight);
  grid->addWidget(seMaxData, 2, 2);
  grid->addWidget(lblRecordingTime, 3, 0);
  grid->addWidget(stRecordingTime, 3, 1, 1, 2);
  grid->addWidget(lblMemory, 4, 0);
  grid->addWidget(stMemory, 4, 1, 1, 2);
  auto* groups = new QHBoxLayout;
  groups->addWidget(gbReached);
  groups->addWidget(gbCommunication);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}

void TMeasurementSettingsDlg::reject() { done(mrCancel); }

void TMeasurementSettingsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TMeasurementSettingsDlg::SetResolution(float r) {
  if (r == resolution_) return;
  resolution_ = r;
  stResolution->setText(texts_.IntervalText(r));
  {
    LoadingGuard guard(loading_);
    udResolution->setValue(MeasurementSettingsTexts::IntervalIndex(r));
  }
  ShowRecordingTime();
}

void TMeasurementSettingsDlg::udResolutionClick() {
  SetResolution(MeasurementSettingsTexts::Intervals()[static_cast<std::size_t>(udResolution->value())]);
}

void TMeasurementSettingsDlg::seMaxDataChange() {
  MaxData = static_cast<std::int64_t>(seMaxData->value()) * 1000;
  stMemory->setText(MeasurementSettingsTexts::MemoryText(MaxData));
  ShowRecordingTime();
}

void TMeasurementSettingsDlg::ShowRecordingTime() {
  stRecordingTime->setText(texts_.RecordingTimeText(static_cast<double>(MaxData) * resolution_));
}

void TMeasurementSettingsDlg::FormShow() {
  const std::int64_t count = MaxData / 1000;
  seMaxData->setValue(static_cast<int>(std::clamp<std::int64_t>(count, 1, 10000)));
  seMaxDataChange();
  (OnMaxData != 0 ? rbOverwrite : rbStop)->setChecked(true);
  (CommMode == 1 ? gbCommModeReal : CommMode == 2 ? gbCommModePoll : gbCommModeAuto)->setChecked(true);
  setWindowIcon(QApplication::windowIcon());
}

void TMeasurementSettingsDlg::btnOKClick() {
  OnMaxData = rbStop->isChecked() ? 0 : 1;
  CommMode = gbCommModeReal->isChecked() ? 1 : gbCommModePoll->isChecked() ? 2 : 0;
  done(mrOk);
}
