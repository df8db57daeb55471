#include "app/view_settings_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/modal_result.h"
#include "ui/bgr_color.h"
#include "ui/d_spin_edit.h"
#include "ui/dialog_buttons.h"
#include "ui/event_adapters.h"
#include "ui/form_registry.h"

TViewSettingsDlg::TViewSettingsDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("ViewSettingsDlg"));
  setWindowTitle(QStringLiteral("Diagram settings"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  lblShow1 = label("lblShow1", QStringLiteral("Show"));
  lblShow2 = label("lblShow2", QStringLiteral("Show"));
  lblShowDigit = label("lblShowDigit", QStringLiteral("Digital"));
  lblShowDiagram = label("lblShowDiagram", QStringLiteral("Diagram"));
  lblRange = label("lblRange", QStringLiteral("Auto range"));
  lblPenWidth = label("lblPenWidth", QStringLiteral("Strichstärke:"));
  lblColor = label("lblColor", QStringLiteral("Color"));

  auto* grid = new QGridLayout;
  grid->addWidget(lblShow1, 0, 1, Qt::AlignCenter);
  grid->addWidget(lblShow2, 0, 2, Qt::AlignCenter);
  grid->addWidget(lblShowDigit, 1, 1, Qt::AlignCenter);
  grid->addWidget(lblShowDiagram, 1, 2, Qt::AlignCenter);
  grid->addWidget(lblRange, 1, 3, Qt::AlignCenter);
  grid->addWidget(lblPenWidth, 1, 4, Qt::AlignCenter);
  grid->addWidget(lblColor, 1, 5, Qt::AlignCenter);
  for (int i = 0; i < ViewSettingsRows::kRowCount; ++i) {
    const QString n = QString::number(i);
    lblName[i] = new QLabel(this);
    lblName[i]->setObjectName(QStringLiteral("lblName") + n);
    cbShowDig[i] = new QCheckBox(this);
    cbShowDig[i]->setObjectName(QStringLiteral("cbShowDig") + n);
    cbShowDia[i] = new QCheckBox(this);
    cbShowDia[i]->setObjectName(QStringLiteral("cbShowDia") + n);
    cbRangeDia[i] = new QCheckBox(this);
    cbRangeDia[i]->setObjectName(QStringLiteral("cbRangeDia") + n);
    sePenWidth[i] = new QSpinBox(this);
    sePenWidth[i]->setObjectName(QStringLiteral("sePenWidth") + n);
    sePenWidth[i]->setRange(ViewSettingsRows::kMinPenWidth, ViewSettingsRows::kMaxPenWidth);
    bbColor[i] = new QPushButton(this);
    bbColor[i]->setObjectName(QStringLiteral("bbColor") + n);
    bbColor[i]->setIconSize(QSize(24, 12));
    // The row number is the controls' tag.
    for (QWidget* w : {static_cast<QWidget*>(lblName[i]), static_cast<QWidget*>(cbShowDig[i]),
                       static_cast<QWidget*>(cbShowDia[i]), static_cast<QWidget*>(cbRangeDia[i]),
                       static_cast<QWidget*>(sePenWidth[i]), static_cast<QWidget*>(bbColor[i])})
      w->setProperty("Tag", i);
    EventAdapters::OnCheckClick(cbShowDia[i], [this, i] { cbShowDiaClick(i); });
    connect(bbColor[i], &QPushButton::clicked, this, [this, i] { bbColorClick(i); });
    const int r = i + 2;
    grid->addWidget(lblName[i], r, 0);
    grid->addWidget(cbShowDig[i], r, 1, Qt::AlignCenter);
    grid->addWidget(cbShowDia[i], r, 2, Qt::AlignCenter);
    grid->addWidget(cbRangeDia[i], r, 3, Qt::AlignCenter);
    grid->addWidget(sePenWidth[i], r, 4);
    grid->addWidget(bbColor[i], r, 5);
  }

  lblInitialTime = label("lblInitialTime", QStringLiteral("Initial time [s]:"));
  lblInitialTime->setToolTip(QStringLiteral("Time shown at diagram start"));
  seInitialTime = new TDSpinEdit(this);
  seInitialTime->setObjectName(QStringLiteral("seInitialTime"));
  seInitialTime->SetIncrement(1.0);
  seInitialTime->SetDecimal(3);
  seInitialTime->SetMinValue(ViewSettingsRows::kMinInitialTime);
  seInitialTime->SetMaxValue(1.0e6);
  seInitialTime->SetValue(10.0);
  cbArgo1ms = new QCheckBox(QStringLiteral("1ms interval "), this);
  cbArgo1ms->setObjectName(QStringLiteral("cbArgo1ms"));
  EventAdapters::OnCheckClick(cbArgo1ms, [this] { cbArgo1msClick(); });

  GraphColorDialog = new QColorDialog(this);
  GraphColorDialog->setObjectName(QStringLiteral("GraphColorDialog"));
  ChooseColor = [this](const QColor& current) -> std::optional<QColor> {
    GraphColorDialog->setCurrentColor(current);
    if (GraphColorDialog->exec() != QDialog::Accepted) return std::nullopt;
    return GraphColorDialog->currentColor();
  };

  QHBoxLayout* buttons =
      DialogButtons::OkCancel(this, btnOK, btnCancel, QStringLiteral("Cancel"), [this] { btnOKClick(); });

  auto* time = new QHBoxLayout;
  time->addWidget(lblInitialTime);
  time->addSpacing(10);
  time->addWidget(seInitialTime);
  time->addStretch();
  time->addWidget(cbArgo1ms);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(time);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  FormRegistry::Add(this);
}

void TViewSettingsDlg::reject() { done(mrCancel); }

void TViewSettingsDlg::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

bool TViewSettingsDlg::FastMode() const { return View.FastBurstPossible && cbArgo1ms->isChecked(); }

void TViewSettingsDlg::FormShow() {
  // Only a running measurement holds the interval and the initial time; a
  // recording leaves them to be set for the next start.
  const bool measuring = View.Measuring == 7;
  cbArgo1ms->setVisible(View.FastBurstPossible);
  {
    // Ticking it here must not run the click handler before the rows are set.
    const QSignalBlocker block(cbArgo1ms);
    cbArgo1ms->setChecked(View.Argo1ms && View.FastBurstPossible);
  }
  cbArgo1ms->setEnabled(!measuring);
  seInitialTime->setEnabled(!measuring);
  for (int i = 0; i < ViewSettingsRows::kRowCount; ++i) {
    const TGraphProperties& g = View.Graphs[i];
    lblName[i]->setText(g.Name);
    const QSignalBlocker block(cbShowDia[i]);
    cbShowDig[i]->setChecked(g.ShowDigital);
    cbShowDia[i]->setChecked(g.ShowDiagram && !ViewSettingsRows::DiagramForcedOff(View, i));
    cbRangeDia[i]->setChecked(g.RangeDiagram);
    sePenWidth[i]->setValue(g.PenWidth);
  }
  PaintColorGlyphs();
  seInitialTime->SetValue(View.InitialTime);
  EnableRows();
  setWindowIcon(QApplication::windowIcon());
}

void TViewSettingsDlg::EnableRows() {
  const bool fast = FastMode();
  for (int i = 0; i < ViewSettingsRows::kRowCount; ++i) {
    const ViewSettingsRows::Lock lock = ViewSettingsRows::RowLock(View, i, fast);
    const bool editable = lock == ViewSettingsRows::Lock::None;
    const bool delivered = lock != ViewSettingsRows::Lock::NotDelivered;
    cbShowDig[i]->setEnabled(editable);
    cbShowDia[i]->setEnabled(editable);
    cbRangeDia[i]->setEnabled(editable && cbShowDia[i]->isChecked());
    sePenWidth[i]->setEnabled(editable);
    lblName[i]->setEnabled(delivered);
    bbColor[i]->setEnabled(delivered);
  }
}

void TViewSettingsDlg::PaintColorGlyphs() {
  for (int i = 0; i < ViewSettingsRows::kRowCount; ++i) {
    QPixmap glyph(24, 12);
    glyph.fill(BgrColor::ToQColor(View.Graphs[i].Color));
    bbColor[i]->setIcon(QIcon(glyph));
  }
}

void TViewSettingsDlg::cbShowDiaClick(int row) {
  cbRangeDia[row]->setEnabled(cbShowDia[row]->isChecked() &&
                              ViewSettingsRows::RowLock(View, row, FastMode()) ==
                                  ViewSettingsRows::Lock::None);
}

void TViewSettingsDlg::bbColorClick(int row) {
  if (!ChooseColor) return;
  const std::optional<QColor> chosen = ChooseColor(BgrColor::ToQColor(View.Graphs[row].Color));
  if (!chosen || !chosen->isValid()) return;
  View.Graphs[row].Color = BgrColor::FromQColor(*chosen);
  PaintColorGlyphs();
}

void TViewSettingsDlg::cbArgo1msClick() {
  if (!View.FastBurstPossible) return;
  EnableRows();
}

void TViewSettingsDlg::btnOKClick() {
  const bool fast = FastMode();
  std::array<ViewSettingsRows::RowInput, 11> input{};
  for (int i = 0; i < ViewSettingsRows::kRowCount; ++i) {
    input[i].ShowDigital = cbShowDig[i]->isChecked();
    input[i].ShowDiagram = cbShowDia[i]->isChecked();
    input[i].RangeDiagram = cbRangeDia[i]->isChecked();
    input[i].PenWidth = sePenWidth[i]->value();
  }
  View.Graphs = ViewSettingsRows::GraphsOnOk(View, input, fast);
  View.InitialTime = static_cast<float>(seInitialTime->CheckValue(seInitialTime->Value()));
  // Without a device that can take the 1 ms interval the box is not shown;
  // the stored choice then stays for the next such device.
  if (View.FastBurstPossible) View.Argo1ms = fast;
  done(mrOk);
}
