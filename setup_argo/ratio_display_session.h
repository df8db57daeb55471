#pragma once

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"

// The device work of the ratio dialog's display page, one session job each:
// the eight visual-alarm rows written at once (0x6F per row), and the
// device's standard display (0x80 0x00, then the rows, the visual-alarm
// source and the main-value source read back). The outcome's config is the
// cache afterwards, for refilling the page.
class RatioDisplaySession {
 public:
  explicit RatioDisplaySession(ArgoSetupSession& session) : session_(session) {}

  void WriteVisualAlarms(const TArgoVisualAlarms& rows, ArgoSetupSession::Done done);
  void SetStandardDisplay(ArgoSetupSession::Done done);

 private:
  ArgoSetupSession& session_;
};
