#include "setup_argo/argo_device_setup_dlg.h"

TArgoDeviceSetupDlg::TArgoDeviceSetupDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("ArgoDeviceSetupDlg"));
}

TArgoDeviceSetupDlg::~TArgoDeviceSetupDlg() = default;

void TArgoDeviceSetupDlg::SetDevice(ArgoFamily* device) { FDevice = device; }

int TArgoDeviceSetupDlg::ActivePage() const { return FActivePage; }

void TArgoDeviceSetupDlg::SetActivePage(int index) { FActivePage = index; }
