#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// The about box: program title, version line, copyright notice and the
// program icon. Created per use; the launcher sets ProgTitle and NoticeText.
class TAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDlg(QWidget* owner = nullptr);

  QString ProgTitle;
  QString NoticeText;

  int ShowModal() { return exec(); }

  // The program's version as "major.minor.release Build build", from the
  // version the program was built with; empty when it carries none.
  static QString VersionText();
  // The same for a version written "a.b.c.d" (missing parts count as 0);
  // empty when `version` is not such a version.
  static QString FormatVersionText(const QString& version);

  QLabel* Logo;
  QLabel* stProgTitle;
  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QPushButton* btnOK;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};
