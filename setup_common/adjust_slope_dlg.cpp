#include "setup_common/adjust_slope_dlg.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "drivers/sentinel_utils.h"
#include "setup_common/slope_diagram.h"
#include "setup_common/slope_write_planner.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

std::uint32_t ToColorRef(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
         (static_cast<std::uint32_t>(c.blue()) << 16);
}

TDSpinEdit* MakeSpin(QWidget* parent, int tag, double min, double max, double increment, int decimals,
                     double value) {
  auto* e = new TDSpinEdit(parent);
  e->SetTag(tag);
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->SetIncrement(increment);
  e->SetDecimal(static_cast<std::uint8_t>(decimals));
  e->SetValue(value);
  return e;
}

}  // namespace

TAdjustSlopeDlg::TAdjustSlopeDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AdjustSlopeDlg"));
  setWindowTitle(QStringLiteral("Adjust output slope"));
  setMinimumSize(480, 350);
  auto* root = new QHBoxLayout(this);
  auto* left = new QVBoxLayout();
  root->addLayout(left);

  gbMode_ = new QGroupBox(this);
  auto* modeLayout = new QVBoxLayout(gbMode_);
  cbOutputMode4 = new QComboBox(gbMode_);
  cbOutputMode4->setObjectName(QStringLiteral("cbOutputMode4"));
  modeLayout->addWidget(cbOutputMode4);
  gbMode_->setEnabled(false);
  left->addWidget(gbMode_);

  const auto pointGroup = [&](const char* name, const QString& title, TDSpinEdit*& temp, TDSpinEdit*& out,
                              int tempTag, int outTag, double tempDefault, QLabel*& tempUnit,
                              QLabel*& outUnit) {
    auto* g = new QGroupBox(title, this);
    g->setObjectName(QString::fromLatin1(name));
    auto* l = new QGridLayout(g);
    temp = MakeSpin(g, tempTag, -40, 900, 0.1, 1, tempDefault);
    out = MakeSpin(g, outTag, 0, 10, 0.01, 2, 0);
    tempUnit = new QLabel(g);
    outUnit = new QLabel(g);
    l->addWidget(temp, 0, 0);
    l->addWidget(tempUnit, 0, 1);
    l->addWidget(out, 1, 0);
    l->addWidget(outUnit, 1, 1);
    temp->OnChange = [this](QObject* s) { seChange(s); };
    out->OnChange = [this](QObject* s) { seChange(s); };
    left->addWidget(g);
    return g;
  };
  gbLow_ = pointGroup("gbLowRange", QStringLiteral("Low range temperature: "), seLoRangeTemp,
                      seLoRangeAnalogy, 1, 4, -40, lblLoTempUnit_, lblLoOutUnit_);
  gbHigh_ = pointGroup("gbHighRange", QStringLiteral("High range temperature: "), seHiRangeTemp,
                       seHiRangeAnalogy, 2, 8, 900, lblHiTempUnit_, lblHiOutUnit_);
  seLoRangeTemp->setObjectName(QStringLiteral("seLoRangeTemp"));
  seLoRangeAnalogy->setObjectName(QStringLiteral("seLoRangeAnalogy"));
  seHiRangeTemp->setObjectName(QStringLiteral("seHiRangeTemp"));
  seHiRangeAnalogy->setObjectName(QStringLiteral("seHiRangeAnalogy"));

  gbParameter_ = new QGroupBox(QStringLiteral("Parameter"), this);
  gbParameter_->setObjectName(QStringLiteral("gbParameter"));
  auto* pl = new QGridLayout(gbParameter_);
  stSlope = new QLabel(gbParameter_);
  stOffset = new QLabel(gbParameter_);
  auto* lblSlope = new QLabel(QStringLiteral("Slope:"), gbParameter_);
  lblSlope->setObjectName(QStringLiteral("lblSlope"));
  auto* lblOffset = new QLabel(QStringLiteral("Offset:"), gbParameter_);
  lblOffset->setObjectName(QStringLiteral("lblOffset"));
  pl->addWidget(lblSlope, 0, 0);
  pl->addWidget(stSlope, 0, 1);
  pl->addWidget(lblOffset, 1, 0);
  pl->addWidget(stOffset, 1, 1);
  left->addWidget(gbParameter_);

  gbLimits_ = new QGroupBox(QStringLiteral("Limits:"), this);
  gbLimits_->setObjectName(QStringLiteral("gbLimits"));
  auto* ll = new QVBoxLayout(gbLimits_);
  for (QLabel** l : {&stLimitsLo1, &stLimitsHi1, &stLimitsLo2, &stLimitsHi2}) {
    *l = new QLabel(gbLimits_);
    ll->addWidget(*l);
  }
  left->addWidget(gbLimits_);

  auto* buttons = new QHBoxLayout();
  btnOk = new QPushButton(QStringLiteral("&Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnOk->setDefault(true);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  left->addLayout(buttons);
  left->addStretch();
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });

  pbDiagram = new SlopeDiagram(this);
  pbDiagram->setObjectName(QStringLiteral("pbDiagram"));
  pbDiagram->setMinimumSize(200, 150);
  root->addWidget(pbDiagram, 1);
  pbDiagram->OnDrag = [this](int point, double t, double v) { DiagramDragged(point, t, v); };

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  const auto rasterMenu = [&](const char* name, const QString& title, const QStringList& items,
                              QActionGroup*& group, bool temp) {
    QMenu* m = PopupMenu->addMenu(title);
    m->setObjectName(QString::fromLatin1(name));
    group = new QActionGroup(m);
    const int tags[] = {0, 1, 5, 10};
    for (int i = 0; i < 4; ++i) {
      QAction* a = m->addAction(items[i]);
      a->setObjectName(QString::fromLatin1(name) +
                       (tags[i] == 0 ? QStringLiteral("Off") : QString::number(tags[i])));
      a->setCheckable(true);
      a->setData(tags[i]);
      group->addAction(a);
      connect(a, &QAction::triggered, this, [this, a, temp] {
        (temp ? TempRaster : OutputRaster) = static_cast<std::uint8_t>(a->data().toInt());
        UpdateRasterChecks();
      });
    }
  };
  rasterMenu("mTempRaster", QStringLiteral("&Temperature raster"),
             {QStringLiteral("&Off"), QStringLiteral("1°"), QStringLiteral("5°"), QStringLiteral("10°")},
             tempRasterGroup_, true);
  rasterMenu("mOutputRaster", QStringLiteral("&Output raster"),
             {QStringLiteral("Off"), QStringLiteral("0.1 V / mA"), QStringLiteral("0.5 V / mA"),
              QStringLiteral("1.0 V / mA")},
             outputRasterGroup_, false);
  QAction* color = PopupMenu->addAction(QStringLiteral("&Color ..."));
  color->setObjectName(QStringLiteral("mColor"));
  connect(color, &QAction::triggered, this, [this] {
    const QColor c = QColorDialog::getColor(FromColorRef(DiagramColor), this);
    if (!c.isValid()) return;
    DiagramColor = ToColorRef(c);
    pbDiagram->SetColor(c);
  });
  connect(pbDiagram, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu->popup(pbDiagram->mapToGlobal(pos)); });

  SetupChangeTimer::TRules rules;
  rules.intervalMs = kWriteDelayMs;
  rules.tags = SetupChangeTimer::TagRule::Accumulate;
  rules.okDisabledWhilePending = true;
  ParamChangeTimer = new SetupChangeTimer(this, QStringLiteral("ParamChangeTimer"), rules);
  ParamChangeTimer->OkButton = btnOk;
  ParamChangeTimer->OnFire = [this](int tags) { ParamChangeTimerTimer(tags); };
  refreshTimer_ = new QTimer(this);
  refreshTimer_->setSingleShot(true);
  refreshTimer_->setInterval(kRefreshPauseMs);
  connect(refreshTimer_, &QTimer::timeout, this, [this] { Refresh(); });

  FormRegistry::Add(this);
}

TAdjustSlopeDlg::~TAdjustSlopeDlg() = default;

void TAdjustSlopeDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TAdjustSlopeDlg::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (event->spontaneous()) return;
  open_ = false;
  refreshTimer_->stop();
}

void TAdjustSlopeDlg::FormShow() {
  open_ = true;
  ParamChangeTimer->Discard();
  deferred_ = 0;
  writeWaiting_ = restoreWanted_ = false;
  btnOk->setEnabled(true);
  gbMode_->setVisible(backend_ == nullptr || backend_->HasOutputMode());
  if (backend_ != nullptr && backend_->HasOutputMode()) {
    busy_ = true;
    cbOutputMode4->clear();
    cbOutputMode4->addItems(backend_->OutputModeNames());
    busy_ = false;
  }
  pbDiagram->SetColor(FromColorRef(DiagramColor));
  pbDiagram->SetTemperatureLabelFactor(TemperatureLabelFactor);
  // The dialog may be made after the language was loaded.
  if (FLng) FLng->ApplyTexts(this);
  pbDiagram->SetPointLabels(OtherText(QStringLiteral("Low"), QStringLiteral("Low")),
                            OtherText(QStringLiteral("High"), QStringLiteral("High")));
  UpdateRasterChecks();
  ModeChange(FixedMode);
  UpdateTempLimits();
  if (backend_ == nullptr) return;
  sequence_ = true;
  HoldInput(true);
  QPointer<TAdjustSlopeDlg> self(this);
  if (OnSettingsChanged) OnSettingsChanged(this, Fahrenheit);
  backend_->Open([self](const SlopeBackend::TState& state) {
    if (!self) return;
    self->sequence_ = false;
    if (!self->open_) return;
    self->HoldInput(false);
    self->ApplyState(state, true);
    self->ScheduleRefresh();
  });
}

void TAdjustSlopeDlg::HoldInput(bool hold) {
  for (QWidget* w :
       {static_cast<QWidget*>(gbLow_), static_cast<QWidget*>(gbHigh_), static_cast<QWidget*>(btnCancel)})
    w->setEnabled(!hold && (analog_ || w == btnCancel));
  btnOk->setEnabled(!hold && Pending() == 0);
}

void TAdjustSlopeDlg::ScheduleRefresh() {
  if (open_ && Pending() == 0 && !sequence_) refreshTimer_->start();
}

void TAdjustSlopeDlg::Refresh() {
  if (!open_ || backend_ == nullptr || Pending() != 0 || sequence_ || reading_) return;
  if (OnSettingsChanged) OnSettingsChanged(this, Fahrenheit);
  reading_ = true;
  QPointer<TAdjustSlopeDlg> self(this);
  backend_->Refresh(mode_, [self](const SlopeBackend::TState& state) {
    if (!self) return;
    self->reading_ = false;
    if (!self->open_) return;
    if (self->restoreWanted_) {
      self->BtnCancelClick();
      return;
    }
    if (self->writeWaiting_) {
      self->ParamChangeTimer->FireNow();
      return;
    }
    if (self->Pending() == 0) self->ApplyState(state, false);
    self->ScheduleRefresh();
  });
}

void TAdjustSlopeDlg::ApplyState(const SlopeBackend::TState& state, bool force) {
  if (!state.ok) return;  // nothing trustworthy was read
  const bool unitChanged = state.fahrenheit != Fahrenheit || state.percent != percent_;
  if (force || state.mode != mode_) ModeChange(state.mode);
  Fahrenheit = state.fahrenheit;
  percent_ = state.percent;
  if (unitChanged || force) UpdateTempLimits();
  const double values[4] = {DisplayTemp(state.loTemp), DisplayTemp(state.hiTemp), state.loOutput / 1000.0,
                            state.hiOutput / 1000.0};
  TDSpinEdit* edits[4] = {seLoRangeTemp, seHiRangeTemp, seLoRangeAnalogy, seHiRangeAnalogy};
  bool changed = unitChanged;
  busy_ = true;
  for (int i = 0; i < 4; ++i) {
    const QString before = edits[i]->text();
    edits[i]->SetValue(values[i]);
    changed = changed || edits[i]->text() != before;
  }
  busy_ = false;
  state_ = state;
  if (!changed && !force && !forceRefresh_) return;
  forceRefresh_ = false;
  UpdateSlopeTexts();
  UpdateDiagramPoints();
}

void TAdjustSlopeDlg::ModeChange(int mode) {
  mode_ = mode;
  range_ = backend_ != nullptr ? backend_->OutputRange(mode) : SlopeMath::OutputRange(mode);
  analog_ = range_.analog;
  busy_ = true;
  cbOutputMode4->setCurrentIndex(mode >= 0 && mode < cbOutputMode4->count() ? mode : -1);
  for (QGroupBox* g : {gbLow_, gbHigh_, gbParameter_, gbLimits_}) g->setEnabled(analog_ && !sequence_);
  btnCancel->setEnabled(!sequence_);
  for (TDSpinEdit* e : {seLoRangeAnalogy, seHiRangeAnalogy}) {
    e->SetMinValue(range_.low);
    e->SetMaxValue(range_.high);
  }
  lblLoOutUnit_->setText(range_.unit);
  lblHiOutUnit_->setText(range_.unit);
  busy_ = false;
  UpdateRasterChecks();
  pbDiagram->SetAnalog(analog_);
  UpdateTempLimits();
  UpdateSlopeTexts();
}

double TAdjustSlopeDlg::DisplayTemp(double t) const {
  return percent_ ? t : static_cast<double>(SentinelUtils::CelsiusToUnit(Fahrenheit, static_cast<float>(t)));
}

QString TAdjustSlopeDlg::OtherText(const QString& key, const QString& defaultText) const {
  return FLng ? FLng->OtherText(key, defaultText) : defaultText;
}

QString TAdjustSlopeDlg::TempUnitText() const { return SlopeMath::TemperatureUnit(Fahrenheit, percent_); }

void TAdjustSlopeDlg::UpdateTempLimits() {
  double lo = TempMin;
  double hi = TempMax;
  if (!percent_) {
    lo = SentinelUtils::CelsiusToUnit(Fahrenheit, TempMin);
    hi = SentinelUtils::CelsiusToUnit(Fahrenheit, TempMax);
  }
  busy_ = true;
  for (TDSpinEdit* e : {seLoRangeTemp, seHiRangeTemp}) {
    e->SetMinValue(lo);
    e->SetMaxValue(hi);
  }
  busy_ = false;
  lblLoTempUnit_->setText(TempUnitText());
  lblHiTempUnit_->setText(TempUnitText());
  pbDiagram->SetAxes(lo, hi, range_, TempUnitText());
  UpdateDiagramPoints();
}

void TAdjustSlopeDlg::UpdateSlopeTexts() {
  SlopeMath::TTextInput in;
  in.loT = seLoRangeTemp->Value();
  in.hiT = seHiRangeTemp->Value();
  in.loOut = seLoRangeAnalogy->Value();
  in.hiOut = seHiRangeAnalogy->Value();
  in.tempMin = TempMin;
  in.tempMax = TempMax;
  in.fahrenheit = Fahrenheit;
  in.percent = percent_;
  in.range = range_;
  const auto t = SlopeMath::Texts(in);
  stSlope->setText(t.slope);
  stOffset->setText(t.offset);
  stLimitsLo1->setText(t.limitsLo1);
  stLimitsHi1->setText(t.limitsHi1);
  stLimitsLo2->setText(t.limitsLo2);
  stLimitsHi2->setText(t.limitsHi2);
}

void TAdjustSlopeDlg::UpdateDiagramPoints() {
  const double loT = seLoRangeTemp->Value();
  const double hiT = seHiRangeTemp->Value();
  const double loOut = seLoRangeAnalogy->Value();
  const double hiOut = seHiRangeAnalogy->Value();
  pbDiagram->SetPoints(loT, loOut, hiT, hiOut, SlopeMath::Line(loT, loOut, hiT, hiOut));
}

void TAdjustSlopeDlg::UpdateRasterChecks() {
  for (auto [group, value] :
       {std::pair{tempRasterGroup_, TempRaster}, std::pair{outputRasterGroup_, OutputRaster}}) {
    for (QAction* a : group->actions()) a->setChecked(a->data().toInt() == value);
  }
  pbDiagram->SetRasters(TempRaster, OutputRaster);
}

void TAdjustSlopeDlg::seChange(QObject* sender) {
  if (busy_ || !open_) return;
  auto* edit = qobject_cast<TDSpinEdit*>(sender);
  if (edit == nullptr) return;
  refreshTimer_->stop();
  ParamChangeTimer->Change(edit->Tag());
  UpdateSlopeTexts();
  UpdateDiagramPoints();
}

void TAdjustSlopeDlg::DiagramDragged(int point, double temperature, double output) {
  if (sequence_ || !analog_) return;
  TDSpinEdit* temp = point == SlopeDiagram::kLow ? seLoRangeTemp : seHiRangeTemp;
  TDSpinEdit* out = point == SlopeDiagram::kLow ? seLoRangeAnalogy : seHiRangeAnalogy;
  temp->SetValue(temperature);
  out->SetValue(output);
}

void TAdjustSlopeDlg::ParamChangeTimerTimer(int tags) {
  // Changes that fired while a read was out wait here for its report.
  deferred_ |= tags;
  if (!open_ || backend_ == nullptr) return;
  if (deferred_ == 0) {
    btnOk->setEnabled(true);
    ScheduleRefresh();
    return;
  }
  if (reading_ || sequence_) {
    writeWaiting_ = true;  // runs when the read reports
    return;
  }
  writeWaiting_ = false;
  SlopeWritePlanner::TInput in;
  TDSpinEdit* edits[4] = {seLoRangeTemp, seHiRangeTemp, seLoRangeAnalogy, seHiRangeAnalogy};
  double* values[4] = {&in.loTemp, &in.hiTemp, &in.loOutput, &in.hiOutput};
  const double lastRead[4] = {DisplayTemp(state_.loTemp), DisplayTemp(state_.hiTemp),
                              state_.loOutput / 1000.0, state_.hiOutput / 1000.0};
  for (int i = 0; i < 4; ++i) {
    if (!edits[i]->TryValue(*values[i])) {
      // Text that is no number is not written; the edit goes back to the
      // value last read, which also stands in for it when keeping the order.
      deferred_ &= ~edits[i]->Tag();
      *values[i] = lastRead[i];
    }
  }
  in.pending = deferred_;
  in.tempMin = seLoRangeTemp->MinValue();
  in.tempMax = seLoRangeTemp->MaxValue();
  in.outputMin = range_.low;
  in.outputMax = range_.high;
  in.tempRaster = TempRaster;
  in.outputRaster = OutputRaster;
  in.fahrenheit = Fahrenheit;
  in.percent = percent_;
  deferred_ = 0;
  if (in.pending == 0) {
    ApplyState(state_, true);
    btnOk->setEnabled(true);
    ScheduleRefresh();
    return;
  }
  const auto plan = SlopeWritePlanner::Plan(in);
  busy_ = true;
  seLoRangeTemp->SetValue(plan.loTemp);
  seHiRangeTemp->SetValue(plan.hiTemp);
  seLoRangeAnalogy->SetValue(plan.loOutput);
  seHiRangeAnalogy->SetValue(plan.hiOutput);
  busy_ = false;
  UpdateSlopeTexts();
  UpdateDiagramPoints();
  sequence_ = true;
  HoldInput(true);
  QPointer<TAdjustSlopeDlg> self(this);
  backend_->Write(plan.writes, [self](bool) {
    if (!self) return;
    self->sequence_ = false;
    if (!self->open_) return;
    if (self->restoreWanted_) {
      self->BtnCancelClick();
      return;
    }
    self->forceRefresh_ = true;
    self->HoldInput(false);
    self->ScheduleRefresh();
  });
}

void TAdjustSlopeDlg::reject() { BtnCancelClick(); }

void TAdjustSlopeDlg::BtnCancelClick() {
  ParamChangeTimer->Discard();
  refreshTimer_->stop();
  deferred_ = 0;
  writeWaiting_ = false;
  if (!open_ || backend_ == nullptr) {
    QDialog::reject();
    return;
  }
  if (reading_ || sequence_) {
    restoreWanted_ = true;  // runs when the running job reports
    return;
  }
  restoreWanted_ = false;
  sequence_ = true;
  HoldInput(true);
  QPointer<TAdjustSlopeDlg> self(this);
  backend_->Restore([self](bool) {
    if (!self) return;
    self->sequence_ = false;
    self->HoldInput(false);
    self->QDialog::reject();
  });
}
