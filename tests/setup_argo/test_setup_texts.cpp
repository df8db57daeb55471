// The single-colour setup dialogs take their captions and the texts they set
// by code from the program's language file.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <initializer_list>
#include <memory>

#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/loop_maintenance_dlg.h"
#include "setup_argo/mat_table_dlg.h"
#include "setup_common/adjust_slope_dlg.h"
#include "setup_common/slope_diagram.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

// The caption the language component gives a named control.
QString CaptionOf(QWidget* form, const char* name) {
  QObject* c = FormRegistry::FindComponent(form, QString::fromLatin1(name));
  if (auto* b = qobject_cast<QAbstractButton*>(c)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(c)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(c)) return g->title();
  if (auto* m = qobject_cast<QMenu*>(c)) return m->title();
  if (auto* a = qobject_cast<QAction*>(c)) return a->text();
  return QStringLiteral("<no control %1>").arg(QLatin1String(name));
}

class SetupTextsTest : public ::testing::Test {
 protected:
  void SetUp() override { TLngINISupp::ResetSharedStateForTesting(); }
  void TearDown() override { TLngINISupp::ResetSharedStateForTesting(); }
};

// Dialogs made at start-up take their captions when the language loads;
// those made later (the setup dialog makes its sub-dialogs when it opens
// them) take them when they are shown.
TEST_F(SetupTextsTest, DialogsTakeTheirTextsFromTheLanguageFile) {
  auto matTable = std::make_unique<TMatTableDlg>();
  auto loop = std::make_unique<TLoopMaintenanceDlg>();
  TLngINISupp lng;
  lng.SetReadOnly(true);
  lng.OnShowMessage = [](const QString&) {};
  lng.SetContentForTesting(
      "[AdjustSlopeDlg]\r\ngbLowRange=Unterer Punkt:\r\nlblSlope=Steigung:\r\nbtnCancel=&Abbrechen\r\n"
      "mTempRaster=&Temperaturraster\r\nmOutputRasterOff=Aus\r\nmColor=&Farbe ...\r\n"
      "[MatTableDlg]\r\ncbAllEmiss=Alle\r\nbtnCancel=Abbrechen\r\n"
      "[ArgoHeadParamDlg]\r\nCaption=Kopfparameter\r\nBtnOK=&Gut\r\n"
      "[LoopMaintenanceDlg]\r\nBtnClose=&Schliessen\r\n"
      "[Other]\r\nLow=Tief\r\nHigh=Hoch\r\n");
  ASSERT_TRUE(lng.LoadLanguage());
  TAdjustSlopeDlg slope;
  TArgoHeadParamDlg headParam;
  TMatTableDlg lateMatTable;
  for (QDialog* late : std::initializer_list<QDialog*>{&slope, &headParam, &lateMatTable}) {
    EXPECT_NE(late->findChild<QPushButton*>(QStringLiteral("btnCancel"))->text(),
              QStringLiteral("&Abbrechen"));
  }
  slope.FLng = &lng;
  headParam.FLng = &lng;
  lateMatTable.FLng = &lng;
  for (QDialog* late : std::initializer_list<QDialog*>{&slope, &headParam, &lateMatTable}) {
    late->show();
    late->hide();
  }

  struct Case {
    QWidget* form;
    const char* control;
    const char* text;
  };
  const Case cases[] = {
      {&slope, "gbLowRange", "Unterer Punkt:"},
      {&slope, "gbHighRange", "High range temperature: "},
      {&slope, "lblSlope", "Steigung:"},
      {&slope, "btnCancel", "&Abbrechen"},
      {&slope, "mTempRaster", "&Temperaturraster"},
      {&slope, "mOutputRasterOff", "Aus"},
      {&slope, "mColor", "&Farbe ..."},
      {matTable.get(), "cbAllEmiss", "Alle"},
      {matTable.get(), "btnCancel", "Abbrechen"},
      {&lateMatTable, "cbAllEmiss", "Alle"},
      {&headParam, "BtnOK", "&Gut"},
      {loop.get(), "BtnClose", "&Schliessen"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CaptionOf(c.form, c.control), QString::fromUtf8(c.text))
        << c.form->objectName().toStdString() << "." << c.control;
  EXPECT_EQ(headParam.windowTitle(), QStringLiteral("Kopfparameter"));

  // Texts set by code: the labels of the slope points.
  EXPECT_EQ(slope.pbDiagram->PointLabel(SlopeDiagram::kLow), QStringLiteral("Tief"));
  EXPECT_EQ(slope.pbDiagram->PointLabel(SlopeDiagram::kHigh), QStringLiteral("Hoch"));
  // Without a language component the English texts stay.
  TAdjustSlopeDlg english;
  english.show();
  EXPECT_EQ(english.pbDiagram->PointLabel(SlopeDiagram::kLow), QStringLiteral("Low"));
  EXPECT_EQ(CaptionOf(&english, "btnCancel"), QStringLiteral("&Cancel"));
  english.hide();
}

}  // namespace
