#pragma once

#include <QObject>
#include <functional>

class QPushButton;
class QTimer;
class QWidget;

// The delay between a user's change in a setup dialog and its write: a
// change arms the timer with the changed control's tag; when the interval
// has passed since the last change, `OnFire` hears the tag to write. What
// else happens is up to named rules, so every dialog says which it follows.
// The interval always counts from the last change, never less.
class SetupChangeTimer : public QObject {
  Q_OBJECT

 public:
  // What a change of another control does to the change that is pending.
  enum class TagRule {
    LastWins,       // it replaces it: only the last control's change is written
    FlushPrevious,  // the pending change is fired at once, then the new one waits
    Accumulate,     // the tags (bits) are or-ed: one firing writes them all
  };
  struct TRules {
    int intervalMs = 100;
    TagRule tags = TagRule::LastWins;
    // Leaving the control (ControlLeft) fires a pending change at once.
    bool fireWhenLeft = false;
    // A change disables the dialog's OK button (OkButton); the dialog
    // enables it again when the write has gone out.
    bool okDisabledWhilePending = false;
    // A firing that finds `Busy` true waits another interval and tries
    // again, the change still pending.
    bool retryWhileBusy = false;
    // Hiding the owner (closing the dialog) drops a pending change.
    bool stoppedOnClose = true;
  };

  // `owner` is the dialog; the timer is its child named `name`.
  SetupChangeTimer(QWidget* owner, const QString& name, const TRules& rules);

  std::function<void(int tag)> OnFire;
  std::function<bool()> Busy;
  QPushButton* OkButton = nullptr;

  const TRules& Rules() const { return rules_; }

  // A control with `tag` changed; `intervalMs` above 0 in place of the
  // rules' interval for this change.
  void Change(int tag, int intervalMs = 0);
  // The changed control lost the focus.
  void ControlLeft();
  // Fires a pending change now (the rules' busy check included).
  void FireNow();
  // Drops the pending change without writing it.
  void Discard();

  bool isActive() const;
  // The pending tag (bits), 0 when nothing is pending.
  int PendingTag() const;
  // A change of `tag` is pending.
  bool Pending(int tag) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Timeout();

  TRules rules_;
  QTimer* timer_;
  int tag_ = 0;
};
