#include "setup_argo/vererodur_display_page.h"

TVererodurDisplayPage::TVererodurDisplayPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("VererodurDisplayPage"));
}

void TVererodurDisplayPage::Bind(ArgoSetupSession*, TLngINISupp*) {}
