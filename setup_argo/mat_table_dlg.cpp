#include "setup_argo/mat_table_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <memory>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "platform/number_text.h"
#include "setup_argo/material_table_rules.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"
#include "ui/opt_string_grid.h"

namespace {

constexpr int kColWidths[6] = {15, 55, 75, 125, 75, 125};
constexpr int kGridLeft = 8;
constexpr int kGridTop = 28;
constexpr int kRowHeight = 20;
constexpr int kColEmiss = 1;
constexpr int kColLoAlarm = 2;
constexpr int kColDevLo = 3;
constexpr int kColHiAlarm = 4;
constexpr int kColDevHi = 5;
constexpr std::uint16_t kFailedRead = 65535;

QCheckBox* SetAllBox(QWidget* parent, const char* name) {
  auto* box = new QCheckBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

TMatTableDlg::TMatTableDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("MatTableDlg"));
  setWindowTitle(QStringLiteral("Dialog"));

  sgMatTable = new TOptStringGrid(this);
  sgMatTable->setObjectName(QStringLiteral("sgMatTable"));
  sgMatTable->SetColCount(6);
  sgMatTable->SetRowCount(9);
  sgMatTable->SetFixedCols(1);
  sgMatTable->SetFixedRows(1);
  sgMatTable->SetDefaultRowHeight(kRowHeight);
  sgMatTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgMatTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgMatTable->setEditTriggers(QAbstractItemView::NoEditTriggers);

  seEmissivity = new TDSpinEdit(this);
  seEmissivity->setObjectName(QStringLiteral("seEmissivity"));
  seEmissivity->SetMinValue(0.1);
  seEmissivity->SetMaxValue(1.1);
  seEmissivity->SetIncrement(0.001);
  seEmissivity->SetDecimal(3);
  seAlarm = new TDSpinEdit(this);
  seAlarm->setObjectName(QStringLiteral("seAlarm"));
  seAlarm->SetIncrement(0.1);
  seAlarm->SetDecimal(1);
  cbAlarmDevice = new QComboBox(this);
  cbAlarmDevice->setObjectName(QStringLiteral("cbAlarmDevice"));
  for (QWidget* editor : {static_cast<QWidget*>(seEmissivity), static_cast<QWidget*>(seAlarm),
                          static_cast<QWidget*>(cbAlarmDevice)}) {
    QFont bold = editor->font();
    bold.setBold(true);
    editor->setFont(bold);
    editor->hide();
  }

  cbAllEmiss = SetAllBox(this, "cbAllEmiss");
  cbAllLoAlarm = SetAllBox(this, "cbAllLoAlarm");
  cbAllLoDevice = SetAllBox(this, "cbAllLoDevice");
  cbAllHiAlarm = SetAllBox(this, "cbAllHiAlarm");
  cbAllHiDevice = SetAllBox(this, "cbAllHiDevice");

  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  PlaceControls();

  sgMatTable->OnSelectCell = [this](QObject*, int col, int row, bool& canSelect) {
    canSelect = true;
    sgMatTableSelectCell(col, row);
  };
  seEmissivity->OnChange = [this](QObject*) { seFloatChange(); };
  seAlarm->OnChange = [this](QObject*) { seFloatChange(); };
  connect(cbAlarmDevice, &QComboBox::currentIndexChanged, this, &TMatTableDlg::cbAlarmDeviceChange);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  FormRegistry::Add(this);
}

QString TMatTableDlg::OtherText(const QString& key, const QString& defaultText) const {
  return FLng ? FLng->OtherText(key, defaultText) : defaultText;
}

bool TMatTableDlg::SingleOutput() const { return MaterialTableRules::SingleOutputFirmware(firmware_); }

void TMatTableDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TMatTableDlg::FormShow() {
  // The dialog may be made after the language was loaded.
  if (FLng) FLng->ApplyTexts(this);
  ready_ = false;
  firmware_ = 0;
  sgMatTable->setEnabled(false);
  btnOK->setEnabled(false);
  SetAlarmLimits();
  FillGrid();
  if (!FDevice) {
    FirmwareKnown(kFailedRead);
    return;
  }
  auto firmware = std::make_shared<std::uint16_t>(kFailedRead);
  const QPointer<TMatTableDlg> self(this);
  const bool posted =
      FDevice->PostDriverJob([firmware](TpyreonArgo& driver) { *firmware = driver.GetFirmwareRevision(); },
                             [self, firmware](bool ran) {
                               if (self && self->isVisible())
                                 self->FirmwareKnown(ran ? *firmware : kFailedRead);
                             });
  if (!posted) FirmwareKnown(kFailedRead);
}

QString TMatTableDlg::OutputText(std::uint8_t code) const {
  const QString alarm = OtherText(QStringLiteral("Alarm"), QStringLiteral("Alarm"));
  const QString channel = OtherText(QStringLiteral("OutputChannel"), QStringLiteral("output channel"));
  switch (code) {
    case MaterialTableRules::kVisualAlarm1:
      return alarm + QStringLiteral(" 1 (") + OtherText(QStringLiteral("Blue"), QStringLiteral("Blue")) +
             QStringLiteral(")");
    case MaterialTableRules::kVisualAlarm2:
      return alarm + QStringLiteral(" 2 (") + OtherText(QStringLiteral("Red"), QStringLiteral("Red")) +
             QStringLiteral(")");
    case MaterialTableRules::kOutputChannel2:
      return channel + QStringLiteral(" 2");
    case MaterialTableRules::kOutputChannel1:
      return channel + QStringLiteral(" 1");
    case MaterialTableRules::kNone:
      return OtherText(QStringLiteral("None"), QStringLiteral("None"));
    default:
      return QString();
  }
}

void TMatTableDlg::FirmwareKnown(int firmware) {
  firmware_ = firmware;
  {
    const QSignalBlocker block(cbAlarmDevice);
    cbAlarmDevice->clear();
    for (const std::uint8_t code : MaterialTableRules::ItemCodes(SingleOutput()))
      cbAlarmDevice->addItem(OutputText(code));
  }
  const QString alarm = OtherText(QStringLiteral("Alarm"), QStringLiteral("Alarm"));
  const QString value = OtherText(QStringLiteral("Value"), QStringLiteral("value"));
  const QString outputTo = OtherText(QStringLiteral("OutputTo"), QStringLiteral("output to"));
  sgMatTable->SetCells(kColEmiss, 0, OtherText(QStringLiteral("Epsilon"), QStringLiteral("Eps.")));
  sgMatTable->SetCells(kColLoAlarm, 0, alarm + QStringLiteral(" A ") + value);
  sgMatTable->SetCells(kColDevLo, 0, alarm + QStringLiteral(" A ") + outputTo);
  sgMatTable->SetCells(kColHiAlarm, 0, alarm + QStringLiteral(" B ") + value);
  sgMatTable->SetCells(kColDevHi, 0, alarm + QStringLiteral(" B ") + outputTo);
  ready_ = true;
  sgMatTable->setEnabled(true);
  btnOK->setEnabled(true);
  FillGrid();
  PlaceControls();
}

void TMatTableDlg::PlaceControls() {
  // Each column is as wide as its widest text (the headers come from the
  // language file), at least its design width; the dialog follows.
  int gridWidth = 4;
  for (int c = 0; c < 6; ++c) {
    int width = kColWidths[c];
    for (int r = 0; r < sgMatTable->RowCount(); ++r)
      width = std::max(width, sgMatTable->CellWidthFor(sgMatTable->Cells(c, r)));
    sgMatTable->SetColWidths(c, width);
    gridWidth += width + 1;
  }
  sgMatTable->setGeometry(kGridLeft, kGridTop, gridWidth, 9 * (kRowHeight + 1) + 4);
  // Each box stands at the right end of its column.
  QCheckBox* boxes[] = {cbAllEmiss, cbAllLoAlarm, cbAllLoDevice, cbAllHiAlarm, cbAllHiDevice};
  int right = kGridLeft + 2;
  for (int c = 0; c < 6; ++c) {
    right += sgMatTable->ColWidths(c) + 1;
    if (c > 0) boxes[c - 1]->setGeometry(right - 5 - 16, kGridTop - 20, 16, 16);
  }
  const int buttonTop = sgMatTable->geometry().bottom() + 10;
  btnCancel->setGeometry(kGridLeft + gridWidth - 80, buttonTop, 80, 26);
  btnOK->setGeometry(kGridLeft + gridWidth - 170, buttonTop, 80, 26);
  setFixedSize(std::max(497, kGridLeft * 2 + gridWidth), buttonTop + 36);
}

void TMatTableDlg::SetAlarmLimits() {
  const auto limits = MaterialTableRules::AlarmLimits(FRangeLow, FRangeHigh, FFahrenheit);
  seAlarm->SetMinValue(limits.Min);
  seAlarm->SetMaxValue(limits.Max);
}

void TMatTableDlg::UnitChanged(bool fahrenheit) {
  FFahrenheit = fahrenheit;
  // The editor's limits follow the unit, so no alarm is clamped against a
  // range in the other unit.
  SetAlarmLimits();
  FillGrid();
}

void TMatTableDlg::FillGrid() {
  seEmissivity->hide();
  seAlarm->hide();
  cbAlarmDevice->hide();
  const QColor windowText = palette().color(QPalette::WindowText);
  const QColor grey = palette().color(QPalette::Disabled, QPalette::WindowText);
  for (int r = 0; r < 8; ++r) {
    const TArgoMaterialRow& row = FTable[static_cast<std::size_t>(r)];
    sgMatTable->SetCells(0, r + 1, QString::number(r));
    sgMatTable->SetCells(kColEmiss, r + 1, NumberText::FormatFixed(row.Emiss, 3));
    QString text;
    SentinelUtils::FormatTemperature(FFahrenheit, false, text, row.LoAlarm);
    sgMatTable->SetCells(kColLoAlarm, r + 1, text);
    SentinelUtils::FormatTemperature(FFahrenheit, false, text, row.HiAlarm);
    sgMatTable->SetCells(kColHiAlarm, r + 1, text);
    for (const auto& [col, code] :
         {std::pair<int, std::uint8_t>{kColDevLo, row.DevLo}, {kColDevHi, row.DevHi}}) {
      // A code the firmware offers no item for shows blank.
      const bool shown = !ready_ || MaterialTableRules::ItemForCode(code, SingleOutput()) >= 0;
      const bool noEffect = MaterialTableRules::OutputWithoutEffect(code, FCh1Analog, FCh2Analog);
      // Image 0 keeps the cell's decoration, and with it the colour.
      sgMatTable->SetCell(col, r + 1, 0, 0, noEffect ? grey : windowText,
                          shown ? OutputText(code) : QString());
    }
  }
}

void TMatTableDlg::sgMatTableSelectCell(int col, int row) {
  FillGrid();
  editCol_ = col;
  editRow_ = row;
  if (!ready_ || row < 1 || row > 8) return;
  const TArgoMaterialRow& r = FTable[static_cast<std::size_t>(row - 1)];
  switch (col) {
    case kColEmiss:
      PlaceEditor(seEmissivity, col, row);
      seEmissivity->SetValue(r.Emiss);
      break;
    case kColLoAlarm:
    case kColHiAlarm:
      PlaceEditor(seAlarm, col, row);
      seAlarm->SetValue(
          SentinelUtils::CelsiusToUnit(FFahrenheit, col == kColLoAlarm ? r.LoAlarm : r.HiAlarm));
      break;
    case kColDevLo:
    case kColDevHi: {
      PlaceEditor(cbAlarmDevice, col, row);
      const QSignalBlocker block(cbAlarmDevice);
      cbAlarmDevice->setCurrentIndex(
          MaterialTableRules::ItemForCode(col == kColDevLo ? r.DevLo : r.DevHi, SingleOutput()));
      break;
    }
    default:
      break;
  }
}

void TMatTableDlg::PlaceEditor(QWidget* editor, int col, int row) {
  const QRect cell = sgMatTable->CellRect(col, row);
  const QPoint origin = sgMatTable->viewport()->mapTo(this, cell.topLeft());
  editor->setGeometry(origin.x() + 2, origin.y() + 2, cell.width(), cell.height() - 2);
  editor->show();
  editor->raise();
}

void TMatTableDlg::seFloatChange() {
  const int row = editRow_ - 1;
  if (row < 0 || row > 7) return;
  double value = 0;
  if (editCol_ == kColEmiss) {
    if (!seEmissivity->TryValue(value)) return;
    MaterialTableRules::SetEmissivity(FTable, row, static_cast<float>(value), cbAllEmiss->isChecked());
  } else if (editCol_ == kColLoAlarm || editCol_ == kColHiAlarm) {
    if (!seAlarm->TryValue(value)) return;
    const bool alarmB = editCol_ == kColHiAlarm;
    MaterialTableRules::SetAlarm(FTable, alarmB, row,
                                 SentinelUtils::UnitToCelsius(FFahrenheit, static_cast<float>(value)),
                                 (alarmB ? cbAllHiAlarm : cbAllLoAlarm)->isChecked());
  } else {
    return;
  }
  // The edited cell follows at the next fill; with "Set all" the whole
  // column is rewritten now.
  const bool all = (editCol_ == kColEmiss && cbAllEmiss->isChecked()) ||
                   (editCol_ == kColLoAlarm && cbAllLoAlarm->isChecked()) ||
                   (editCol_ == kColHiAlarm && cbAllHiAlarm->isChecked());
  if (!all) return;
  for (int r = 0; r < 8; ++r) {
    const TArgoMaterialRow& tr = FTable[static_cast<std::size_t>(r)];
    QString text;
    if (editCol_ == kColEmiss)
      text = NumberText::FormatFixed(tr.Emiss, 3);
    else
      SentinelUtils::FormatTemperature(FFahrenheit, false, text,
                                       editCol_ == kColLoAlarm ? tr.LoAlarm : tr.HiAlarm);
    sgMatTable->SetCells(editCol_, r + 1, text);
  }
}

void TMatTableDlg::cbAlarmDeviceChange() {
  const int col = sgMatTable->Col();
  const int row = sgMatTable->Row() - 1;
  const int code = MaterialTableRules::CodeForItem(cbAlarmDevice->currentIndex(), SingleOutput());
  if (code < 0 || row < 0 || row > 7 || (col != kColDevLo && col != kColDevHi)) return;
  const bool alarmB = col == kColDevHi;
  MaterialTableRules::SetOutput(FTable, alarmB, row, static_cast<std::uint8_t>(code),
                                (alarmB ? cbAllHiDevice : cbAllLoDevice)->isChecked());
  FillGrid();
}
