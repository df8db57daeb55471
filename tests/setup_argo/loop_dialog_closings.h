#pragma once

// Every way a user closes the loop-maintenance dialog: its close button,
// Esc, the window's close box, and Reset followed by the close box.

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <functional>
#include <utility>
#include <vector>

#include "setup_argo/loop_maintenance_dlg.h"

namespace argotest {

using LoopDialogClosing = std::pair<const char*, std::function<void(TLoopMaintenanceDlg&)>>;

inline std::vector<LoopDialogClosing> LoopDialogClosings() {
  return {
      {"close button", [](TLoopMaintenanceDlg& d) { d.BtnClose->click(); }},
      {"Esc",
       [](TLoopMaintenanceDlg& d) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&d, &esc);
       }},
      {"close box", [](TLoopMaintenanceDlg& d) { d.close(); }},
      {"reset, then close box",
       [](TLoopMaintenanceDlg& d) {
         d.BtnReset->click();
         d.close();
       }},
  };
}

}  // namespace argotest
