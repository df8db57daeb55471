#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;

// Asks whether all settings are to be reset and the program restarted.
// ShowModal gives 1 (OK) or 2 (Cancel, also for closing the window). The
// launcher deletes the settings file, closes the main window and, once the
// program has stopped writing its files, calls Restart.
class TSetDefaultSettingsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TSetDefaultSettingsDlg(QWidget* owner = nullptr);

  int ShowModal() { return exec(); }

  // Starts the program again with the command line of this run. False when
  // it could not be started.
  static bool Restart();
  // Starts `program` with `arguments` as a process of its own.
  static bool StartProgram(const QString& program, const QStringList& arguments);

  QLabel* lblLine1;
  QLabel* lblLine2;
  QLabel* lblLine3;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};
