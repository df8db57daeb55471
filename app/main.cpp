#include <QApplication>
#include <QMainWindow>

#include "app/termination_watcher.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ThermaSentinel"));
  QApplication::setApplicationVersion(QStringLiteral(TS_VERSION_TEXT));
  QMainWindow window;
  window.setObjectName(QStringLiteral("ThermaSentinelForm"));
  window.setWindowTitle(QStringLiteral("ThermaSentinel ") + QStringLiteral(TS_VERSION_TEXT));
  window.resize(800, 600);

  TerminationWatcher watcher(&app);
  watcher.OnTerminationRequested = [&window] { window.close(); };

  window.show();
  return app.exec();
}
