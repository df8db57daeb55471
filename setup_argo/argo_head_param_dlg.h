#pragma once

#include <QDialog>
#include <functional>

#include "drivers/argo/argo_types.h"
#include "setup_argo/head_code_validator.h"

class QFrame;
class QLineEdit;
class QPushButton;
class TLngINISupp;

// Lets the user type the head parameter code of a single-colour device:
// three groups of four base-32 characters (short code) or five (large code),
// shown with a dash between groups. The caller says which form the device
// keeps (HeadCodeValidator::ModeForFirmware), hands in the groups, shows the
// dialog and on OK takes the groups of that form back and writes them; the
// dialog itself never talks to the device.
class TArgoHeadParamDlg : public QDialog {
  Q_OBJECT

 public:
  using TMode = HeadCodeValidator::TMode;

  explicit TArgoHeadParamDlg(QWidget* owner = nullptr);

  // Set by the caller before ShowModal. Only the array of Mode is edited;
  // empty groups show as blanks.
  TMode Mode = TMode::Short;
  TArgoHeadCodeShort FShortCode;
  TArgoHeadCodeLarge FLargeCode;
  // The program's language component (captions applied at show).
  TLngINISupp* FLng = nullptr;

  int ShowModal() { return exec(); }

  // Sounds when a character is refused (the system beep unless replaced).
  std::function<void()> Beep;

  QFrame* Bevel1;
  QLineEdit* meHeadParam;
  QPushButton* BtnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void meParamChange(const QString& text);
  void BtnOKClick();
};
