// GlowReadout: one external display of ThermaSentinel per process.

#include <QApplication>
#include <QTimer>

#include "glowreadout/display_link_client.h"
#include "glowreadout/f_main.h"
#include "platform/termination_watcher.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The display window is a tool window; closing it ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QStringList parameters = QCoreApplication::arguments();
  if (!parameters.isEmpty()) parameters.removeFirst();

  TfMain fMain(parameters);
  TDisplayLinkClient link;
  const bool linked = TDisplayLinkClient::Configured();
  fMain.OnSend = [&link](const DisplayLink::TLinkMessage& m) { link.Send(m); };
  link.OnMessage = [&fMain](const DisplayLink::TLinkMessage& m) { fMain.HandleMessage(m); };
  link.OnDropped = [&fMain] { QTimer::singleShot(0, &fMain, [&fMain] { fMain.LinkDropped(); }); };
  if (linked) {
    fMain.OnFirstShown = [&link, &fMain] { link.Connect(fMain.WindowId()); };
  }
  // A session logout (SIGTERM) is the system's close command: the window
  // closes the ordinary way and tells its owner.
  TerminationWatcher termination(&app);
  termination.OnTerminationRequested = [&fMain] { fMain.close(); };
  fMain.show();
  // Closing the display window ends the program once its last words are out.
  struct CloseWatcher : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Close) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      return false;
    }
  } closeWatcher;
  fMain.installEventFilter(&closeWatcher);
  const int rc = QApplication::exec();
  link.Flush(1000);
  return rc;
}
