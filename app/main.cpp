#include <QApplication>
#include <QWidget>

#include "app/therma_sentinel_application.h"
#include "app/therma_sentinel_form.h"
#include "platform/logger.h"
#include "platform/termination_watcher.h"

int main(int argc, char** argv) {
  TThermaSentinelApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ThermaSentinel"));
  QApplication::setApplicationVersion(QStringLiteral(TS_VERSION_TEXT));
  Logger::CaptureQtMessages();

  // SIGTERM / SIGINT never wait on a question or a box: unsaved data are
  // saved into the data folder, the window closes (writing its settings),
  // and every event loop ends, also one a box is running.
  TerminationWatcher watcher(&app);
  TThermaSentinelForm* form = nullptr;
  watcher.OnTerminationRequested = [&form] {
    if (form != nullptr) form->TerminateBySignal();
    QCoreApplication::exit(0);
  };

  TThermaSentinelForm window(QApplication::arguments(), QStringLiteral(TS_VERSION_TEXT));
  form = &window;
  if (window.StopFlag()) return 0;
  // Test aid: THERMASENTINEL_TEST_SAVE_FILE names the file the save command
  // writes, in place of asking with the file dialog.
  const QString saveFile = qEnvironmentVariable("THERMASENTINEL_TEST_SAVE_FILE");
  if (!saveFile.isEmpty())
    window.OnChooseDataFileName = [saveFile](bool save) { return save ? saveFile : QString(); };
  window.show();
  return app.exec();
}
