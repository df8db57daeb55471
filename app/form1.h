#pragma once

#include <QDialog>
#include <QString>

class CaptionPanel;

// The please-wait window: borderless, on top of the other windows, centred
// on the screen. The caller sets Message before showing it; the message is
// painted as soon as the window shows.
class TForm1 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* owner = nullptr);

  QString Message = QStringLiteral("Please wait !");

  CaptionPanel* Panel1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};
