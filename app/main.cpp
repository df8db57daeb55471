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

  // SIGTERM / SIGINT close the main window the ordinary way (a modal window
  // open at the time is closed first), so the settings are written.
  TerminationWatcher watcher(&app);
  TThermaSentinelForm* form = nullptr;
  watcher.OnTerminationRequested = [&form] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      modal->close();
      return;
    }
    if (form != nullptr) form->close();
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
