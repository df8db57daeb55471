#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include "setup_common/setup_post_processing_group.h"
#include "ui/d_spin_edit.h"

namespace {

// The controls carry the names and tags the dialogs' code and the language
// file look them up by, and the limits and captions the dialog asks for.
TEST(SetupPostProcessingGroupTest, NamesTagsAndTheDialogsOptions) {
  QWidget page;
  TSetupPostProcessingGroup::TOptions options;
  options.avgTimeMin = 0.01;
  options.holdTimeMax = 100;
  options.thresholdLabelName = "lblTreshold";
  options.thresholdCaption = QStringLiteral("Treshold");
  const TSetupPostProcessingGroup group(&page, options);
  EXPECT_EQ(page.findChild<QGroupBox*>(QStringLiteral("gbPostProcessing")), group.Box);
  EXPECT_EQ(page.findChild<QComboBox*>(QStringLiteral("cbPostProcMode")), group.Mode);
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("lblTreshold")), group.ThresholdLabel);
  EXPECT_EQ(group.ThresholdLabel->text(), QStringLiteral("Treshold"));
  EXPECT_EQ(group.HysteresisLabel->text(), QStringLiteral("Hysteresis"));
  EXPECT_EQ(page.findChild<QCheckBox*>(QStringLiteral("cbSmartAveraging")), group.SmartAveraging);
  struct Edit {
    const char* name;
    int tag;
    double min, max;
  };
  for (const Edit& e : {Edit{"seAvgTime", 10, 0.01, 999.9}, Edit{"seHoldTime", 11, 0.001, 100},
                        Edit{"seTreshold", 12, -100, 3000}, Edit{"seHysterese", 13, 0, 3000}}) {
    auto* edit = page.findChild<TDSpinEdit*>(QString::fromLatin1(e.name));
    ASSERT_NE(edit, nullptr) << e.name;
    EXPECT_EQ(edit->Tag(), e.tag) << e.name;
    EXPECT_DOUBLE_EQ(edit->MinValue(), e.min) << e.name;
    EXPECT_DOUBLE_EQ(edit->MaxValue(), e.max) << e.name;
  }
}

TEST(SetupPostProcessingGroupTest, ModeTextsGoThroughTheLookup) {
  const QStringList texts = TSetupPostProcessingGroup::ModeTexts([](const QString& key, const QString& text) {
    return key == QLatin1String("Off") ? QStringLiteral("Aus") : text;
  });
  EXPECT_EQ(texts, (QStringList{QStringLiteral("Aus"), QStringLiteral("Averaging"),
                                QStringLiteral("Peak hold"), QStringLiteral("Valley hold"),
                                QStringLiteral("Adv. peak hold"), QStringLiteral("Adv. valley hold")}));
}

}  // namespace
