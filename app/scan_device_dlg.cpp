#include "app/scan_device_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/brio/brio_notify.h"
#include "drivers/brio/pyreon_brio.h"
#include "drivers/brio/pyreon_brio_ma.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "platform/device_change_watcher.h"
#include "platform/number_text.h"
#include "platform/port_map.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"
#include "ui/opt_string_grid.h"

namespace {

constexpr int kColumns = 7;
constexpr int kDefaultColWidth = 45;
constexpr int kDefaultRowHeight = 18;
constexpr int kMessageWidth = 350;
constexpr int kMaxGridHeight = 400;
// A device thread that does not end in this time is left to end by itself.
constexpr int kRowShutdownMs = 1500;

QString TypeName(std::uint8_t code) {
  QString s;
  SentinelUtils::DeviceTypeName(code, s);
  return s;
}

QString BaudText(const TScanResult& r) {
  static const char* const kRates[] = {"9600", "19200 ", "38400 ", "57600 ", "115200 "};
  if (!DeviceType::IsSingleColour(r.DeviceType) || r.BaudIndex > 4) return QStringLiteral("9600");
  return QString::fromLatin1(kRates[r.BaudIndex]);
}

bool IsSecondGenerationName(const QString& name) {
  for (std::uint8_t code = DeviceType::Brio2W; code <= DeviceType::Duna2W2Mv2; ++code)
    if (name == TypeName(code)) return true;
  return false;
}

}  // namespace

// One grid row's preview device, on its own device thread.
struct TScanDeviceDlg::Row {
  TScanResult Result;
  std::unique_ptr<DeviceFamily> Family;
  bool HighResolution = false;
  bool Opened = false;
  // The preview found bytes waiting and asked for a Refresh.
  bool RefreshAsked = false;

  ~Row() {
    // A thread stuck in a wait keeps its family: it is never deleted under it.
    if (Family != nullptr) {
      Family->Close();
      if (!Family->Shutdown(0, kRowShutdownMs)) static_cast<void>(Family.release());
    }
  }
};

TScanDeviceDlg::TScanDeviceDlg(QWidget* owner) : QDialog(owner), scan_(new TDeviceScan(this)) {
  setObjectName(QStringLiteral("ScanDeviceDlg"));
  setWindowTitle(QStringLiteral("Device Selection:"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  pnlMessage = new QLabel(this);
  pnlMessage->setObjectName(QStringLiteral("pnlMessage"));
  pnlMessage->setAlignment(Qt::AlignCenter);
  pnlMessage->setMinimumHeight(41);
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  font.setPixelSize(16);
  pnlMessage->setFont(font);
  pnlMessage->setStyleSheet(QStringLiteral("color: navy"));
  layout->addWidget(pnlMessage);

  pnlGrid = new QFrame(this);
  pnlGrid->setObjectName(QStringLiteral("pnlGrid"));
  auto* gridLayout = new QVBoxLayout(pnlGrid);
  gridLayout->setContentsMargins(1, 1, 1, 1);
  Grid = new TOptStringGrid(pnlGrid);
  Grid->setObjectName(QStringLiteral("Grid"));
  Grid->SetColCount(kColumns);
  Grid->SetRowCount(1);
  Grid->SetDefaultColWidth(kDefaultColWidth);
  Grid->SetDefaultRowHeight(kDefaultRowHeight);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->OnDblClick = [this](QObject*) {
    if (HasSelection()) btnSelectClick();
  };
  gridLayout->addWidget(Grid);
  layout->addWidget(pnlGrid);

  pnlControl = new QFrame(this);
  pnlControl->setObjectName(QStringLiteral("pnlControl"));
  auto* buttons = new QHBoxLayout(pnlControl);
  btnRefresh = new QPushButton(QStringLiteral("&Refresh"), pnlControl);
  btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), pnlControl);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnSelect = new QPushButton(QStringLiteral("&Select"), pnlControl);
  btnSelect->setObjectName(QStringLiteral("btnSelect"));
  btnSelect->setEnabled(false);
  buttons->addWidget(btnRefresh);
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnSelect);
  layout->addWidget(pnlControl);
  connect(btnRefresh, &QPushButton::clicked, this, &TScanDeviceDlg::btnRefreshClick);
  connect(btnCancel, &QPushButton::clicked, this, &TScanDeviceDlg::btnCancelClick);
  connect(btnSelect, &QPushButton::clicked, this, &TScanDeviceDlg::btnSelectClick);

  TempTimer = new QTimer(this);
  TempTimer->setObjectName(QStringLiteral("TempTimer"));
  TempTimer->setInterval(150);
  TempTimer->setSingleShot(true);
  connect(TempTimer, &QTimer::timeout, this, &TScanDeviceDlg::TempTimerTimer);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &TScanDeviceDlg::Timer1Timer);
  DelayTimer = new QTimer(this);
  DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
  DelayTimer->setInterval(1500);
  DelayTimer->setSingleShot(true);
  connect(DelayTimer, &QTimer::timeout, this, &TScanDeviceDlg::btnRefreshClick);

  scan_->OnProgress = [this](int percent) { ShowProgress(percent); };
  scan_->OnFamilyDone = [this](bool singleColour, const TDeviceScan::Results& found) {
    FamilyDone(singleColour, found);
  };
  pnlGrid->hide();
  pnlControl->hide();
  resize(kMessageWidth, pnlMessage->minimumHeight() + 1);

  FormRegistry::Add(this);
}

TScanDeviceDlg::~TScanDeviceDlg() {
  scan_->Cancel();
  rows_.clear();
}

QString TScanDeviceDlg::ReadText(const QString& key, const QString& defaultText,
                                 const QString& section) const {
  return LIS_ != nullptr ? LIS_->ReadText(key, defaultText, section) : defaultText;
}

void TScanDeviceDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TScanDeviceDlg::FormShow() {
  Shown = true;
  if (watcher_ == nullptr) {
    watcher_ = new TDeviceChangeWatcher(this);
    watcher_->OnDeviceChange = [this](int port, bool arrived) { DeviceChange(port, !arrived); };
  }
  AutoSelected = false;
  SelectedIndex = -99999;
  ShowProgress(0);
  pnlMessage->show();
  pnlGrid->hide();
  pnlControl->hide();
  resize(kMessageWidth, pnlMessage->minimumHeight());
  TempTimer->stop();
  Timer1->start();
  PreviousDeviceType = DeviceType;
  SetHeaders();
}

void TScanDeviceDlg::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TScanDeviceDlg::FormClose() {
  TempTimer->stop();
  Timer1->stop();
  DelayTimer->stop();
  scan_->Cancel();
  Grid->clearSelection();
  pnlGrid->hide();
  pnlMessage->show();
  ClearRows();
  Shown = false;
}

void TScanDeviceDlg::SetHeaders() {
  static const char* const kKeys[6][2] = {{LNG_OTHER_TEXT("tableScanDeviceDlg_No", "No")},
                                          {LNG_OTHER_TEXT("tableScanDeviceDlg_Dev", "Device")},
                                          {LNG_OTHER_TEXT("tableScanDeviceDlg_Ser", "Serial")},
                                          {LNG_OTHER_TEXT("tableScanDeviceDlg_Com", "Com")},
                                          {LNG_OTHER_TEXT("tableScanDeviceDlg_Baud", "Baudrate")},
                                          {LNG_OTHER_TEXT("tableScanDeviceDlg_TObj", "TObj")}};
  for (int c = 0; c < 6; ++c)
    Grid->SetCells(c, 0,
                   ReadText(QString::fromLatin1(kKeys[c][0]), QString::fromLatin1(kKeys[c][1]),
                            QStringLiteral("Other")) +
                       QStringLiteral(" "));
  Grid->OptimizeGridSize();
  Grid->setColumnHidden(6, true);
}

void TScanDeviceDlg::ShowProgress(int percent) {
  QString text;
  if (percent < 0) {
    text = ReadText(QStringLiteral("ScanDevicesNotFound"), QStringLiteral("No devices found!"),
                    QStringLiteral("Messages"));
  } else if (percent == 0) {
    text = DeviceType != DeviceType::None
               ? NumberText::Format(ReadText(QStringLiteral("ScanDevice"), QStringLiteral("Scan %s. %s"),
                                             QStringLiteral("Messages")),
                                    {DeviceName, QString()})
               : ReadText(QStringLiteral("ScanDevices"), QStringLiteral("Scan for Devices"),
                          QStringLiteral("Messages"));
  } else {
    text = NumberText::Format(
        ReadText(QStringLiteral("ScanDevice"), QStringLiteral("Scan %s. %s"), QStringLiteral("Messages")),
        {DeviceName, QString::number(percent) + QStringLiteral("%")});
  }
  pnlMessage->setText(text);
  pnlMessage->repaint();
}

void TScanDeviceDlg::Timer1Timer() {
  Timer1->stop();
  Found.clear();
  ClearRows();
  Grid->SetRowCount(1);
  SelectedIndex = -99999;
  scan_->WantedSerial = WantedSerial > 0 ? WantedSerial : 0;
  scan_->PreferredBaudIndex = PreferredBaudIndex;
  scan_->TimeoutSeconds = TimeoutSeconds;
  scan_->SearchTimeout = SearchTimeout;
  // The family being scanned names the progress.
  DeviceType = DeviceType::IsBrio(StoredDeviceType) ? DeviceType::Voduz1 : DeviceType::Argo;
  DeviceName = TypeName(DeviceType);
  ShowProgress(0);
  scan_->Scan(StoredDeviceType, PreviousDeviceType, PreferredPort, ScanNonUSB,
              [this](const TDeviceScan::Outcome& outcome) { ScanDone(outcome); });
}

void TScanDeviceDlg::FamilyDone(bool singleColour, const TDeviceScan::Results& found) {
  if (!singleColour && found.isEmpty()) return;
  DeviceType = found.isEmpty() ? DeviceType::Argo : found.last().DeviceType;
  DeviceName = TypeName(DeviceType);
  ShowProgress(0);
  // Stays while the rows open or the Brio family is probed.
  if (singleColour)
    pnlMessage->setText(
        ReadText(QStringLiteral("PleaseWait"), QStringLiteral("Please wait ..."), QStringLiteral("Other")));
}

void TScanDeviceDlg::ScanDone(const TDeviceScan::Outcome& outcome) {
  refreshing_ = false;
  Found = outcome.Found;
  if (outcome.DeviceType != DeviceType::None) {
    DeviceType = outcome.DeviceType;
    DeviceName = TypeName(DeviceType);
  }
  if (outcome.WantedIndex >= 0) {
    const TScanResult& r = Found[outcome.WantedIndex];
    SelectedIndex = outcome.WantedIndex;
    AutoSelected = true;
    DeviceType = r.DeviceType;
    accept();
    return;
  }
  pnlControl->show();
  if (Found.isEmpty()) {
    ShowProgress(-1);
    resize(kMessageWidth, pnlMessage->minimumHeight() + pnlControl->sizeHint().height());
    return;
  }
  FillRows(Found);
  Grid->OptimizeGridSize();
  Grid->setColumnHidden(6, true);
  // A single-colour row turns out a ratio model once its firmware is read:
  // its column has room for that name from the start.
  if (std::any_of(Found.begin(), Found.end(),
                  [](const TScanResult& r) { return DeviceType::IsSingleColour(r.DeviceType); }))
    Grid->SetColWidths(1, std::max(Grid->ColWidths(1), Grid->CellWidthFor(TypeName(DeviceType::ArgoRatio))));
  pnlMessage->hide();
  pnlGrid->show();
  int width = 20;
  for (int c = 0; c < 6; ++c) width += Grid->columnWidth(c) + 1;
  int gridHeight = 2 + Grid->horizontalHeader()->height();
  for (int r = 0; r < Grid->RowCount(); ++r) gridHeight += Grid->rowHeight(r) + 1;
  resize(std::max(width, kMessageWidth),
         pnlControl->sizeHint().height() + std::min(gridHeight, kMaxGridHeight));
  if (Found.size() == 1) {
    Grid->selectRow(1);
    selectMarked_ = true;
  } else {
    Grid->clearSelection();
  }
  TempTimer->start();
}

void TScanDeviceDlg::FillRows(const QList<TScanResult>& records) {
  Grid->SetRowCount(1 + static_cast<int>(records.size()));
  for (int i = 0; i < records.size(); ++i) {
    const TScanResult& r = records[i];
    auto row = std::make_unique<Row>();
    row->Result = r;
    rows_.push_back(std::move(row));
    QString first;
    if (DeviceType::IsSingleColour(r.DeviceType))
      SentinelUtils::FormatTemperature(false, false, first, 999.9f);
    else
      first = QStringLiteral("000.0\u00B0C");
    const int gridRow = i + 1;
    Grid->SetCells(0, gridRow, QString::number(gridRow));
    Grid->SetCells(1, gridRow, TypeName(r.DeviceType));
    Grid->SetCells(2, gridRow, QStringLiteral(" #") + QString::number(r.Serial));
    Grid->SetCells(3, gridRow, r.PortName);
    Grid->SetCells(4, gridRow, BaudText(r));
    Grid->SetCells(5, gridRow, first);
    OpenRow(i);
  }
}

void TScanDeviceDlg::OpenRow(int index) {
  Row& row = *rows_[static_cast<std::size_t>(index)];
  const TScanResult& r = row.Result;
  if (DeviceType::IsSingleColour(r.DeviceType)) {
    auto family = std::make_unique<ArgoFamily>(this);
    family->OnChannelValues = [this, index](const TChannelSample& reading) { RowReading(index, reading); };
    ArgoFamily* f = family.get();
    row.Family = std::move(family);
    f->Open(r.Port, r.BaudIndex, 0, [this, f, index](bool opened) {
      if (!opened) return;
      // The configuration read alone: the preview needs nothing else before
      // its temperature reads.
      f->PostDriverJob(
          [](TpyreonArgo& d) { d.ReadAllParameters(true); },
          [this, f, index](bool) {
            // The ratio model shows itself by its firmware.
            if (static_cast<std::size_t>(index) >= rows_.size() || rows_[index]->Family.get() != f) return;
            rows_[index]->Opened = f->Snapshot().Connected;
            if (f->Snapshot().TypeCode == DeviceType::ArgoRatio &&
                Grid->Cells(1, index + 1) == TypeName(DeviceType::Argo))
              Grid->SetCells(1, index + 1, TypeName(DeviceType::ArgoRatio));
          });
    });
    return;
  }
  if (DeviceType::IsBrioFirstGeneration(r.DeviceType)) {
    auto family = std::make_unique<BrioFamily>(this, r.DeviceType);
    family->OnChannelValues = [this, index](const TChannelSample& reading) { RowReading(index, reading); };
    BrioFamily* f = family.get();
    row.Family = std::move(family);
    f->Open(r.Port, 0, 0, [this, f, index](bool opened) {
      if (opened)
        f->PowerOn([this, f, index](bool) {
          if (static_cast<std::size_t>(index) < rows_.size() && rows_[index]->Family.get() == f)
            rows_[index]->Opened = true;
        });
    });
    return;
  }
  auto family = std::make_unique<BrioMaFamily>(this);
  family->OnBrioNotify = [this, index](std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam) {
    // The row travels in the low word, as the grid's notification record says.
    if (msg == ::MsgBrioNewValues)
      MsgBrioNewValues((wParam & 0xFFFF0000u) | static_cast<std::uint32_t>(index & 0xFFFF), lParam);
  };
  BrioMaFamily* f = family.get();
  row.Family = std::move(family);
  f->Open(r.Port, 0, 0, [this, f, index](bool opened) {
    if (!opened) return;
    f->PowerOn([this, f, index](bool) {
      f->PostDriverJob(
          [](TpyreonBrio_mA& d) { d.ReadCalibrationImage(); },
          [this, f, index](bool) {
            if (static_cast<std::size_t>(index) >= rows_.size() || rows_[index]->Family.get() != f) return;
            rows_[index]->Opened = true;
            rows_[index]->HighResolution = f->Snapshot().HighResolution;
          });
    });
  });
}

void TScanDeviceDlg::MsgBrioNewValues(std::uint32_t wParam, std::int32_t lParam) {
  const int index = static_cast<int>(wParam & 0xFFFF);
  // A notification may arrive after Refresh or Close cleared the rows.
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size() || index + 1 >= Grid->RowCount()) return;
  const Row& row = *rows_[static_cast<std::size_t>(index)];
  QString s;
  if (row.HighResolution)
    SentinelUtils::FormatTemperature(Fahrenheit, true, s, static_cast<float>(lParam) / 100.0f);
  else
    SentinelUtils::FormatTemperature(Fahrenheit, false, s, static_cast<float>(lParam) / 10.0f);
  Grid->SetCells(5, index + 1, s);
}

void TScanDeviceDlg::RowReading(int index, const TChannelSample& reading) {
  for (int c = 0; c < static_cast<int>(ChannelValues::kCount); ++c)
    if (reading.Has(c)) RowTemperature(index, c, reading.Values[static_cast<std::size_t>(c)]);
}

void TScanDeviceDlg::RowTemperature(int index, int channel, float value) {
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size() || index + 1 >= Grid->RowCount()) return;
  const Row& row = *rows_[static_cast<std::size_t>(index)];
  const QString name = Grid->Cells(1, index + 1);
  bool fahrenheit = Fahrenheit;
  if (DeviceType::IsSingleColour(row.Result.DeviceType)) {
    fahrenheit = row.Family != nullptr && row.Family->Snapshot().Fahrenheit;
    // The ratio model's internal value is a percentage.
    if (name == TypeName(DeviceType::ArgoRatio) && channel == ChannelValues::TInt) {
      Grid->SetCells(5, index + 1, NumberText::FormatFixed(value, 1) + QStringLiteral("%"));
      return;
    }
  }
  QString s;
  SentinelUtils::FormatTemperature(fahrenheit, false, s, value);
  Grid->SetCells(5, index + 1, s);
}

void TScanDeviceDlg::TempTimerTimer() {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    Row& row = *rows_[i];
    if (!row.Opened || row.Family == nullptr || row.Family->Busy()) continue;
    const QString name = Grid->Cells(1, static_cast<int>(i) + 1);
    if (DeviceType::IsSingleColour(row.Result.DeviceType)) {
      static_cast<ArgoFamily*>(row.Family.get())->PostDriverJob([](TpyreonArgo& d) {
        d.ReadObjectTemperature();
      });
    } else if (DeviceType::IsBrioFirstGeneration(row.Result.DeviceType)) {
      static_cast<BrioFamily*>(row.Family.get())->PostDriverJob([](TpyreonBrio& d) {
        d.ReadTargetTemperature();
      });
    } else if (IsSecondGenerationName(name)) {
      // Bytes nobody asked for mean the device started anew or the line
      // lost step: the row skips its read and a Refresh follows. Each row
      // asks for that once; the Refresh replaces the rows, and a Refresh
      // already under way takes no second one.
      auto* f = static_cast<BrioMaFamily*>(row.Family.get());
      auto waiting = std::make_shared<bool>(false);
      f->PostDriverJob(
          [waiting](TpyreonBrio_mA& d) {
            if (d.InputCount() > 0) {
              *waiting = true;
              return;
            }
            d.ReadTargetTemperature();
          },
          [this, f, i, waiting](bool ran) {
            if (!ran || !*waiting || refreshing_ || i >= rows_.size() || rows_[i]->Family.get() != f ||
                rows_[i]->RefreshAsked)
              return;
            rows_[i]->RefreshAsked = true;
            btnRefreshClick();
          });
    }
  }
  btnSelect->setEnabled(HasSelection());
  if (btnSelect->isEnabled() && selectMarked_) {
    selectMarked_ = false;
    btnSelect->setFocus();
  }
  TempTimer->start();
}

bool TScanDeviceDlg::HasSelection() const {
  const QList<QTableWidgetItem*> items = Grid->selectedItems();
  if (items.isEmpty()) return false;
  const int row = items.first()->row();
  return row >= 1 && row < Grid->RowCount();
}

void TScanDeviceDlg::btnSelectClick() {
  if (!HasSelection()) return;
  const int row = Grid->selectedItems().first()->row();
  const QString name = Grid->Cells(1, row);
  for (const std::uint8_t code :
       {DeviceType::Voduz1, DeviceType::Brio2W, DeviceType::Argo, DeviceType::ArgoRatio, DeviceType::Fenn2W,
        DeviceType::Briov2, DeviceType::Dunav2, DeviceType::Duna2Wv2, DeviceType::Duna2W2Mv2}) {
    if (TypeName(code) == name) {
      DeviceType = code;
      break;
    }
  }
  SelectedIndex = row - 1;
  accept();
}

void TScanDeviceDlg::btnCancelClick() { reject(); }

void TScanDeviceDlg::btnRefreshClick() {
  DelayTimer->stop();
  if (refreshing_) return;
  refreshing_ = true;
  scan_->Cancel();
  pnlControl->hide();
  PreviousDeviceType = DeviceType;
  WantedSerial = -1;
  ShowProgress(0);
  TempTimer->stop();
  Grid->clearSelection();
  btnSelect->setEnabled(false);
  pnlGrid->hide();
  pnlMessage->show();
  resize(kMessageWidth, pnlMessage->minimumHeight());
  repaint();
  Timer1Timer();
}

void TScanDeviceDlg::DeviceChange(int port, bool removed) {
  if (!Shown) return;
  if (removed) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      Row& row = *rows_[i];
      if (row.Result.Port != port) continue;
      if (row.Family != nullptr) row.Family->Close();
      row.Opened = false;
      for (int c = 0; c < kColumns; ++c) Grid->SetCells(c, static_cast<int>(i) + 1, QString());
    }
  }
  DelayTimer->start();
}

void TScanDeviceDlg::ClearRows() { rows_.clear(); }
