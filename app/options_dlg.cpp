#include "app/options_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>

#include "app/modal_result.h"
#include "app/process_priority.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "ui/dialog_buttons.h"
#include "ui/event_adapters.h"
#include "ui/form_registry.h"
#include "ui/radio_group.h"

namespace {

// The widest the title field grows for a long title.
constexpr int kMaxTitleFieldWidth = 420;

}  // namespace

TOptionsDlg::TOptionsDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("OptionsDlg"));
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto box = [this](const char* name, const QString& text, TOption flag) {
    auto* b = new QCheckBox(text, this);
    b->setObjectName(QString::fromLatin1(name));
    flagBoxes_.emplace_back(b, flag);
    return b;
  };
  cbAskForSaving = box("cbAskForSaving", QStringLiteral("Ask for saving"), TOption::AskForSaving);
  cbForceSaving =
      box("cbForceSaving", QStringLiteral("Force data saving after \"stop\""), TOption::ForceSaving);
  cbAutoScan = box("cbAutoScan", QStringLiteral("Auto scan device"), TOption::AutoScan);
  cbAutoScan->setToolTip(QStringLiteral("Scans for a device if the program is launched"));
  cbAutoStart = box("cbAutoStart", QStringLiteral("Auto start device"), TOption::AutoStart);
  cbAutoStart->setToolTip(QStringLiteral("Starts measuring if a device is found correctly "));
  cbScanNonUSB = box("cbScanNonUSB", QStringLiteral("Scan non-USB devices"), TOption::ScanNonUSBDevices);
  cbEnableLASER = box("cbEnableLASER", QStringLiteral("Enable LASER"), TOption::LASER_Button_enabled);
  cbLaserWarning =
      box("cbLaserWarning", QStringLiteral("Warning message if LASER ON"), TOption::LASER_Warning_enabled);
  cbBriov2InputInspection = box("cbBriov2InputInspection", QStringLiteral("Brio rev. 2 - Input monitoring"),
                                TOption::Briov2InputInspection);

  gbDecimalSeparator = new QGroupBox(QStringLiteral("Decimal separator"), this);
  gbDecimalSeparator->setObjectName(QStringLiteral("gbDecimalSeparator"));
  rbSystem = new QRadioButton(QStringLiteral("System"), gbDecimalSeparator);
  rbSystem->setObjectName(QStringLiteral("rbSystem"));
  rbUserDefined = new QRadioButton(QStringLiteral("User defined:"), gbDecimalSeparator);
  rbUserDefined->setObjectName(QStringLiteral("rbUserDefined"));
  eDecimalSeparator = new QLineEdit(gbDecimalSeparator);
  eDecimalSeparator->setObjectName(QStringLiteral("eDecimalSeparator"));
  eDecimalSeparator->setMaxLength(1);
  eDecimalSeparator->setFixedWidth(30);
  // Another character would split the data file's columns or make its
  // numbers unreadable.
  eDecimalSeparator->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[.,]?")), eDecimalSeparator));
  {
    auto* l = new QHBoxLayout(gbDecimalSeparator);
    l->addWidget(rbSystem);
    l->addWidget(rbUserDefined);
    l->addWidget(eDecimalSeparator);
    l->addStretch();
  }

  gbAppTitle = new QGroupBox(QStringLiteral("Application title"), this);
  gbAppTitle->setObjectName(QStringLiteral("gbAppTitle"));
  rbAppName = new QRadioButton(QStringLiteral("Application name"), gbAppTitle);
  rbAppName->setObjectName(QStringLiteral("rbAppName"));
  rbUserDefTitle = new QRadioButton(QStringLiteral("User defined"), gbAppTitle);
  rbUserDefTitle->setObjectName(QStringLiteral("rbUserDefTitle"));
  eUserDefTitle = new QLineEdit(gbAppTitle);
  eUserDefTitle->setObjectName(QStringLiteral("eUserDefTitle"));
  {
    auto* l = new QVBoxLayout(gbAppTitle);
    l->addWidget(rbAppName);
    // The title gets the whole width of the group, under its choice.
    l->addWidget(rbUserDefTitle);
    l->addWidget(eUserDefTitle);
  }
  for (QRadioButton* rb : {rbSystem, rbUserDefined, rbAppName, rbUserDefTitle})
    EventAdapters::OnCheckClick(rb, [this] { RadioClick(); });

  rgTempUnit = new RadioGroup(this);
  rgTempUnit->setObjectName(QStringLiteral("rgTempUnit"));
  rgTempUnit->setTitle(QStringLiteral("Temp unit"));
  rgTempUnit->SetColumns(2);
  rgTempUnit->SetTag(16);
  rgTempUnit->SetItems({QStringLiteral("C"), QStringLiteral("F")});

  gbPriority = new QGroupBox(QStringLiteral("System priority :"), this);
  gbPriority->setObjectName(QStringLiteral("gbPriority"));
  lblPriority = new QLabel(gbPriority);
  lblPriority->setObjectName(QStringLiteral("lblPriority"));
  cbPriority = new QComboBox(gbPriority);
  cbPriority->setObjectName(QStringLiteral("cbPriority"));
  auto hidden = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, gbPriority);
    l->setObjectName(QString::fromLatin1(name));
    l->hide();
    return l;
  };
  lblIdle = hidden("lblIdle", QStringLiteral("idle"));
  lblNormal = hidden("lblNormal", QStringLiteral("normal"));
  lblHigh = hidden("lblHigh", QStringLiteral("high"));
  lblRealtime = hidden("lblRealtime", QStringLiteral("realtime"));
  {
    auto* l = new QHBoxLayout(gbPriority);
    l->addWidget(lblPriority);
    l->addWidget(cbPriority, 1);
  }

  QHBoxLayout* buttons =
      DialogButtons::OkCancel(this, btnOK, btnCancel, QStringLiteral("Cancel"), [this] { btnOKClick(); });

  auto* layout = new QVBoxLayout(this);
  for (const auto& [b, flag] : flagBoxes_) {
    (void)flag;
    layout->addWidget(b);
  }
  layout->addWidget(gbDecimalSeparator);
  layout->addWidget(gbAppTitle);
  layout->addWidget(rgTempUnit);
  layout->addWidget(gbPriority);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}

std::uint32_t TOptionsDlg::ShownFlags() {
  std::uint32_t mask = 0;
  for (TOption o :
       {TOption::AskForSaving, TOption::ForceSaving, TOption::AutoScan, TOption::AutoStart,
        TOption::ScanNonUSBDevices, TOption::DecimalSeparator, TOption::LASER_Button_enabled,
        TOption::ApplicationTitle_Mode, TOption::LASER_Warning_enabled, TOption::Briov2InputInspection})
    mask |= 1u << static_cast<int>(o);
  return mask;
}

void TOptionsDlg::reject() { done(mrCancel); }

void TOptionsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TOptionsDlg::FormShow() {
  for (const auto& [b, flag] : flagBoxes_) b->setChecked(Options.Has(flag));
  (Options.Has(TOption::DecimalSeparator) ? rbUserDefined : rbSystem)->setChecked(true);
  eDecimalSeparator->setText(TConfig::IsAllowedDecimalSeparator(Options.DecimalUserDefined)
                                 ? QString(Options.DecimalUserDefined)
                                 : QStringLiteral("."));
  (Options.Has(TOption::ApplicationTitle_Mode) ? rbUserDefTitle : rbAppName)->setChecked(true);
  eUserDefTitle->setText(Options.ApplicationTitle_Title);
  // Room for the whole title (a long one up to a sensible width).
  eUserDefTitle->setMinimumWidth(std::min(
      kMaxTitleFieldWidth, eUserDefTitle->fontMetrics().horizontalAdvance(eUserDefTitle->text()) + 16));
  RadioClick();
  cbBriov2InputInspection->setVisible(DeviceType == DeviceType::Briov2 || DeviceType == DeviceType::Dunav2);
  // The unit texts of the language in use.
  rgTempUnit->SetItems({SentinelUtils::UnitCelsiusText, SentinelUtils::UnitFahrenheitText});
  rgTempUnit->SetItemIndex(TempUnit);
  rgTempUnit->setEnabled(TempUnitEnabled);
  setWindowIcon(QApplication::windowIcon());
  cbPriority->clear();
  cbPriority->addItems({lblIdle->text(), lblNormal->text(), lblHigh->text(), lblRealtime->text()});
  shownPriority_ = ProcessPriority::Current();
  cbPriority->setCurrentIndex(shownPriority_);
}

void TOptionsDlg::RadioClick() {
  eDecimalSeparator->setEnabled(rbUserDefined->isChecked());
  eUserDefTitle->setEnabled(rbUserDefTitle->isChecked());
}

void TOptionsDlg::btnOKClick() {
  std::uint32_t shown = 0;
  for (const auto& [b, flag] : flagBoxes_)
    if (b->isChecked()) shown |= 1u << static_cast<int>(flag);
  if (rbUserDefined->isChecked()) shown |= 1u << static_cast<int>(TOption::DecimalSeparator);
  if (rbUserDefTitle->isChecked()) shown |= 1u << static_cast<int>(TOption::ApplicationTitle_Mode);
  Options.Flags = (Options.Flags & ~ShownFlags()) | shown;
  const QString separator = eDecimalSeparator->text();
  Options.DecimalUserDefined = !separator.isEmpty() && TConfig::IsAllowedDecimalSeparator(separator.at(0))
                                   ? separator.at(0)
                                   : QLatin1Char('.');
  Options.ApplicationTitle_Title = eUserDefTitle->text();
  RadioClick();
  TempUnit = static_cast<std::uint8_t>(std::max(0, rgTempUnit->ItemIndex()));
  Priority = cbPriority->currentIndex();
  // Only a changed class is set: setting "idle" again would move a process
  // that runs a little lower than normal down to the lowest priority.
  if (Priority != shownPriority_) ProcessPriority::Apply(Priority);
  done(mrOk);
}
