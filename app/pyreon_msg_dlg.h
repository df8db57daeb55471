#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "app/modal_result.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TLngINISupp;

// One button of a button set: language key (section "Other"), English
// default and modal result.
struct TMsgDlgButton {
  const char* Key;
  const char* Default;
  int Result;
};

// A button set of the question box: how many buttons it shows and what they
// are (Btn1, Btn2, Btn3).
struct TMsgDlgButtonSet {
  int Count;
  std::array<TMsgDlgButton, 3> Buttons;
};

// Where the two check boxes go. Slot 0 is the place of cbQ1 on the form
// design, slot 1 the place of cbQ2; SlotsShown is how many of the slots the
// form keeps below the buttons (the form ends after them).
struct TMsgDlgCheckLayout {
  int SlotQ1;
  int SlotQ2;
  int SlotsShown;
};

// The tables of the question box, usable without a display.
struct TPyreonMsgDlgRules {
  static constexpr int kButtonSetCount = 6;
  // The button set `set`; an unknown set is treated as set 0 (a single OK).
  static const TMsgDlgButtonSet& ButtonSet(int set);
  // Buttons shown for a set and the count the caller asked for: the caller's
  // count, but at least one and no more than the set defines.
  static int ShownButtons(int set, int buttonCount);
  // Places for the check boxes shown (a check box is shown exactly when its
  // caption is not empty).
  static TMsgDlgCheckLayout CheckLayout(bool showQ1, bool showQ2);
};

// The question box with up to three buttons and two optional check boxes.
// Created per use: set the texts, then ShowModal returns the modal result of
// the button pressed (closing the window gives mrCancel).
class TPyreonMsgDlg : public QDialog {
  Q_OBJECT

 public:
  // `lng` gives the button captions (nullptr: the English defaults).
  TPyreonMsgDlg(QWidget* owner, int buttons, int buttonCount, const TLngINISupp* lng = nullptr);

  void SetText(const QString& text);
  void SetCheckBox1Text(const QString& text);
  void SetCheckBox2Text(const QString& text);
  bool CheckBox1State() const;
  void SetCheckBox1State(bool checked);

  int Buttons() const { return buttons_; }
  int ButtonCount() const { return buttonCount_; }

  int ShowModal() { return exec(); }

  QLabel* lblQ0;
  QPushButton* Btn1;
  QPushButton* Btn2;
  QPushButton* Btn3;
  QCheckBox* cbQ1;
  QCheckBox* cbQ2;

 public Q_SLOTS:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormShow();
  void ArrangeLayout();

  const TLngINISupp* lng_;
  int buttons_;
  int buttonCount_;
  std::array<int, 3> results_{mrNone, mrNone, mrNone};
  QVBoxLayout* checkArea_ = nullptr;
};
