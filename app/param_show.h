#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The command-line help window, shown when the program is started with "/?"
// or "/HELP".
class TfParamShow : public QDialog {
  Q_OBJECT

 public:
  explicit TfParamShow(QWidget* owner = nullptr);

  int ShowModal() { return exec(); }

  QLabel* Label1;  // title
  QLabel* Label2;  // "/? or /HELP"
  QLabel* Label3;  // its meaning
  QLabel* Label4;  // "/NAME=xxx"
  QLabel* Label5;  // its meaning
  QLabel* Label6;  // the note on instance names
  QLabel* Label7;  // "/DELAY=xxx"
  QLabel* Label8;  // its meaning
  QPushButton* bOK;
};
