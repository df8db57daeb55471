#include "setup_argo/vererodur_calibration_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

TVererodurCalibrationPage::TVererodurCalibrationPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("VererodurCalibrationPage"));
  gbRatioCali = new QGroupBox(this);
  gbRatioCali->setObjectName(QStringLiteral("gbRatioCali"));
  pnlFWrev = new QLabel(
      QStringLiteral("Argo Firmware revision must be >= 5016 ! Please update your device for calibration."), this);
  pnlFWrev->setObjectName(QStringLiteral("pnlFWrev"));
  pnlFWrev->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gbRatioCali);
  layout->addWidget(pnlFWrev);
}

void TVererodurCalibrationPage::Bind(ArgoSetupSession*, TLngINISupp*, int) {}

void TVererodurCalibrationPage::SetFirmware(int fwRev) {
  gbRatioCali->setVisible(fwRev >= 5016);
  pnlFWrev->setVisible(fwRev < 5016);
}
