#include "setup_common/setup_post_processing_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "ui/d_spin_edit.h"
#include "ui/named_widgets.h"

using namespace NamedWidgets;

namespace {

QGroupBox* FocusGroup(QWidget* page) {
  QGroupBox* box = Group(page, "gbPostProcessing", QStringLiteral("Post processing"));
  box->setFocusPolicy(Qt::TabFocus);
  return box;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

TSetupPostProcessingGroup::TSetupPostProcessingGroup(QWidget* page, const TOptions& o)
    : Box(FocusGroup(page)),
      ModeLabel(Label(Box, "lblPostProcMode", QStringLiteral("Mode: "))),
      Mode(Combo(Box, "cbPostProcMode")),
      AvgTimeLabel(Label(Box, "lblAvgTime", QStringLiteral("Avg. time [s]:"))),
      AvgTime(Spin(Box, "seAvgTime", kAvgTimeTag, o.avgTimeMin, o.avgTimeMax, 0.1, 1)),
      HoldTimeLabel(Label(Box, "lblHoldTime", QStringLiteral("Hold time [s]:"))),
      HoldTime(Spin(Box, "seHoldTime", kHoldTimeTag, o.holdTimeMin, o.holdTimeMax, 0.1, 1)),
      ThresholdLabel(Label(Box, o.thresholdLabelName, o.thresholdCaption)),
      Threshold(Spin(Box, "seTreshold", kThresholdTag, -100, 3000, 0.1, 1)),
      HysteresisLabel(Label(Box, "lblHysterese", o.hysteresisCaption)),
      Hysteresis(Spin(Box, "seHysterese", kHysteresisTag, 0, 3000, 0.1, 1)),
      SmartAveraging(Check(Box, "cbSmartAveraging", QStringLiteral("Smart averaging"))),
      Grid(new QGridLayout(Box)) {
  Grid->addWidget(ModeLabel, 0, 0);
  Grid->addWidget(Mode, 0, 1, 1, 2);
  int row = 1;
  for (auto [label, edit] : {std::pair{AvgTimeLabel, AvgTime}, std::pair{HoldTimeLabel, HoldTime},
                             std::pair{ThresholdLabel, Threshold}, std::pair{HysteresisLabel, Hysteresis}}) {
    Grid->addWidget(label, row, 0);
    Grid->addWidget(edit, row, 2);
    ++row;
  }
  Grid->addWidget(SmartAveraging, row, 0, 1, 3);
}

QStringList TSetupPostProcessingGroup::ModeTexts(const TextFn& text) {
  return {text(QStringLiteral("Off"), QStringLiteral("Off")),
          text(QStringLiteral("Averaging"), QStringLiteral("Averaging")),
          text(QStringLiteral("PeakHold"), QStringLiteral("Peak hold")),
          text(QStringLiteral("ValleyHold"), QStringLiteral("Valley hold")),
          text(QStringLiteral("AdvPeakHold"), QStringLiteral("Adv. peak hold")),
          text(QStringLiteral("AdvValleyHold"), QStringLiteral("Adv. valley hold"))};
}
