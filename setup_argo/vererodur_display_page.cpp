#include "setup_argo/vererodur_display_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/ratio_display_session.h"
#include "ui/d_spin_edit.h"
#include "ui/lng_ini_supp.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

namespace {

using Page = RatioDisplayPage;

TDSpinEdit* NewSpinEdit(QWidget* parent, const QString& name, double minimum, double maximum) {
  auto* e = new TDSpinEdit(parent);
  e->setObjectName(name);
  e->SetMinValue(minimum);
  e->SetMaxValue(maximum);
  e->SetIncrement(0.1);
  e->SetDecimal(1);
  return e;
}

QLabel* NewLabel(QWidget* parent, const QString& name, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  return l;
}

// The round colour marks heading the LED columns.
QLabel* NewCircle(QWidget* parent, const QString& name, const QString& colour) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setFixedSize(12, 12);
  l->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid gray; border-radius: 6px;").arg(colour));
  return l;
}

}  // namespace

TVererodurDisplayPage::TVererodurDisplayPage(QWidget* parent) : QWidget(parent) {
  tiVisualAL_ = new QTimer(this);
  tiVisualAL_->setObjectName(QStringLiteral("tiVisualAL"));
  tiVisualAL_->setSingleShot(true);
  connect(tiVisualAL_, &QTimer::timeout, this, [this] { VisualAlTimer(); });
  Build();
  FillSourceItems();
}

TVererodurDisplayPage::~TVererodurDisplayPage() = default;

void TVererodurDisplayPage::Build() {
  LoadingGuard guard(loading_);
  auto* page = new QVBoxLayout(this);

  // Ranges mode: the source and the eight rows.
  gbBacklightSettings_ = new QGroupBox(QStringLiteral("Backlight settings range mode :"), this);
  gbBacklightSettings_->setObjectName(QStringLiteral("gbBacklightSettings"));
  auto* ranges = new QVBoxLayout(gbBacklightSettings_);
  auto* sourceRow = new QHBoxLayout;
  sourceRow->addWidget(NewLabel(gbBacklightSettings_, QStringLiteral("lblVisualAlSource"), QStringLiteral("Source:")));
  cbVisualAlSource_ = new QComboBox(gbBacklightSettings_);
  cbVisualAlSource_->setObjectName(QStringLiteral("cbVisualAlSource"));
  sourceRow->addWidget(cbVisualAlSource_);
  sourceRow->addStretch();
  ranges->addLayout(sourceRow);

  rowsArea_ = new QWidget(gbBacklightSettings_);
  rowsArea_->setObjectName(QStringLiteral("pVisualAlarmRows"));
  auto* rowsLayout = new QVBoxLayout(rowsArea_);
  rowsLayout->setContentsMargins(0, 0, 0, 0);
  rowsLayout->setSpacing(2);
  auto* header = new QGridLayout;
  header->addWidget(NewLabel(rowsArea_, QStringLiteral("lblVon"), QStringLiteral("von")), 0, 0);
  header->addWidget(NewLabel(rowsArea_, QStringLiteral("lblBis"), QStringLiteral("bis")), 0, 1);
  header->addWidget(NewCircle(rowsArea_, QStringLiteral("shpBlue"), QStringLiteral("blue")), 0, 2);
  header->addWidget(NewCircle(rowsArea_, QStringLiteral("shpGreen"), QStringLiteral("lime")), 0, 3);
  header->addWidget(NewCircle(rowsArea_, QStringLiteral("shpRed"), QStringLiteral("red")), 0, 4);
  header->setColumnStretch(0, 1);
  header->setColumnStretch(1, 1);
  rowsLayout->addLayout(header);
  for (int i = 0; i < Page::kRows; ++i) {
    TRowControls& r = rows_[static_cast<std::size_t>(i)];
    const QString n = QString::number(i);
    r.panel = new QFrame(rowsArea_);
    r.panel->setObjectName(QStringLiteral("pVA") + n);
    r.panel->setFrameShape(QFrame::StyledPanel);
    r.panel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(r.panel);
    row->setContentsMargins(4, 2, 4, 2);
    r.low = NewSpinEdit(r.panel, QStringLiteral("dseLow") + n, 0.0, 0.0);
    r.unitLow = NewLabel(r.panel, QStringLiteral("lblUnitLow") + n, QString());
    r.high = NewSpinEdit(r.panel, QStringLiteral("dseHigh") + n, 0.0, 0.0);
    r.unitHigh = NewLabel(r.panel, QStringLiteral("lblUnitHigh") + n, QString());
    r.blue = new QCheckBox(r.panel);
    r.blue->setObjectName(QStringLiteral("cbBlue") + n);
    r.green = new QCheckBox(r.panel);
    r.green->setObjectName(QStringLiteral("cbGreen") + n);
    r.red = new QCheckBox(r.panel);
    r.red->setObjectName(QStringLiteral("cbRed") + n);
    row->addWidget(r.low, 1);
    row->addWidget(r.unitLow);
    row->addWidget(r.high, 1);
    row->addWidget(r.unitHigh);
    row->addWidget(r.blue);
    row->addWidget(r.green);
    row->addWidget(r.red);
    rowsLayout->addWidget(r.panel);
    r.low->OnChange = [this](QObject*) { VisualAlChange(false); };
    r.high->OnChange = [this](QObject*) { VisualAlChange(false); };
    for (QCheckBox* box : {r.blue, r.green, r.red})
      connect(box, &QCheckBox::toggled, this, [this] { VisualAlChange(true); });
  }
  ranges->addWidget(rowsArea_);
  page->addWidget(gbBacklightSettings_);
  connect(cbVisualAlSource_, &QComboBox::activated, this, [this](int index) { VisualAlSourceChange(index); });

  // The main value.
  auto* gbMain = new QGroupBox(QStringLiteral("Display main value source :"), this);
  gbMain->setObjectName(QStringLiteral("gbDisplayMainSource"));
  auto* mainRow = new QHBoxLayout(gbMain);
  mainRow->addWidget(NewLabel(gbMain, QStringLiteral("lblDisplayMainSource"), QStringLiteral("Source:")));
  cbDisplayMainSource_ = new QComboBox(gbMain);
  cbDisplayMainSource_->setObjectName(QStringLiteral("cbDisplayMainSource"));
  mainRow->addWidget(cbDisplayMainSource_);
  mainRow->addStretch();
  page->addWidget(gbMain);
  connect(cbDisplayMainSource_, &QComboBox::activated, this,
          [this](int index) { DisplayMainSourceChange(index); });

  btnStandardDisplay_ = new QPushButton(QStringLiteral("Set Display to STANDARD"), this);
  btnStandardDisplay_->setObjectName(QStringLiteral("btnStandardDisplay"));
  connect(btnStandardDisplay_, &QPushButton::clicked, this, [this] { StandardDisplayClick(); });
  page->addWidget(btnStandardDisplay_, 0, Qt::AlignLeft);

  // Threshold mode.
  gbBacklightAlarmThreshold_ = new QGroupBox(QStringLiteral("Backlight settings threshold mode :"), this);
  gbBacklightAlarmThreshold_->setObjectName(QStringLiteral("gbBacklightAlarmThreshold"));
  auto* threshold = new QGridLayout(gbBacklightAlarmThreshold_);
  QWidget* g = gbBacklightAlarmThreshold_;
  dseValueBlue_ = NewSpinEdit(g, QStringLiteral("dseValueBlue"), -100.0, 3000.0);
  dseValueRed_ = NewSpinEdit(g, QStringLiteral("dseValueRed"), -100.0, 3000.0);
  dseThresholdALhysteresis_ = NewSpinEdit(g, QStringLiteral("dseThresholdALhysteresis"), -100.0, 3000.0);
  unitBlue_ = NewLabel(g, QStringLiteral("TempLbl12"), QString());
  unitRed_ = NewLabel(g, QStringLiteral("TempLbl13"), QString());
  unitHysteresis_ = NewLabel(g, QStringLiteral("TempLBL14"), QString());
  const auto noNc = [&](const QString& name) {
    auto* rg = new RadioGroup(g);
    rg->setObjectName(name);
    rg->setTitle(QStringLiteral("Normally:"));
    rg->SetColumns(2);
    rg->SetItems({QStringLiteral("open"), QStringLiteral("closed")});
    return rg;
  };
  rgNoNcBlue_ = noNc(QStringLiteral("rgNoNcBlue"));
  rgNoNcRed_ = noNc(QStringLiteral("rgNoNcRed"));
  threshold->addWidget(NewLabel(g, QStringLiteral("lblValueBlue"), QStringLiteral("Value (blue) :")), 0, 0);
  threshold->addWidget(dseValueBlue_, 0, 1);
  threshold->addWidget(unitBlue_, 0, 2);
  threshold->addWidget(rgNoNcBlue_, 0, 3);
  threshold->addWidget(NewLabel(g, QStringLiteral("lblValueRed"), QStringLiteral("Value (red) :")), 1, 0);
  threshold->addWidget(dseValueRed_, 1, 1);
  threshold->addWidget(unitRed_, 1, 2);
  threshold->addWidget(rgNoNcRed_, 1, 3);
  threshold->addWidget(
      NewLabel(g, QStringLiteral("lblThresholdALhysteresis"), QStringLiteral("Hysteresis :")), 2, 0);
  threshold->addWidget(dseThresholdALhysteresis_, 2, 1);
  threshold->addWidget(unitHysteresis_, 2, 2);
  page->addWidget(gbBacklightAlarmThreshold_);

  rbBacklightAlarmMode_ = new RadioGroup(this);
  rbBacklightAlarmMode_->setObjectName(QStringLiteral("rbBacklightAlarmMode"));
  rbBacklightAlarmMode_->setTitle(QStringLiteral("Backlight alarm mode :"));
  rbBacklightAlarmMode_->SetItems({QStringLiteral("Ranges"), QStringLiteral("Threshold")});
  page->addWidget(rbBacklightAlarmMode_);
  page->addStretch();

  // Threshold-mode parameters: the dialog writes them.
  const auto report = [this](int tag, QWidget* control) {
    if (loading_) return;
    if (tag == kTagAlarmMode) ShowMode(rbBacklightAlarmMode_->ItemIndex() == 1);
    Q_EMIT tagChanged(tag, control);
  };
  const std::pair<TDSpinEdit*, int> edits[] = {
      {dseValueBlue_, kTagValueBlue}, {dseValueRed_, kTagValueRed}, {dseThresholdALhysteresis_, kTagHysteresis}};
  for (const auto& entry : edits) {
    TDSpinEdit* const edit = entry.first;
    const int tag = entry.second;
    edit->SetTag(tag);
    edit->OnChange = [report, edit, tag](QObject*) { report(tag, edit); };
  }
  const std::pair<RadioGroup*, int> groups[] = {
      {rgNoNcBlue_, kTagNoNcBlue}, {rgNoNcRed_, kTagNoNcRed}, {rbBacklightAlarmMode_, kTagAlarmMode}};
  for (const auto& entry : groups) {
    RadioGroup* const group = entry.first;
    const int tag = entry.second;
    group->SetTag(tag);
    group->OnClick = [report, group, tag](QObject*) { report(tag, group); };
  }

  // As designed: both mode groups hidden until the page is filled.
  gbBacklightSettings_->hide();
  gbBacklightAlarmThreshold_->hide();
  rbBacklightAlarmMode_->hide();
}

QString TVererodurDisplayPage::OtherText(const QString& key, const QString& defaultText) const {
  return language_ ? language_->OtherText(key, defaultText) : defaultText;
}

QString TVererodurDisplayPage::OtherTextOrKey(const QString& key) const {
  return language_ ? language_->OtherTextOrKey(key) : key;
}

void TVererodurDisplayPage::Bind(ArgoSetupSession* session, TLngINISupp* language) {
  DiscardPendingWrite();
  ++binding_;
  jobs_ = 0;
  session_ = session;
  language_ = language;
  display_ = session ? std::make_unique<RatioDisplaySession>(*session) : nullptr;
}

void TVererodurDisplayPage::FillSourceItems() {
  LoadingGuard guard(loading_);
  const QStringList measured = {
      OtherTextOrKey(QStringLiteral("TQuot")), OtherTextOrKey(QStringLiteral("Tsingle")),
      OtherTextOrKey(QStringLiteral("Tau")), OtherTextOrKey(QStringLiteral("TBox")),
      OtherTextOrKey(QStringLiteral("TProcess"))};
  const QStringList fixed = {OtherTextOrKey(QStringLiteral("BackLightBlue")),
                             OtherTextOrKey(QStringLiteral("BackLightGreen")),
                             OtherTextOrKey(QStringLiteral("BackLightRed"))};
  const int visual = cbVisualAlSource_->currentIndex();
  const int main = cbDisplayMainSource_->currentIndex();
  cbVisualAlSource_->clear();
  cbVisualAlSource_->addItems(measured + fixed);
  cbDisplayMainSource_->clear();
  cbDisplayMainSource_->addItems(measured);
  cbVisualAlSource_->setCurrentIndex(visual);
  cbDisplayMainSource_->setCurrentIndex(main);
}

void TVererodurDisplayPage::ShowMode(bool threshold) {
  gbBacklightSettings_->setVisible(!threshold);
  btnStandardDisplay_->setVisible(!threshold);
  gbBacklightAlarmThreshold_->setVisible(threshold);
}

void TVererodurDisplayPage::LoadDisplayPage(const TArgoConfig& cache) {
  LoadingGuard guard(loading_);
  cache_ = cache;
  cbVisualAlSource_->setCurrentIndex(chosenVisualSource_ >= 0 ? chosenVisualSource_
                                                               : Page::SourceIndex(cache.VisualAlarmSource));
  cbDisplayMainSource_->setCurrentIndex(chosenMainSource_ >= 0 ? chosenMainSource_
                                        : cache.DisplayMainSource < cbDisplayMainSource_->count()
                                            ? cache.DisplayMainSource
                                            : -1);
  loadedSource_ = cbVisualAlSource_->currentIndex();
  state_ = Page::Load(loadedSource_, cache);
  const Page::TState& st = state_;

  // A fixed colour or an unknown source: no rows, the group shrinks to the source.
  rowsArea_->setVisible(st.rowsEnabled);
  QString unit;
  switch (st.unit) {
    case Page::Unit::Percent:
      unit = QStringLiteral("%");
      break;
    case Page::Unit::Fahrenheit:
      unit = OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"));
      break;
    case Page::Unit::Celsius:
      unit = OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C"));
      break;
  }
  const QColor face = palette().color(QPalette::Button);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    TRowControls& r = rows_[i];
    r.panel->setEnabled(st.rowsEnabled);
    if (!st.rowsEnabled) continue;
    const Page::TRow& row = st.rows[i];
    for (TDSpinEdit* e : {r.low, r.high}) {
      e->SetMinValue(row.minimum);
      e->SetMaxValue(row.maximum);
      e->SetIncrement(0.1);
    }
    r.low->SetValue(row.low);
    r.high->SetValue(row.high);
    r.lowText = r.low->text();
    r.highText = r.high->text();
    r.unitLow->setText(QStringLiteral("[") + unit + QStringLiteral("]"));
    r.unitHigh->setText(r.unitLow->text());
    r.blue->setChecked(row.blue);
    r.green->setChecked(row.green);
    r.red->setChecked(row.red);
    QPalette p = r.panel->palette();
    p.setColor(QPalette::Window, row.lit ? face : QColor(208, 208, 208));
    r.panel->setPalette(p);
  }

  if (st.modeChoiceVisible) {
    // The threshold values' unit labels read like the dialog's other ones: " [°C]:".
    const QString temperatureUnit =
        QStringLiteral(" ") +
        OtherText(QStringLiteral("TempLabelString"), QStringLiteral("[%s]:"))
            .replace(QStringLiteral("%s"), cache.TempUnitFahrenheit
                                               ? OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))
                                               : OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C")));
    dseValueBlue_->SetValue(st.valueBlue);
    dseValueRed_->SetValue(st.valueRed);
    dseThresholdALhysteresis_->SetValue(st.hysteresis);
    for (QLabel* l : {unitBlue_, unitRed_, unitHysteresis_}) l->setText(temperatureUnit);
    rgNoNcBlue_->SetItemIndex(st.blueClosed ? 1 : 0);
    rgNoNcRed_->SetItemIndex(st.redClosed ? 1 : 0);
    rbBacklightAlarmMode_->SetItemIndex(st.thresholdMode ? 1 : 0);
  }
  rbBacklightAlarmMode_->setVisible(st.modeChoiceVisible);
  gbBacklightSettings_->setVisible(st.rangesGroupVisible);
  btnStandardDisplay_->setVisible(st.standardButtonVisible);
  gbBacklightAlarmThreshold_->setVisible(st.thresholdGroupVisible);
  updateGeometry();
  update();
}

void TVererodurDisplayPage::VisualAlChange(bool checkBox) {
  if (loading_) return;
  tiVisualAL_->stop();
  tiVisualAL_->start(checkBox ? kSelectionDelayMs : kEditDelayMs);
}

void TVererodurDisplayPage::FlushPendingWrite() {
  if (!tiVisualAL_->isActive()) return;
  tiVisualAL_->stop();
  VisualAlTimer();
}

void TVererodurDisplayPage::DiscardPendingWrite() {
  tiVisualAL_->stop();
  chosenVisualSource_ = -1;
  chosenMainSource_ = -1;
}

void TVererodurDisplayPage::SourceChoiceDone(int tag) {
  if (tag == kTagVisualAlSource) chosenVisualSource_ = -1;
  if (tag == kTagDisplayMainSource) chosenMainSource_ = -1;
}

void TVererodurDisplayPage::VisualAlTimer() {
  tiVisualAL_->stop();
  if (loading_) return;
  const std::optional<int> s = Page::DataSource(loadedSource_, cache_.ProcessSource);
  if (!s) return;  // fixed colours and unknown sources have no rows to write
  const auto k = static_cast<std::size_t>(*s);
  // A value left as filled keeps the cached entry exactly (no unit round
  // trip); text that is not a number keeps it too and is refilled below.
  std::array<Page::TRowEdit, Page::kRows> edits{};
  std::array<bool, Page::kRows> lowKept{}, highKept{};
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const TRowControls& r = rows_[i];
    const auto read = [](const TDSpinEdit* e, const QString& filled, double& value) {
      if (e->text() == filled) return false;
      double v = 0.0;
      if (!e->TryValue(v)) return false;
      value = e->CheckValue(v);
      return true;
    };
    edits[i] = {state_.rows[i].low, state_.rows[i].high, r.blue->isChecked(), r.green->isChecked(),
                r.red->isChecked()};
    lowKept[i] = !read(r.low, r.lowText, edits[i].low);
    highKept[i] = !read(r.high, r.highText, edits[i].high);
  }
  std::optional<TArgoVisualAlarms> rows = Page::Rows(loadedSource_, cache_, edits);
  if (!rows) return;
  for (std::size_t i = 0; i < rows->size(); ++i) {
    if (lowKept[i]) (*rows)[i].Lo[k] = cache_.VisualAlarms[i].Lo[k];
    if (highKept[i]) (*rows)[i].Hi[k] = cache_.VisualAlarms[i].Hi[k];
  }
  if (*rows == cache_.VisualAlarms || !display_) {
    LoadDisplayPage(cache_);
    return;
  }
  const TArgoVisualAlarms out = *rows;
  Run([this, out](ArgoSetupSession::Done done) { display_->WriteVisualAlarms(out, std::move(done)); });
}

void TVererodurDisplayPage::VisualAlSourceChange(int index) {
  if (loading_ || index < 0) return;
  // The waiting rows belong to the source they were filled for.
  FlushPendingWrite();
  chosenVisualSource_ = index;
  Q_EMIT tagChanged(kTagVisualAlSource, cbVisualAlSource_);
}

void TVererodurDisplayPage::DisplayMainSourceChange(int index) {
  if (loading_ || index < 0) return;
  chosenMainSource_ = index;
  Q_EMIT tagChanged(kTagDisplayMainSource, cbDisplayMainSource_);
}

void TVererodurDisplayPage::StandardDisplayClick() {
  // The standard display replaces whatever rows were waiting.
  DiscardPendingWrite();
  if (!display_) return;
  Run([this](ArgoSetupSession::Done done) { display_->SetStandardDisplay(std::move(done)); });
}

void TVererodurDisplayPage::Run(const std::function<void(ArgoSetupSession::Done)>& start) {
  ++jobs_;
  Q_EMIT deviceWorkStarted();
  const QPointer<TVererodurDisplayPage> self(this);
  const int binding = binding_;
  start([self, binding](const ArgoSetupSession::TOutcome& o) {
    if (!self || self->binding_ != binding) return;
    --self->jobs_;
    if (o.ran) self->cache_ = o.config;
    // Show what the device has, unless a newer row change waits.
    if (!self->WritePending()) self->LoadDisplayPage(self->cache_);
    Q_EMIT self->deviceWorkFinished(o);
  });
}
