#pragma once

#include <QWidget>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"

class TLngINISupp;

// The "Display settings" page of the ratio setup dialog (placeholder).
class TVererodurDisplayPage : public QWidget {
  Q_OBJECT

 public:
  explicit TVererodurDisplayPage(QWidget* parent = nullptr);

  void Bind(ArgoSetupSession* session, TLngINISupp* language);
  void FillSourceItems() {}
  void LoadDisplayPage(const TArgoConfig&) {}
  bool WritePending() const { return false; }
  void FlushPendingWrite() {}
  void DiscardPendingWrite() {}
  bool Busy() const { return false; }

 Q_SIGNALS:
  void deviceWorkStarted();
  void deviceWorkFinished(const ArgoSetupSession::TOutcome& outcome);
};
