#include "setup_argo/vererodur_calibration_page.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <optional>

#include "platform/number_text.h"
#include "ui/caption_panel.h"
#include "ui/lng_ini_supp.h"

namespace {

using Model = RatioCalibrationModel;
using Math = RatioCalibrationMath;
using Outcome = ArgoSetupSession::TOutcome;

// The grid, with a way to end an edit in progress (its text goes into the
// model) before the values are read.
class CalibrationGridView : public QTableView {
 public:
  using QTableView::QTableView;
  void CommitEdit() {
    if (state() != EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }
};

QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QLatin1String(name));
  return e;
}

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QLatin1String(name));
  return l;
}

QPushButton* NewButton(const char* name, const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

// The grid keys a step of the write report stands for (the range and the
// fibre are written as pairs).
QString StepKeys(const QString& key) {
  if (key == Model::Key(Model::MbStart)) return key + QStringLiteral(", ") + Model::Key(Model::MbEnd);
  if (key == Model::Key(Model::LwlDiameter)) return key + QStringLiteral(", ") + Model::Key(Model::LwlLength);
  return key;
}

}  // namespace

TVererodurCalibrationPage::TVererodurCalibrationPage(QWidget* parent)
    : QWidget(parent), model_(new RatioCalibrationModel(this)) {
  setObjectName(QStringLiteral("KaliPage"));
  BuildControls();
  SetFahrenheit(false);
  UpdateEnabled();
}

TVererodurCalibrationPage::~TVererodurCalibrationPage() = default;

void TVererodurCalibrationPage::BuildControls() {
  auto* page = new QVBoxLayout(this);

  gbRatioCali = new QGroupBox(QStringLiteral("Calibration"), this);
  gbRatioCali->setObjectName(QStringLiteral("gbRatioCali"));
  page->addWidget(gbRatioCali);

  pnlFWrev = new CaptionPanel(this);
  pnlFWrev->setObjectName(QStringLiteral("pnlFWrev"));
  pnlFWrev->SetCaption(
      QStringLiteral("Argo Firmware revision must be >= 5016 ! Please update your device for calibration."));
  pnlFWrev->setMinimumHeight(60);
  page->addWidget(pnlFWrev);
  page->addStretch(1);

  // The grid with the device buttons under it, beside the two calculation
  // groups and the live values.
  auto* cali = new QHBoxLayout(gbRatioCali);
  auto* left = new QVBoxLayout();
  cali->addLayout(left, 1);
  vleRatioCali = new CalibrationGridView(gbRatioCali);
  vleRatioCali->setObjectName(QStringLiteral("vleRatioCali"));
  vleRatioCali->setModel(model_);
  vleRatioCali->verticalHeader()->hide();
  vleRatioCali->horizontalHeader()->setStretchLastSection(true);
  vleRatioCali->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  vleRatioCali->setMinimumWidth(200);
  vleRatioCali->verticalHeader()->setDefaultSectionSize(vleRatioCali->fontMetrics().height() + 4);
  vleRatioCali->setSelectionMode(QAbstractItemView::SingleSelection);
  vleRatioCali->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  left->addWidget(vleRatioCali, 1);

  auto* right = new QVBoxLayout();
  cali->addLayout(right);

  const auto makeGroup = [&](const char* name, const QString& title, const char* const names[4],
                             const char* const labels[4], QLineEdit** edits, const char* calc,
                             QPushButton** calcButton, const char* reset, QPushButton** resetButton,
                             QLabel** labelOut) {
    auto* g = new QGroupBox(title, gbRatioCali);
    g->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(g);
    const QString captions[4] = {QStringLiteral("actual value 1"), QStringLiteral("nominal value 1"),
                                 QStringLiteral("actual value 2"), QStringLiteral("nominal value 2")};
    const QString defaults[4] = {QString(), QStringLiteral("710"), QString(), QStringLiteral("1400")};
    for (int i = 0; i < 4; ++i) {
      labelOut[i] = NewLabel(labels[i], captions[i], g);
      edits[i] = NewEdit(names[i], defaults[i], g);
      edits[i]->setMaximumWidth(80);
      grid->addWidget(labelOut[i], (i / 2) * 2, i % 2);
      grid->addWidget(edits[i], (i / 2) * 2 + 1, i % 2);
    }
    *calcButton = NewButton(calc, QStringLiteral("calculate"), g);
    *resetButton = NewButton(reset, QStringLiteral("Reset"), g);
    grid->addWidget(*calcButton, 4, 0);
    grid->addWidget(*resetButton, 4, 1);
    right->addWidget(g);
    return g;
  };

  {
    const char* const names[4] = {"eIst1C1", "eSoll1C1", "eIst1C2", "eSoll1C2"};
    const char* const labels[4] = {"lblIst1C1", "lblSoll1C1", "lblIst1C2", "lblSoll1C2"};
    QLineEdit* e[4];
    QLabel* l[4];
    gb1Ccali = makeGroup("gb1Ccali", QStringLiteral("1C Cali"), names, labels, e, "btnCalc1C", &btnCalc1C,
                         "btnReset1C", &btnReset1C, l);
    eIst1C1 = e[0], eSoll1C1 = e[1], eIst1C2 = e[2], eSoll1C2 = e[3];
    lblIst1C1 = l[0], lblSoll1C1 = l[1], lblIst1C2 = l[2], lblSoll1C2 = l[3];
  }
  {
    const char* const names[4] = {"eIst2C1", "eSoll2C1", "eIst2C2", "eSoll2C2"};
    const char* const labels[4] = {"lblIst2C1", "lblSoll2C1", "lblIst2C2", "lblSoll2C2"};
    QLineEdit* e[4];
    QLabel* l[4];
    gb2Ccali = makeGroup("gb2Ccali", QStringLiteral("2C Cali"), names, labels, e, "btnCalc2C", &btnCalc2C,
                         "btnReset2C", &btnReset2C, l);
    eIst2C1 = e[0], eSoll2C1 = e[1], eIst2C2 = e[2], eSoll2C2 = e[3];
    lblIst2C1 = l[0], lblSoll2C1 = l[1], lblIst2C2 = l[2], lblSoll2C2 = l[3];
  }

  pnlCurrentTemps = new QGroupBox(QStringLiteral("current temperatures :"), gbRatioCali);
  pnlCurrentTemps->setObjectName(QStringLiteral("pnlCurrentTemps"));
  {
    auto* grid = new QGridLayout(pnlCurrentTemps);
    lbl1CtempCali = NewLabel("lbl1CtempCali", QStringLiteral("1C Temp."), pnlCurrentTemps);
    p1CtempCali = NewLabel("p1CtempCali", QString(), pnlCurrentTemps);
    TempLbl2 = NewLabel("TempLbl2", QString(), pnlCurrentTemps);
    lbl2CtempCali = NewLabel("lbl2CtempCali", QStringLiteral("2C Temp."), pnlCurrentTemps);
    p2CtempCali = NewLabel("p2CtempCali", QString(), pnlCurrentTemps);
    TempLbl3 = NewLabel("TempLbl3", QString(), pnlCurrentTemps);
    for (QLabel* live : {p1CtempCali, p2CtempCali}) {
      live->setFrameShape(QFrame::Panel);
      live->setFrameShadow(QFrame::Sunken);
      live->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      live->setCursor(Qt::PointingHandCursor);
      live->installEventFilter(this);
    }
    grid->addWidget(lbl1CtempCali, 0, 0);
    grid->addWidget(p1CtempCali, 0, 1);
    grid->addWidget(TempLbl2, 0, 2);
    grid->addWidget(lbl2CtempCali, 1, 0);
    grid->addWidget(p2CtempCali, 1, 1);
    grid->addWidget(TempLbl3, 1, 2);
  }
  right->addWidget(pnlCurrentTemps);

  auto* buttons = new QGridLayout();
  btnReadCali = NewButton("btnReadCali", QStringLiteral("Read"), gbRatioCali);
  btnWriteCali = NewButton("btnWriteCali", QStringLiteral("Write"), gbRatioCali);
  btnSetFactDefault = NewButton("btnSetFactDefault", QStringLiteral("Save as factory default"), gbRatioCali);
  btnFactDefault = NewButton("btnFactDefault", QStringLiteral("Factory default"), gbRatioCali);
  btnFactDefault->setVisible(false);
  btnFactDefault->setEnabled(false);
  buttons->addWidget(btnReadCali, 0, 0);
  buttons->addWidget(btnWriteCali, 0, 1);
  buttons->addWidget(btnSetFactDefault, 1, 0, 1, 2);
  buttons->addWidget(btnFactDefault, 2, 0, 1, 2);
  left->addLayout(buttons);
  right->addStretch(1);

  gb1Ccali->installEventFilter(this);

  connect(btnReadCali, &QPushButton::clicked, this, [this] { btnReadCaliClick(true); });
  connect(btnWriteCali, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnWriteCaliClick);
  connect(btnSetFactDefault, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnSetFactDefaultClick);
  connect(btnFactDefault, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnFactDefaultClick);
  connect(btnCalc1C, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnCalc1CClick);
  connect(btnCalc2C, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnCalc2CClick);
  connect(btnReset1C, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnReset1CClick);
  connect(btnReset2C, &QPushButton::clicked, this, &TVererodurCalibrationPage::btnReset2CClick);

  gbRatioCali->setVisible(false);
  pnlFWrev->setVisible(true);
}

void TVererodurCalibrationPage::Bind(ArgoSetupSession* session, TLngINISupp* language, int settleMs) {
  binding_ = std::make_shared<int>(0);  // the ends of earlier jobs are ignored
  calibration_.reset();
  session_ = session;
  lng_ = language;
  running_ = Job::None;
  if (session_) calibration_ = std::make_unique<RatioCalibrationSession>(*session_, settleMs);
  SetFahrenheit(fahrenheit_);
  UpdateEnabled();
}

void TVererodurCalibrationPage::SetFirmware(int fwRev) {
  fwRev_ = fwRev;
  gbRatioCali->setVisible(CalibrationAvailable());
  pnlFWrev->setVisible(!CalibrationAvailable());
  UpdateEnabled();
}

void TVererodurCalibrationPage::SetCache(const TArgoConfig& cache) { cache_ = cache; }

void TVererodurCalibrationPage::SetFahrenheit(bool fahrenheit) {
  fahrenheit_ = fahrenheit;
  const QString unit =
      QStringLiteral(" ") +
      OtherText(QStringLiteral("TempLabelString"), QStringLiteral("[%s]:"))
          .replace(QStringLiteral("%s"),
                   fahrenheit ? OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))
                              : OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C")));
  TempLbl2->setText(unit);
  TempLbl3->setText(unit);
}

void TVererodurCalibrationPage::SetLiveTexts(const QString& oneColour, const QString& twoColour) {
  p1CtempCali->setText(oneColour);
  p2CtempCali->setText(twoColour);
}

void TVererodurCalibrationPage::Lock(bool locked) {
  static_cast<CalibrationGridView*>(vleRatioCali)->CommitEdit();
  model_->SetLocked(locked);
  writeEnabled_ = !locked;
  UpdateEnabled();
}

void TVererodurCalibrationPage::CancelRunning() {
  if (!calibration_) return;
  if (running_ == Job::Read) {
    calibration_->CancelRead();
  } else if (running_ != Job::None && session_) {
    session_->CancelSequence();
  }
}

void TVererodurCalibrationPage::UpdateEnabled() {
  const bool idle = !Busy() && calibration_ && CalibrationAvailable();
  const bool unlocked = !model_->Locked();
  btnReadCali->setEnabled(idle);
  btnWriteCali->setEnabled(idle && writeEnabled_);
  btnSetFactDefault->setEnabled(idle && unlocked);
  vleRatioCali->setEnabled(unlocked);
  gb1Ccali->setEnabled(unlocked);
  gb2Ccali->setEnabled(unlocked);
}

bool TVererodurCalibrationPage::Start(Job job) {
  if (!calibration_ || Busy() || !CalibrationAvailable()) return false;
  running_ = job;
  UpdateEnabled();
  Q_EMIT deviceWorkStarted();
  return true;
}

void TVererodurCalibrationPage::Finish(const Outcome& outcome) {
  running_ = Job::None;
  UpdateEnabled();
  Q_EMIT deviceWorkFinished(outcome);
}

ArgoSetupSession::Done TVererodurCalibrationPage::Guarded(
    void (TVererodurCalibrationPage::*handler)(const Outcome&)) {
  return [self = QPointer<TVererodurCalibrationPage>(this), token = std::weak_ptr<int>(binding_),
          handler](const Outcome& o) {
    if (!self || token.expired()) return;
    (self.data()->*handler)(o);
  };
}

void TVererodurCalibrationPage::btnReadCaliClick(bool ask) {
  if (!calibration_ || Busy() || !CalibrationAvailable()) return;
  if (!ask) {
    if (!Start(Job::Refill)) return;
    calibration_->Refill(Guarded(&TVererodurCalibrationPage::RefillDone));
    return;
  }
  const QString question =
      MessageText(QStringLiteral("CaliFactoryDefaultQuestion"),
                  QStringLiteral("For calibration it`s necessary to set factory default values !")) +
      QLatin1Char('\r') + MessageText(QStringLiteral("AreYouSure"), QStringLiteral("Are you sure ?"));
  const bool yes = Confirm ? Confirm(question)
                           : QMessageBox::question(this, window()->windowTitle(), question,
                                                   QMessageBox::Ok | QMessageBox::Cancel,
                                                   QMessageBox::Cancel) == QMessageBox::Ok;
  if (!yes) return;
  btnFactDefaultClick();
}

void TVererodurCalibrationPage::btnFactDefaultClick() {
  if (!Start(Job::Read)) return;
  calibration_->Read(Guarded(&TVererodurCalibrationPage::ReadDone));
}

void TVererodurCalibrationPage::ReadDone(const Outcome& o) {
  if (o.ran && !o.report.Cancelled) {
    if (o.connected && o.report.AllConfirmed() && !o.report.Items.empty()) {
      cache_ = o.config;
      Q_EMIT factoryValuesLoaded(o);
      model_->Fill(cache_);
      Lock(false);
    } else {
      // The controls keep what they showed; the grid stays locked.
      Report(OtherText(QStringLiteral("CaliReadFailed"),
                       QStringLiteral("The device did not answer: the factory values were not read.")));
    }
  }
  Finish(o);
}

void TVererodurCalibrationPage::RefillDone(const Outcome& o) {
  if (o.ran && !o.report.Cancelled) {
    cache_ = o.config;
    model_->Fill(cache_);
    Lock(false);
  }
  Finish(o);
}

void TVererodurCalibrationPage::btnWriteCaliClick() {
  if (!calibration_ || Busy() || !writeEnabled_ || !CalibrationAvailable()) return;
  static_cast<CalibrationGridView*>(vleRatioCali)->CommitEdit();
  vleRatioCali->setCurrentIndex(model_->index(0, Model::ValueColumn));
  // Every value is checked before the first one is sent: nothing is
  // written when one does not fit its register, and the grid stays open
  // for the correction.
  const Model::TParsed parsed = model_->Parse();
  if (!parsed.values) {
    FocusGridRow(parsed.badRow);
    Report(MessageText(QStringLiteral("ConversionError"), QStringLiteral("Conversion error !")));
    return;
  }
  if (!Start(Job::Write)) return;
  model_->SetLocked(true);
  writeEnabled_ = false;
  UpdateEnabled();
  calibration_->Write(*parsed.values, Guarded(&TVererodurCalibrationPage::WriteDone));
}

void TVererodurCalibrationPage::WriteDone(const Outcome& o) {
  cache_ = o.config;
  if (o.report.DeviceLost) {
    // The grid keeps the values typed (locked); Write may send them again.
    QStringList written, notWritten;
    for (const TArgoWriteItem& item : o.report.Items)
      (item.Result ? written : notWritten) << StepKeys(item.Key);
    const QString none = OtherText(QStringLiteral("CaliNone"), QStringLiteral("none"));
    Report(OtherText(QStringLiteral("CaliWriteStopped"),
                     QStringLiteral("The device stopped confirming. Written: %1. Not written: %2."))
               .replace(QStringLiteral("%1"), written.isEmpty() ? none : written.join(QStringLiteral(", ")))
               .replace(QStringLiteral("%2"), notWritten.join(QStringLiteral(", "))));
    writeEnabled_ = true;
  } else if (!o.ran || o.report.Cancelled) {
    writeEnabled_ = true;
  } else {
    // The grid shows what the device holds now.
    model_->Fill(cache_);
    Lock(false);
    QStringList refused;
    for (const TArgoWriteItem& item : o.report.Items)
      if (!item.Result) refused << StepKeys(item.Key);
    if (!refused.isEmpty())
      Report(OtherText(QStringLiteral("NotWrittenMsg"), QStringLiteral("Not written to the device: %1"))
                 .replace(QStringLiteral("%1"), refused.join(QStringLiteral(", "))));
  }
  Finish(o);
}

void TVererodurCalibrationPage::btnSetFactDefaultClick() {
  if (model_->Locked() || !Start(Job::Store)) return;
  calibration_->SaveAsFactoryDefault(Guarded(&TVererodurCalibrationPage::StoreDone));
}

void TVererodurCalibrationPage::StoreDone(const Outcome& o) {
  if (o.ran && !o.report.Cancelled && !o.report.AllConfirmed())
    Report(OtherText(QStringLiteral("NotWrittenMsg"), QStringLiteral("Not written to the device: %1"))
               .replace(QStringLiteral("%1"), btnSetFactDefault->text()));
  Finish(o);
}

TVererodurCalibrationPage::TGroup TVererodurCalibrationPage::Group(Model::Channel channel) const {
  if (channel == Model::Channel::OneColour)
    return {channel, {eIst1C1, eIst1C2, eSoll1C1, eSoll1C2}, btnCalc1C};
  return {channel, {eIst2C1, eIst2C2, eSoll2C1, eSoll2C2}, btnCalc2C};
}

void TVererodurCalibrationPage::btnCalc1CClick() { Calculate(Group(Model::Channel::OneColour)); }
void TVererodurCalibrationPage::btnCalc2CClick() { Calculate(Group(Model::Channel::Quotient)); }

void TVererodurCalibrationPage::Calculate(const TGroup& group) {
  if (model_->Locked()) return;
  static_cast<CalibrationGridView*>(vleRatioCali)->CommitEdit();
  group.calc->setEnabled(false);
  Math::TInput input;
  input.actual1 = group.fields[Math::Actual1]->text();
  input.actual2 = group.fields[Math::Actual2]->text();
  input.nominal1 = group.fields[Math::Nominal1]->text();
  input.nominal2 = group.fields[Math::Nominal2]->text();
  input.offset = model_->Value(Model::OffsetRow(group.channel));
  input.gain = model_->Value(Model::GainRow(group.channel));
  input.fahrenheit = fahrenheit_;
  const Math::TResult r = Math::Calculate(input);
  switch (r.status) {
    case Math::Status::ConversionError:
      ConversionError(r.badField >= 0 ? group.fields[r.badField] : nullptr);
      break;
    case Math::Status::ArithmeticError:
      Report(MessageText(QStringLiteral("ArithmeticError"), QStringLiteral("arithmetic error !")));
      break;
    case Math::Status::Ok:
      model_->SetValue(Model::OffsetRow(group.channel), r.offsetText);
      model_->SetValue(Model::GainRow(group.channel), r.gainText);
      break;
  }
  group.calc->setEnabled(true);
}

void TVererodurCalibrationPage::btnReset1CClick() { model_->ResetChannel(Model::Channel::OneColour, cache_); }
void TVererodurCalibrationPage::btnReset2CClick() { model_->ResetChannel(Model::Channel::Quotient, cache_); }

void TVererodurCalibrationPage::p1CtempCaliClick() {
  CopyLive(Group(Model::Channel::OneColour), p1CtempCali->text());
}
void TVererodurCalibrationPage::p2CtempCaliClick() {
  CopyLive(Group(Model::Channel::Quotient), p2CtempCali->text());
}

void TVererodurCalibrationPage::CopyLive(const TGroup& group, const QString& live) {
  if (model_->Locked()) return;
  const Math::TCopy copy =
      Math::CopyTarget(live, group.fields[Math::Nominal1]->text(), group.fields[Math::Nominal2]->text());
  if (copy.ok) {
    group.fields[copy.target]->setText(live.trimmed());
    return;
  }
  if (copy.badField >= 0) {
    ConversionError(group.fields[copy.badField]);
    return;
  }
  // A failed live read (-9999) is not copied, and says nothing; any other
  // text that is not a number is a conversion error.
  const std::optional<double> value = NumberText::ParseFloatTolerant(live);
  if (!value || static_cast<float>(*value) != Math::kFailedLiveRead) ConversionError(nullptr);
}

void TVererodurCalibrationPage::gb1CcaliClick() {
  if (gb1Ccali->isEnabled()) btnReadCaliClick(false);
}

bool TVererodurCalibrationPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == p1CtempCali) p1CtempCaliClick();
    if (watched == p2CtempCali) p2CtempCaliClick();
    // The group's own area only: a click on one of its labels, passed on
    // to the group, does not refill the grid.
    if (watched == gb1Ccali && !gb1Ccali->childAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
      gb1CcaliClick();
  }
  return QWidget::eventFilter(watched, event);
}

void TVererodurCalibrationPage::FocusGridRow(int row) {
  if (row < 0) return;
  const QModelIndex cell = model_->index(row, Model::ValueColumn);
  vleRatioCali->setCurrentIndex(cell);
  vleRatioCali->scrollTo(cell);
  vleRatioCali->setFocus(Qt::OtherFocusReason);
}

void TVererodurCalibrationPage::ConversionError(QWidget* focus) {
  if (focus) focus->setFocus(Qt::OtherFocusReason);
  Report(MessageText(QStringLiteral("ConversionError"), QStringLiteral("Conversion error !")));
}

void TVererodurCalibrationPage::Report(const QString& text) {
  if (ShowMessage) {
    ShowMessage(text);
  } else {
    QMessageBox::critical(this, window()->windowTitle(), text);
  }
}

QString TVererodurCalibrationPage::MessageText(const QString& key, const QString& defaultText) const {
  return lng_ ? lng_->MessageText(key, defaultText) : defaultText;
}

QString TVererodurCalibrationPage::OtherText(const QString& key, const QString& defaultText) const {
  return lng_ ? lng_->OtherText(key, defaultText) : defaultText;
}
