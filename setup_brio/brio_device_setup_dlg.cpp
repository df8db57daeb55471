#include "setup_brio/brio_device_setup_dlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

#include "platform/number_text.h"
#include "setup_brio/brio_config_file.h"
#include "setup_brio/brio_first_gen_codec.h"
#include "setup_brio/brio_first_gen_config_file.h"
#include "setup_common/setup_change_timer.h"
#include "ui/event_adapters.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

constexpr std::size_t kInPinByte = 44;
constexpr std::size_t kSourcesByte = 45;
// The calibration's converter scale word (0x10D0) and a nominal value for it.
constexpr std::size_t kScaleWordIndex = 0x10D0 - 0x1080;
constexpr std::uint16_t kNominalScale = 4096;

// Runs `handler` when the combo box's list opens.
class DropDownWatcher : public QObject {
 public:
  DropDownWatcher(QObject* parent, std::function<void()> handler)
      : QObject(parent), handler_(std::move(handler)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && handler_) handler_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};

void OnDropDown(QComboBox* combo, std::function<void()> handler) {
  combo->view()->window()->installEventFilter(new DropDownWatcher(combo, std::move(handler)));
}

}  // namespace

TBrioDeviceSetupDLg::TBrioDeviceSetupDLg(QWidget* owner) : QDialog(owner), binder_(loading_) {
  CreatePages();
  binder_.BindAll(this);
  BindEvents();
  FormRegistry::Add(this);
  ShowMessage = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
  AskYesNo = [this](const QString& question) {
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
}

TBrioDeviceSetupDLg::~TBrioDeviceSetupDLg() { FormRegistry::Remove(this); }

void TBrioDeviceSetupDLg::BindEvents() {
  // Fields whose exit runs the field-exit routine.
  for (QWidget* w : std::initializer_list<QWidget*>{
           eTrans,      eAvg,       eEmiss,      eFixAmb,    eAlarm2,   eAlarmMVmin,   eAlarmMVmax,
           eFsmVmin,    eFsmVmax,   eTmin,       eTmax,      eMVmin,    eMVmax,        eAlarm1,
           eHTime,      eHSchwelle, eHHysterese, eGain,      eOffs,     cbFsAmb,       cbFsTarget,
           cbBurst[0],  cbBurst[1], cbBurst[2],  cbBurst[3], cbOutMode, cbAlarmSource, cbAlarmMode,
           cbLEDsource, cbLEDmode,  cbHoldMode})
    EventAdapters::OnExit(w, [this] { eAvgExit(); });
  EventAdapters::OnExit(cbEmissSrc, [this] { EmissivitySourceChosen(); });
  EventAdapters::OnCloseUp(cbEmissSrc, [this] { EmissivitySourceChosen(); });
  EventAdapters::OnExit(cbAmbSrc, [this] { AmbientSourceChosen(); });
  EventAdapters::OnCloseUp(cbAmbSrc, [this] { AmbientSourceChosen(); });
  for (QComboBox* c : {cbOutMode, cbAlarmSource, cbAlarmMode}) {
    OnDropDown(c, [this] { ChangeTimer->Discard(); });
    EventAdapters::OnCloseUp(c, [this] { EmissivitySourceChosen(); });
  }
  EventAdapters::OnCloseUp(cbHoldMode, [this] { HoldModeClosedUp(); });
  EventAdapters::OnCheckClick(cbAlarm, [this] {
    if (!loading_) cbAlarmClick();
  });
  EventAdapters::OnCheckClick(cbFailsafe, [this] { ChangeTimer->Change(0); });
  connect(pControl, &QTabWidget::currentChanged, this, [this] { MoveInPinGroup(); });
  ChangeTimer->OnFire = [this](int) { ChangeTimerTimer(); };
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(btnDefault, &QPushButton::clicked, this, [this] { btnDefaultClick(btnDefault); });
  connect(btnSave, &QPushButton::clicked, this, [this] {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(BrioFirstGenConfigFile::NameFilters());
    dialog.selectNameFilter(BrioFirstGenConfigFile::SelectedNameFilter());
    dialog.selectFile(BrioFirstGenConfigFile::DefaultFileName(images_.Calibration));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      SaveConfig(dialog.selectedFiles().first());
  });
  connect(btnLoad, &QPushButton::clicked, this, [this] {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(BrioFirstGenConfigFile::NameFilters());
    dialog.selectNameFilter(BrioFirstGenConfigFile::SelectedNameFilter());
    dialog.selectFile(BrioFirstGenConfigFile::LoadPattern());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      LoadConfig(dialog.selectedFiles().first());
  });
}

// --- Images in and out --------------------------------------------------------------

void TBrioDeviceSetupDLg::SetImages(const TBrioSetupImages& images, const TBrioSetupContext& context) {
  images_ = images;
  context_ = context;
}

void TBrioDeviceSetupDLg::SelectFirstPage() { pControl->setCurrentIndex(kPageGeneral); }

std::int16_t TBrioDeviceSetupDLg::Variant() const {
  return BrioFirstGenCalibration::From(images_.Calibration).Variant;
}

void TBrioDeviceSetupDLg::ParamsToControls() {
  Decode();
  UpdateControlStates();
}

void TBrioDeviceSetupDLg::Decode() { Decode(images_.Calibration); }

void TBrioDeviceSetupDLg::Decode(const BrioCalibrationImage& calibration) {
  SetupValues values = binder_.Read();
  // Throws before any control changed when the image cannot be decoded.
  BrioFirstGenCodec::ParamsToControls(images_.Config, calibration, context_.Fahrenheit, values);
  binder_.Load(values);
  ChangeTimer->Change(0);
  ResizePostProcessing(cbHoldMode->currentIndex());
  const BrioLanguageText label = BrioFirstGenCodec::InPinLabel(images_.Config);
  ShowInPinLabel(label.Key, label.DefaultText);
}

void TBrioDeviceSetupDLg::ShowInPinLabel(const char* key, const char* defaultText) {
  lblINPinConfig->setText(key == nullptr || *key == 0 ? QString() : OtherText(key, defaultText));
}

bool TBrioDeviceSetupDLg::ControlsToParams() {
  BrioConfigImage encoded = images_.Config;
  const std::optional<BrioFieldError> error =
      BrioFirstGenCodec::ControlsToParams(binder_.Read(), images_.Calibration, context_.Fahrenheit, encoded);
  if (!error) {
    images_.Config = encoded;
    return true;
  }
  ShowValueError(error->Caption, binder_.Control(error->Control));
  return false;
}

void TBrioDeviceSetupDLg::ShowValueError(const QString& caption, QWidget* control) {
  Message(BrioFieldError{QString(), caption}.Message());
  if (control == nullptr) return;
  for (int page = 0; page < pControl->count(); ++page)
    if (pControl->widget(page)->isAncestorOf(control)) pControl->setCurrentIndex(page);
  control->setFocus(Qt::OtherFocusReason);
}

void TBrioDeviceSetupDLg::eAvgExit() {
  if (exiting_) return;
  LoadingGuard running(exiting_);
  UpdateControlStates();
  ControlsToParams();
  try {
    Decode();
  } catch (const BrioDecodeError&) {
    // The image held before the exit decoded; an encode that left one that
    // does not (a zero slope) keeps the fields as typed until they are fixed.
  }
}

void TBrioDeviceSetupDLg::btnOKClick() {
  if (ControlsToParams()) accept();
}

// --- Model rules ----------------------------------------------------------------------

void TBrioDeviceSetupDLg::UpdateControlStates() {
  const TBrioDeviceSetupRules::TControlStates s =
      TBrioDeviceSetupRules::UpdateControlStates(Variant(), InPinBytes());
  images_.Config.Data[kInPinByte] = s.InPin;
  if (s.CommEmissivityInput) {
    ShowInPinLabel(LNG_OTHER_TEXT("CommEmissInput", "communication emissivity input"));
  } else {
    const BrioLanguageText label = BrioFirstGenCodec::InPinLabel(images_.Config);
    ShowInPinLabel(label.Key, label.DefaultText);
  }
  {
    LoadingGuard guard(loading_);
    cbAlarm->setVisible(s.AlarmVisible);
    if (s.AlarmVisible) cbAlarm->setChecked(s.AlarmTicked);
    if (s.AmbientItem >= 0) cbAmbSrc->setCurrentIndex(s.AmbientItem);
    if (s.EmissivityItem >= 0) cbEmissSrc->setCurrentIndex(s.EmissivityItem);
  }
  gbAlarm->setEnabled(s.AlarmGroupEnabled);
  gbAlarm->resize(s.AlarmGroupSize);
  for (std::size_t i = 0; i < TempLbl.size(); ++i)
    if (TempLblPartner[i] != nullptr) TempLbl[i]->setEnabled(TempLblPartner[i]->isEnabled());
}

TBrioDeviceSetupRules::TInPinBytes TBrioDeviceSetupDLg::InPinBytes() const {
  return {images_.Config.Data[kInPinByte], images_.Config.Data[kSourcesByte]};
}

void TBrioDeviceSetupDLg::ApplyByteRule(const TBrioDeviceSetupRules::TInPinBytes& bytes) {
  images_.Config.Data[kInPinByte] = bytes.InPin;
  images_.Config.Data[kSourcesByte] = bytes.Sources;
  eAvgExit();
}

void TBrioDeviceSetupDLg::EmissivitySourceChosen() {
  ApplyByteRule(TBrioDeviceSetupRules::EmissivitySource(InPinBytes(), cbEmissSrc->currentIndex()));
}

void TBrioDeviceSetupDLg::AmbientSourceChosen() {
  ApplyByteRule(TBrioDeviceSetupRules::AmbientSource(InPinBytes(), cbAmbSrc->currentIndex()));
}

void TBrioDeviceSetupDLg::cbAlarmClick() {
  ApplyByteRule(TBrioDeviceSetupRules::InPinAlarm(InPinBytes(), cbAlarm->isChecked()));
}

void TBrioDeviceSetupDLg::HoldModeClosedUp() {
  ApplyByteRule(TBrioDeviceSetupRules::Trigger(InPinBytes(), cbHoldMode->currentIndex()));
}

void TBrioDeviceSetupDLg::ChangeTimerTimer() {
  TBrioDeviceSetupRules::TTickInput in;
  for (std::size_t i = 0; i < cbBurst.size(); ++i) in.Burst[i] = cbBurst[i]->currentIndex();
  in.OutMode = cbOutMode->currentIndex();
  in.HoldMode = cbHoldMode->currentIndex();
  in.EmissivitySource = cbEmissSrc->currentIndex();
  in.AmbientSource = cbAmbSrc->currentIndex();
  in.Failsafe = cbFailsafe->isChecked();
  const TBrioDeviceSetupRules::TTickResult r = TBrioDeviceSetupRules::Tick(in);
  {
    LoadingGuard guard(loading_);
    for (std::size_t i = 0; i < cbBurst.size(); ++i) cbBurst[i]->setCurrentIndex(r.Burst[i]);
    if (r.AmbientSource != in.AmbientSource) cbAmbSrc->setCurrentIndex(r.AmbientSource);
  }
  gbBurst->setVisible(r.BurstGroupVisible);
  gbOutput->setVisible(r.OutputGroupVisible);
  gbFailsafe->setVisible(r.OutputGroupVisible);
  cbFailsafe->setVisible(r.OutputGroupVisible);
  gbOutAlarm->setVisible(r.AlarmOutputGroupVisible);
  for (QWidget* w : {static_cast<QWidget*>(eHTime), static_cast<QWidget*>(lblHTime),
                     static_cast<QWidget*>(lblHTimeRemark)})
    w->setEnabled(r.HoldTimeEnabled);
  for (QWidget* w : {static_cast<QWidget*>(eHSchwelle), static_cast<QWidget*>(lblThreshold),
                     static_cast<QWidget*>(eHHysterese), static_cast<QWidget*>(lblHysterese)})
    w->setEnabled(r.ThresholdEnabled);
  eEmiss->setEnabled(r.EmissivityEnabled);
  lblEmiss->setEnabled(r.EmissivityEnabled);
  lblFixAmb->setEnabled(r.FixedAmbientShown);
  eFixAmb->setVisible(r.FixedAmbientShown);
  gbFailsafe->setEnabled(r.FailsafeGroupEnabled);
  gbFailsafe->resize(r.FailsafeGroupSize);
  for (std::size_t i = 0; i < TempLbl.size(); ++i)
    if (TempLblPartner[i] != nullptr) TempLbl[i]->setEnabled(TempLblPartner[i]->isEnabled());
}

void TBrioDeviceSetupDLg::ResizePostProcessing(int holdItem) {
  const bool holdTime = holdItem == 1 || holdItem == 2 || holdItem == 5 || holdItem == 6;
  const bool advanced = holdItem == 3 || holdItem == 4;
  if (holdTime || advanced) {
    lblHTime->setVisible(holdTime);
    eHTime->setVisible(holdTime);
  }
  lblHTimeRemark->setVisible(lblHTime->isVisibleTo(gbPostProcessing));
  gbPostProcessing->resize(gbPostProcessing->width(), holdTime ? 73 : advanced ? 137 : 42);
}

// --- Showing ------------------------------------------------------------------------

void TBrioDeviceSetupDLg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TBrioDeviceSetupDLg::FormShow() {
  RenameLists();
  PlaceFrameCheckBoxes();
  const QString hint = QStringLiteral("-30.0..900.0") + QChar(0xB0) + QStringLiteral("C");
  for (QLineEdit* e : {eTmin, eTmax, eTmin5, eTmax5, eAlarm1, eAlarm2}) e->setToolTip(hint);
  MoveInPinGroup();
  {
    LoadingGuard guard(loading_);
    cbFailsafe->setChecked(
        TBrioDeviceSetupRules::FailsafeTicked(eFsTmin->text(), eFsTmax->text(), Fahrenheit()));
  }
  ChangeTimer->Change(0);
  UpdateUnitLabels();
}

void TBrioDeviceSetupDLg::RenameLists() {
  const auto rename = [](QComboBox* combo, const QStringList& items) {
    for (int i = 0; i < items.size() && i < combo->count(); ++i) combo->setItemText(i, items[i]);
  };
  const QString triggerOff = QStringLiteral(" ") + OtherText(LNG_OTHER_TEXT("TriggerOff", "trigger off"));
  const QString peak = OtherText(LNG_OTHER_TEXT("PeakHold", "Peak hold"));
  const QString valley = OtherText(LNG_OTHER_TEXT("ValleyHold", "Valley hold"));
  rename(cbHoldMode, {OtherTextOrKey(LNG_OTHER_KEY("Off")), peak, valley,
                      OtherText(LNG_OTHER_TEXT("AdvPeakHold", "Adv. peak hold")),
                      OtherText(LNG_OTHER_TEXT("AdvValleyHold", "Adv. valley hold")), peak + triggerOff,
                      valley + triggerOff});
  const QString fixed = OtherText(LNG_OTHER_TEXT("FixedValue", "Fixed value"));
  const QString analog = OtherTextOrKey(LNG_OTHER_KEY("External")) + QStringLiteral(" ") +
                         OtherTextOrKey(LNG_OTHER_KEY("Analog"));
  rename(cbEmissSrc, {fixed, analog});
  rename(cbAmbSrc, {OtherTextOrKey(LNG_OTHER_KEY("Internal")) + QStringLiteral(" (") +
                        OtherTextOrKey(LNG_OTHER_KEY("Head")) + QStringLiteral(")"),
                    analog, fixed});
  rename(cbOutMode, {OtherText(LNG_OTHER_TEXT("mVOutput", "mV output")),
                     OtherText(LNG_OTHER_TEXT("CommOutput", "communication output")),
                     OtherText(LNG_OTHER_TEXT("BurstOutput", "burst output")),
                     OtherText(LNG_OTHER_TEXT("AlarmOutput", "alarm output"))});
  const QStringList burst = {OtherText(LNG_OTHER_TEXT("None", "<none>")),
                             OtherText(LNG_OTHER_TEXT("ProcessTemp", "Process temp.")),
                             OtherText(LNG_OTHER_TEXT("InternalTemp", "Internal temp.")),
                             OtherTextOrKey(LNG_OTHER_KEY("Emissivity")),
                             OtherTextOrKey(LNG_OTHER_KEY("Transmissivity")),
                             OtherText(LNG_OTHER_TEXT("AmbientTemp", "Ambient temp.")),
                             OtherText(LNG_OTHER_TEXT("ActTargetTemp", "Act. target temp."))};
  for (QComboBox* c : cbBurst) rename(c, burst);
  const QStringList source = {OtherText(LNG_OTHER_TEXT("TargetTemp", "Target temp")),
                              OtherText(LNG_OTHER_TEXT("HeadTemp", "Head temp"))};
  rename(cbAlarmSource, source);
  rename(cbLEDsource, source);
  const QString normally = OtherTextOrKey(LNG_OTHER_KEY("Normally")) + QStringLiteral(" ");
  rename(cbAlarmMode, {normally + OtherTextOrKey(LNG_OTHER_KEY("Open")),
                       normally + OtherTextOrKey(LNG_OTHER_KEY("Close"))});
  rename(cbLEDmode,
         {normally + OtherTextOrKey(LNG_OTHER_KEY("Off")), normally + OtherTextOrKey(LNG_OTHER_KEY("On"))});
}

void TBrioDeviceSetupDLg::PlaceFrameCheckBoxes() {
  const auto place = [](QCheckBox* box, QGroupBox* group) {
    const int x = group->x() + 8 + QFontMetrics(group->font()).horizontalAdvance(group->title()) + 10;
    box->move(x, group->y());
    box->raise();
  };
  place(cbFailsafe, gbFailsafe);
  place(cbAlarm, gbAlarm);
}

void TBrioDeviceSetupDLg::MoveInPinGroup() {
  QWidget* page = pControl->currentWidget();
  if (page == nullptr || gbINPinConfig->parentWidget() == page) return;
  const QPoint at = gbINPinConfig->pos();
  gbINPinConfig->setParent(page);
  gbINPinConfig->move(at);
  gbINPinConfig->show();
}

void TBrioDeviceSetupDLg::UpdateUnitLabels() {
  const QString unit = Fahrenheit() ? OtherText(LNG_OTHER_TEXT("UnitFahrenheit",
                                                               "\xB0"
                                                               "F"))
                                    : OtherText(LNG_OTHER_TEXT("UnitCelsius",
                                                               "\xB0"
                                                               "C"));
  const QString format = OtherText(LNG_OTHER_TEXT("TempLabelString", "[%s]:"));
  for (std::size_t i = 0; i < TempLbl.size(); ++i) {
    QLabel* label = TempLbl[i];
    QLabel* partner = TempLblPartner[i];
    if (partner == nullptr) {
      label->setText(QStringLiteral(" ") + unit);
      continue;
    }
    const int width = QFontMetrics(partner->font()).horizontalAdvance(partner->text());
    partner->resize(width, partner->height());
    label->move(partner->x() + partner->width(), partner->y());
    label->setEnabled(partner->isEnabled());
    label->setText(QStringLiteral(" ") + NumberText::Format(format, {unit}));
    label->adjustSize();
  }
}

// --- Factory defaults and the configuration file ------------------------------------------

void TBrioDeviceSetupDLg::btnDefaultClick(QObject* sender) {
  if (sender == btnDefault && !AskYesNo(OtherText(LNG_OTHER_TEXT("YouAreSure", "You are sure ?")))) return;
  BrioFirstGenCodec::LoadDefaults(Variant(), images_.Config);
  try {
    Decode();
  } catch (const BrioDecodeError&) {
    // A calibration without a converter scale cannot give the output
    // levels: the image is shown through a nominal scale, and the default
    // levels set below stand in for the levels it cannot give.
    BrioCalibrationImage nominal = images_.Calibration;
    nominal.Data[kScaleWordIndex] = static_cast<std::uint8_t>(kNominalScale & 0xFF);
    nominal.Data[kScaleWordIndex + 1] = static_cast<std::uint8_t>(kNominalScale >> 8);
    Decode(nominal);
  }
  UpdateControlStates();
  for (QLineEdit* e : {eFsmVmin, eAlarmMVmin}) SetFieldText(e, QStringLiteral("-100"));
  for (QLineEdit* e : {eFsmVmax, eAlarmMVmax}) SetFieldText(e, QStringLiteral("4500"));
  SetFieldText(eMVmin, QStringLiteral("0"));
  SetFieldText(eMVmax, QStringLiteral("3500"));
}

void TBrioDeviceSetupDLg::SetFieldText(QLineEdit* edit, const QString& text) {
  LoadingGuard guard(loading_);
  edit->setText(text);
}

BrioControlRegistry TBrioDeviceSetupDLg::Registry() {
  BrioControlRegistry registry;
  for (const BrioFirstGenConfigFile::ControlName& c : BrioFirstGenConfigFile::Controls()) {
    const QString name = QString::fromLatin1(c.Name);
    if (!binder_.Has(name)) continue;
    BrioControlRegistry::Control control;
    control.Name = name;
    control.Kind = c.Kind;
    control.Get = [this, name] { return binder_.Read(name); };
    control.Set = [this, name](const SetupValue& value) {
      SetupValues one;
      one.Set(name, value);
      binder_.Load(one);
    };
    if (name == QLatin1String("cbAlarm")) control.OnMarkChanged = [this] { cbAlarmClick(); };
    if (name == QLatin1String("cbFailsafe")) control.OnMarkChanged = [this] { ChangeTimer->Change(0); };
    registry.Add(std::move(control));
  }
  return registry;
}

BrioConfigFileProfile TBrioDeviceSetupDLg::FileProfile() {
  return BrioFirstGenConfigFile::Profile([this] {
    eAvgExit();
    ChangeTimer->Change(0);
  });
}

bool TBrioDeviceSetupDLg::SaveConfig(const QString& fileName) {
  const BrioConfigFile::SaveResult result =
      BrioConfigFile::Save(fileName, FileProfile(), Registry(), context_.RangeLow, context_.RangeHigh);
  if (!result.ok) Message(BrioConfigFile::SaveFailedMessage(FLng));
  return result.ok;
}

bool TBrioDeviceSetupDLg::LoadConfig(const QString& fileName) {
  const BrioConfigFile::LoadResult result = BrioConfigFile::Load(fileName, FileProfile(), Registry());
  if (result.RangeLow) context_.RangeLow = *result.RangeLow;
  if (result.RangeHigh) context_.RangeHigh = *result.RangeHigh;
  const QString message = BrioConfigFile::StatusMessage(result.status, FLng);
  if (!message.isEmpty()) Message(message);
  return result.status == BrioConfigFile::Status::Loaded;
}

// --- Texts ------------------------------------------------------------------------------

QString TBrioDeviceSetupDLg::OtherText(const char* key, const char* defaultText) const {
  const QString k = QString::fromLatin1(key), d = QString::fromLatin1(defaultText);
  return FLng ? FLng->OtherText(k, d) : d;
}

QString TBrioDeviceSetupDLg::OtherTextOrKey(const char* key) const {
  const QString k = QString::fromLatin1(key);
  return FLng ? FLng->OtherTextOrKey(k) : k;
}

void TBrioDeviceSetupDLg::Message(const QString& text) {
  if (ShowMessage) ShowMessage(text);
}
