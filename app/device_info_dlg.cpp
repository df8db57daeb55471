#include "app/device_info_dlg.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/modal_result.h"
#include "drivers/sentinel_utils.h"
#include "ui/form_registry.h"

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// A sunken, centred text field.
QLabel* MakeStaticText(QWidget* parent, const char* name, const QString& text) {
  QLabel* label = MakeLabel(parent, name, text);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumWidth(180);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

TDeviceInfoDlg::TDeviceInfoDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DeviceInfoDlg"));
  setWindowTitle(QStringLiteral("Device Information"));

  lblDeviceType = MakeLabel(this, "lblDeviceType", QStringLiteral("Device type:"));
  stDeviceType = MakeStaticText(this, "stDeviceType", QStringLiteral("??"));
  lblSerial = MakeLabel(this, "lblSerial", QStringLiteral("Serial No.:"));
  stSerial = MakeStaticText(this, "stSerial", QStringLiteral("00000000"));
  lblFirmware = MakeLabel(this, "lblFirmware", QStringLiteral("Firmware Rev.:"));
  stFirmware = MakeStaticText(this, "stFirmware", QStringLiteral("0.000"));
  bvlDeviceRange = new QFrame(this);
  bvlDeviceRange->setObjectName(QStringLiteral("bvlDeviceRange"));
  bvlDeviceRange->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  lblDeviceRange = MakeLabel(this, "lblDeviceRange", QStringLiteral("IR Temperature range:"));
  stDeviceRange = MakeStaticText(this, "stDeviceRange", QStringLiteral("0.0 .. 0.0"));
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, [this] { done(mrOk); });

  auto* grid = new QGridLayout;
  grid->addWidget(lblDeviceType, 0, 0);
  grid->addWidget(stDeviceType, 0, 1);
  grid->addWidget(lblSerial, 1, 0);
  grid->addWidget(stSerial, 1, 1);
  grid->addWidget(lblFirmware, 2, 0);
  grid->addWidget(stFirmware, 2, 1);
  grid->addWidget(bvlDeviceRange, 3, 0, 1, 2);
  grid->addWidget(lblDeviceRange, 4, 0);
  grid->addWidget(stDeviceRange, 4, 1);
  grid->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}

QString TDeviceInfoDlg::RangeText() const {
  QString low;
  QString high;
  SentinelUtils::FormatTemperature(Fahrenheit, false, low, RangeLow);
  SentinelUtils::FormatTemperature(Fahrenheit, false, high, RangeHigh);
  return QStringLiteral("%1 .. %2").arg(low, high);
}

void TDeviceInfoDlg::UnitMessage(int unitFlag) {
  Fahrenheit = unitFlag != 0;
  stDeviceRange->setText(RangeText());
}

void TDeviceInfoDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TDeviceInfoDlg::FormShow() {
  stDeviceType->setText(DeviceTypeText);
  stSerial->setText(SerialText);
  stFirmware->setText(FirmwareText);
  const bool rangeShown = !stDeviceRange->isHidden();
  lblDeviceRange->setVisible(rangeShown);
  bvlDeviceRange->setVisible(rangeShown);
  stDeviceRange->setText(RangeText());
  setWindowIcon(QApplication::windowIcon());
}
