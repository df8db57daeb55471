#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "measurement/config.h"

class ArgoFamily;
class TLngINISupp;

// The setup dialog of a single-colour device: three pages of the device's
// parameters, shown from the session's snapshot of the driver's caches and
// written as the user edits them.
class TArgoDeviceSetupDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TArgoDeviceSetupDlg(QWidget* owner = nullptr);
  ~TArgoDeviceSetupDlg() override;

  // Binds the dialog to the device.
  void SetDevice(ArgoFamily* device);

  // Raised when the device's settings changed, with the device's display unit.
  std::function<void(QObject* sender, bool fahrenheit)> FOnSettingsChanged;
  TSlopeRaster FSlopeRasters;          // handed on to the slope dialog and back
  std::uint32_t FAdjustColor = 32768;  // 0x00BBGGRR, as stored
  float FRangeLow = -20.0f;            // measuring range, degrees C
  float FRangeHigh = 1000.0f;
  TLngINISupp* FLng = nullptr;  // the program's language component

  // Page index of the page control.
  int ActivePage() const;
  void SetActivePage(int index);
  int ShowModal() { return exec(); }

 private:
  ArgoFamily* FDevice = nullptr;
  int FActivePage = 0;
};
