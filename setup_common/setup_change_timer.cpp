#include "setup_common/setup_change_timer.h"

#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

SetupChangeTimer::SetupChangeTimer(QWidget* owner, const QString& name, const TRules& rules)
    : QObject(owner), rules_(rules), timer_(new QTimer(this)) {
  setObjectName(name);
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(rules_.intervalMs);
  connect(timer_, &QTimer::timeout, this, [this] { Timeout(); });
  if (rules_.stoppedOnClose && owner != nullptr) owner->installEventFilter(this);
}

void SetupChangeTimer::Change(int tag, int intervalMs) {
  if (timer_->isActive() && tag_ != 0 && tag_ != tag) {
    switch (rules_.tags) {
      case TagRule::LastWins:
        break;
      case TagRule::FlushPrevious: {
        const int previous = tag_;
        timer_->stop();
        tag_ = 0;
        if (OnFire) OnFire(previous);
        break;
      }
      case TagRule::Accumulate:
        tag |= tag_;
        break;
    }
  } else if (rules_.tags == TagRule::Accumulate) {
    tag |= tag_;
  }
  tag_ = tag;
  timer_->setInterval(intervalMs > 0 ? intervalMs : rules_.intervalMs);
  timer_->start();
  if (rules_.okDisabledWhilePending && OkButton != nullptr) OkButton->setEnabled(false);
}

void SetupChangeTimer::ControlLeft() {
  if (rules_.fireWhenLeft && timer_->isActive()) FireNow();
}

void SetupChangeTimer::FireNow() {
  timer_->stop();
  Timeout();
}

void SetupChangeTimer::Timeout() {
  if (rules_.retryWhileBusy && Busy && Busy()) {
    timer_->start();
    return;
  }
  const int tag = tag_;
  tag_ = 0;
  if (OnFire) OnFire(tag);
}

void SetupChangeTimer::Discard() {
  timer_->stop();
  tag_ = 0;
}

bool SetupChangeTimer::isActive() const { return timer_->isActive(); }

int SetupChangeTimer::PendingTag() const { return timer_->isActive() ? tag_ : 0; }

bool SetupChangeTimer::Pending(int tag) const { return timer_->isActive() && tag_ == tag; }

bool SetupChangeTimer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Hide && !event->spontaneous()) Discard();
  return QObject::eventFilter(watched, event);
}
