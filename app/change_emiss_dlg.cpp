#include "app/change_emiss_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/modal_result.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

TChangeEmissDlg::TChangeEmissDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("ChangeEmissDlg"));
  setWindowTitle(QStringLiteral("Change Emissivity"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowIcon(QApplication::windowIcon());

  gbEmissivity = new QGroupBox(QStringLiteral("Emissivity"), this);
  gbEmissivity->setObjectName(QStringLiteral("gbEmissivity"));
  seEmissivity = new TDSpinEdit(gbEmissivity);
  seEmissivity->setObjectName(QStringLiteral("seEmissivity"));
  seEmissivity->SetIncrement(0.001);
  seEmissivity->SetDecimal(3);
  seEmissivity->SetMinValue(0.1);
  seEmissivity->SetMaxValue(1.1);
  seEmissivity->SetTag(1);
  seEmissivity->SetValue(1.0);
  seEmissivity->OnChange = [this](QObject* sender) { seParamChange(sender); };
  (new QVBoxLayout(gbEmissivity))->addWidget(seEmissivity);

  gbTObj = new QGroupBox(QStringLiteral("TObj"), this);
  gbTObj->setObjectName(QStringLiteral("gbTObj"));
  lblTObj = new QLabel(QStringLiteral("0.0°C"), gbTObj);
  lblTObj->setObjectName(QStringLiteral("lblTObj"));
  lblTObj->setAlignment(Qt::AlignCenter);
  (new QVBoxLayout(gbTObj))->addWidget(lblTObj);

  GroupBox1 = new QGroupBox(QStringLiteral("Emissivity calculation :"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  lblGivenTObj = new QLabel(QStringLiteral("Object temperature"), GroupBox1);
  lblGivenTObj->setObjectName(QStringLiteral("lblGivenTObj"));
  TempLbl1 = new QLabel(QStringLiteral("[--]"), GroupBox1);
  TempLbl1->setObjectName(QStringLiteral("TempLbl1"));
  seTemp = new TDSpinEdit(GroupBox1);
  seTemp->setObjectName(QStringLiteral("seTemp"));
  seTemp->SetIncrement(0.1);
  seTemp->SetDecimal(1);
  seTemp->SetMinValue(-30.0);
  seTemp->SetMaxValue(1000.0);
  seTemp->SetValue(1000.0);
  btnCalculate = new QPushButton(QStringLiteral("calculate"), GroupBox1);
  btnCalculate->setObjectName(QStringLiteral("btnCalculate"));
  connect(btnCalculate, &QPushButton::clicked, this, [this] { btnCalculateClick(); });
  {
    auto* grid = new QGridLayout(GroupBox1);
    auto* caption = new QHBoxLayout;
    caption->setSpacing(0);
    caption->addWidget(lblGivenTObj);
    caption->addWidget(TempLbl1);
    caption->addStretch();
    grid->addLayout(caption, 0, 0, 1, 2);
    grid->addWidget(seTemp, 1, 0);
    grid->addWidget(btnCalculate, 1, 1);
  }

  stCalculating = new QLabel(QStringLiteral("Calculating"), this);
  stCalculating->setObjectName(QStringLiteral("stCalculating"));
  stCalculating->setAlignment(Qt::AlignCenter);
  stCalculating->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  stCalculating->setWordWrap(true);
  // The caption and the messages come and go in a room of their own: the
  // dialog keeps its size and its buttons stay where they were clicked.
  {
    QSizePolicy policy = stCalculating->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    stCalculating->setSizePolicy(policy);
    stCalculating->setFixedHeight(3 * stCalculating->fontMetrics().lineSpacing() +
                                  2 * stCalculating->frameWidth() + 4);
  }
  stCalculating->hide();

  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, [this] { accept(); });
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  SetupChangeTimer::TRules changeRules;
  changeRules.intervalMs = 1000;
  changeRules.tags = SetupChangeTimer::TagRule::LastWins;
  // A device exchange under way: the change is written a second later.
  changeRules.retryWhileBusy = true;
  ParamChangeTimer = new SetupChangeTimer(this, QStringLiteral("ParamChangeTimer"), changeRules);
  ParamChangeTimer->Busy = [this] { return Busy(); };
  ParamChangeTimer->OnFire = [this](int tag) { ParamChangeTimerTimer(tag); };

  auto* top = new QHBoxLayout;
  top->addWidget(gbEmissivity);
  top->addWidget(gbTObj);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* main = new QVBoxLayout(this);
  main->addLayout(top);
  main->addWidget(GroupBox1);
  main->addWidget(stCalculating);
  main->addLayout(buttons);

  FormRegistry::Add(this);
}

QString TChangeEmissDlg::OtherText(const QString& key, const QString& defaultText) const {
  return FLng != nullptr ? FLng->OtherText(key, defaultText) : defaultText;
}

QString TChangeEmissDlg::NoAnswerText() const {
  return OtherText(QStringLiteral("EmissNoAnswer"), QStringLiteral("The device does not answer."));
}

void TChangeEmissDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TChangeEmissDlg::FormShow() {
  ++visit_;
  busy_ = true;
  pending_ = 0;
  calculating_ = false;
  showReadOk_ = false;
  emissivityOnShow_ = -1.0f;
  lastStep_ = {};
  device_ = EmissivityDevice(Device, DeviceType);
  ClearMessage();
  stCalculating->hide();
  SetColor(seEmissivity, false);
  SetColor(seTemp, false);
  previousFahrenheit_ = Fahrenheit;
  SetRange();
  // Nothing is sent before the device's values are known.
  btnCalculate->setEnabled(false);
  btnOK->setEnabled(false);
  const int visit = visit_;
  const QPointer<TChangeEmissDlg> self(this);
  const bool posted = device_.ReadState(true, [self, visit](const EmissivityDevice::Refresh& state) {
    if (self && self->visit_ == visit) self->Shown(state);
  });
  if (!posted) Shown(EmissivityDevice::Refresh{});
}

void TChangeEmissDlg::Shown(const EmissivityDevice::Refresh& state) {
  TakeRefresh(state);
  SetRange();
  if (EmissivitySearch::ValidTemperature(state.Object)) {
    const LoadingGuard guard(loading_);
    seTemp->SetValue(SentinelUtils::CelsiusToUnit(Fahrenheit, state.Object));
  }
  showReadOk_ = EmissivitySearch::ValidEmissivity(state.Emissivity);
  emissivityOnShow_ = showReadOk_ ? static_cast<float>(seEmissivity->Value()) : -1.0f;
  if (!showReadOk_) ShowMessage(NoAnswerText());
  btnCalculate->setEnabled(true);
  btnOK->setEnabled(true);
  busy_ = false;
  Timer1->start();
}

void TChangeEmissDlg::TakeRefresh(const EmissivityDevice::Refresh& state) {
  if (EmissivitySearch::ValidEmissivity(state.Emissivity) && !ParamChangeTimer->isActive())
    SetEmissivityText(state.Emissivity);
  if (state.UnitRead) Fahrenheit = state.Fahrenheit;
  if (OnUnitChanged) OnUnitChanged(this, Fahrenheit);
  if (Fahrenheit != previousFahrenheit_) SetRange();
}

void TChangeEmissDlg::SetRange() {
  seTemp->SetMinValue(SentinelUtils::CelsiusToUnit(Fahrenheit, TempMin));
  seTemp->SetMaxValue(SentinelUtils::CelsiusToUnit(Fahrenheit, TempMax));
  previousFahrenheit_ = Fahrenheit;
  const QString unit = Fahrenheit ? OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))
                                  : OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C"));
  TempLbl1->setText(QStringLiteral(" ") +
                    NumberText::Format(OtherText(QStringLiteral("TempLabelString"), QStringLiteral("[%s]:")),
                                       {NumberText::Arg(unit)}));
}

void TChangeEmissDlg::SetEmissivityText(double e) {
  const LoadingGuard guard(loading_);
  seEmissivity->SetValue(e);
}

void TChangeEmissDlg::SetColor(TDSpinEdit* edit, bool red) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Base, red ? QColor(255, 0, 0) : QColor(Qt::white));
  edit->setPalette(p);
}

void TChangeEmissDlg::ShowObjectTemperature(float T) {
  QString s;
  SentinelUtils::FormatTemperature(Fahrenheit, device_.TwoDecimals(), s, T);
  lblTObj->setText(s);
}

void TChangeEmissDlg::Timer1Timer() {
  if (Busy()) return;
  ++pending_;
  const int visit = visit_, edits = edits_;
  const QPointer<TChangeEmissDlg> self(this);
  const bool posted = device_.ReadState(false, [self, visit, edits](const EmissivityDevice::Refresh& state) {
    if (!self || self->visit_ != visit) return;
    --self->pending_;
    // A search under way shows its own values.
    if (self->calculating_) return;
    EmissivityDevice::Refresh taken = state;
    // The user changed the emissivity meanwhile: the edit keeps it.
    if (self->edits_ != edits) taken.Emissivity = -1.0f;
    self->TakeRefresh(taken);
  });
  if (!posted) --pending_;
}

void TChangeEmissDlg::seParamChange(QObject* sender) {
  if (loading_) return;
  ++edits_;
  Timer1->stop();
  if (auto* edit = qobject_cast<TDSpinEdit*>(sender)) ParamChangeTimer->Change(edit->Tag());
}

void TChangeEmissDlg::ParamChangeTimerTimer(int tag) {
  if (tag == 1) {
    double e = 0.0;
    const bool writable = seEmissivity->TryValue(e) && EmissivitySearch::LiveWritable(e);
    SetColor(seEmissivity, !writable);
    if (writable) {
      ++pending_;
      const int visit = visit_;
      const QPointer<TChangeEmissDlg> self(this);
      if (!device_.WriteEmissivity(e, [self, visit](bool) {
            if (self && self->visit_ == visit) --self->pending_;
          }))
        --pending_;
    }
  }
  Timer1->start();
}

void TChangeEmissDlg::btnCalculateClick() {
  // (A refresh or write still under way runs first: the session takes the
  // jobs in order.)
  if (calculating_ || busy_) return;
  double typed = 0.0;
  if (!NumberText::TryStrToFloat(seTemp->text(), typed)) {
    SetColor(seTemp, true);
    ShowMessage(OtherText(QStringLiteral("EmissNotANumber"),
                          QStringLiteral("The object temperature is not a number.")));
    return;
  }
  const float given = SentinelUtils::UnitToCelsius(Fahrenheit, static_cast<float>(typed));
  calculating_ = true;
  // The search decides the emissivity now: a change waiting for its
  // second is dropped.
  ParamChangeTimer->Discard();
  btnCalculate->setEnabled(false);
  btnOK->setEnabled(false);
  SetColor(seTemp, false);
  ClearMessage();
  stCalculating->show();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  cursorSet_ = true;
  lastStep_ = {};
  const int visit = visit_;
  const QPointer<TChangeEmissDlg> self(this);
  if (device_.ComputesEmissivity()) {
    const bool posted =
        device_.StartCalculation(given, [self, visit, given](const EmissivityDevice::Calculation& c) {
          if (self && self->visit_ == visit) self->CalculationDone(given, c);
        });
    if (!posted) EndCalculation(NoAnswerText());
    return;
  }
  search_ = EmissivitySearch(given, PassLimit);
  NextPass();
}

QString TChangeEmissDlg::TemperatureText(float celsius) const {
  QString text;
  SentinelUtils::FormatTemperature(Fahrenheit, device_.TwoDecimals(), text, celsius);
  return text;
}

void TChangeEmissDlg::CalculationDone(float given, const EmissivityDevice::Calculation& c) {
  using Outcome = EmissivityDevice::Calculation::Outcome;
  const auto e = [](float v) { return NumberText::FormatFixed(v, 3); };
  switch (c.Result) {
    case Outcome::NoAnswer:
      EndCalculation(NoAnswerText());
      return;
    case Outcome::OutOfRange:
      SetColor(seTemp, !(c.RangeLo < given && given < c.RangeHi));
      EndCalculation(NumberText::Format(
          OtherText(
              QStringLiteral("EmissCalcOutOfRange"),
              QStringLiteral("Not calculated: the device calculates between %s and %s only (it reads %s).")),
          {TemperatureText(c.RangeLo), TemperatureText(c.RangeHi), TemperatureText(c.Measured)}));
      return;
    case Outcome::Done:
      SetEmissivityText(c.After);
      if (std::fabs(c.After - c.Before) >= 0.0005f)
        EndCalculation(
            NumberText::Format(OtherText(QStringLiteral("EmissCalculated"),
                                         QStringLiteral("The device calculated the emissivity %s (it "
                                                        "was %s).")),
                               {e(c.After), e(c.Before)}));
      else
        EndCalculation(NumberText::Format(
            OtherText(QStringLiteral("EmissCalcUnchanged"),
                      QStringLiteral("The emissivity stays %s: the device reads %s, given %s.")),
            {e(c.After), TemperatureText(c.Measured), TemperatureText(given)}));
      return;
  }
}

void TChangeEmissDlg::NextPass() {
  const int visit = visit_;
  const QPointer<TChangeEmissDlg> self(this);
  const bool posted = device_.ReadPass([self, visit](const EmissivitySearch::Readings& r) {
    if (self && self->visit_ == visit && self->calculating_) self->PassRead(r);
  });
  if (!posted) EndCalculation(NoAnswerText());
}

void TChangeEmissDlg::PassRead(const EmissivitySearch::Readings& readings) {
  lastStep_ = search_.Next(readings);
  using Outcome = EmissivitySearch::Outcome;
  switch (lastStep_.Result) {
    case Outcome::NoReading:
      EndCalculation(NoAnswerText());
      return;
    case Outcome::NoSolution:
      EndCalculation(OtherText(
          QStringLiteral("EmissNoSolution"),
          QStringLiteral("No emissivity found: the object temperature equals the reference temperature.")));
      return;
    default:
      break;
  }
  SetColor(seTemp, lastStep_.Result == Outcome::OutOfReach);
  SetEmissivityText(lastStep_.Emissivity);
  const int visit = visit_;
  const QPointer<TChangeEmissDlg> self(this);
  const bool posted = device_.WriteEmissivity(lastStep_.Emissivity, [self, visit](bool ran) {
    if (!self || self->visit_ != visit || !self->calculating_) return;
    if (!ran)
      self->EndCalculation(self->NoAnswerText());
    else
      self->PassWritten();
  });
  if (!posted) EndCalculation(NoAnswerText());
}

void TChangeEmissDlg::PassWritten() {
  // The device gets time to measure with the new value; the blinking
  // caption shows the search is alive.
  const int visit = visit_;
  const QPointer<TChangeEmissDlg> self(this);
  const auto alive = [self, visit] { return self && self->visit_ == visit && self->calculating_; };
  QTimer::singleShot(PassPauseMs, this, [this, alive] {
    if (!alive()) return;
    stCalculating->hide();
    QTimer::singleShot(PassPauseMs, this, [this, alive] {
      if (!alive()) return;
      stCalculating->show();
      using Outcome = EmissivitySearch::Outcome;
      switch (lastStep_.Result) {
        case Outcome::Continue:
          NextPass();
          return;
        case Outcome::PassLimit:
          EndCalculation(
              NumberText::Format(OtherText(QStringLiteral("EmissPassLimit"),
                                           QStringLiteral("No emissivity found within %d passes.")),
                                 {NumberText::Arg(lastStep_.Pass)}));
          return;
        case Outcome::OutOfReach:
          EndCalculation(NumberText::Format(
              OtherText(
                  QStringLiteral("EmissOutOfReach"),
                  QStringLiteral("The given temperature cannot be reached: the emissivity stops at %s.")),
              {NumberText::FormatFixed(lastStep_.Emissivity, 3)}));
          return;
        default:
          EndCalculation(NumberText::Format(
              OtherText(QStringLiteral("EmissFound"), QStringLiteral("Emissivity found: %s.")),
              {NumberText::FormatFixed(lastStep_.Emissivity, 3)}));
      }
    });
  });
}

void TChangeEmissDlg::EndCalculation(const QString& message) {
  StopCalculation();
  btnCalculate->setEnabled(true);
  btnOK->setEnabled(true);
  if (message.isEmpty())
    stCalculating->hide();
  else
    ShowMessage(message);
  Timer1->start();
}

void TChangeEmissDlg::ShowMessage(const QString& text) {
  if (!messageShown_) caption_ = stCalculating->text();
  messageShown_ = true;
  stCalculating->setText(text);
  stCalculating->show();
}

void TChangeEmissDlg::ClearMessage() {
  if (messageShown_) stCalculating->setText(caption_);
  messageShown_ = false;
}

void TChangeEmissDlg::StopCalculation() {
  calculating_ = false;
  if (cursorSet_) QApplication::restoreOverrideCursor();
  cursorSet_ = false;
}

void TChangeEmissDlg::Leave() {
  Timer1->stop();
  ParamChangeTimer->Discard();
  StopCalculation();
  ++visit_;
  busy_ = true;
}

void TChangeEmissDlg::accept() {
  if (calculating_ || !btnOK->isEnabled()) return;
  // A change still waiting for its second is not lost.
  double e = 0.0;
  const bool pending =
      ParamChangeTimer->isActive() && seEmissivity->TryValue(e) && EmissivitySearch::LiveWritable(e);
  Leave();
  if (pending) device_.WriteEmissivity(e, {});
  device_ = EmissivityDevice();
  QDialog::accept();
}

void TChangeEmissDlg::reject() {
  Leave();
  // The device gets back the emissivity it had when the dialog was shown.
  if (showReadOk_) device_.WriteEmissivity(emissivityOnShow_, {});
  showReadOk_ = false;
  device_ = EmissivityDevice();
  QDialog::reject();
}
