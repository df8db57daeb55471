#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ThermaSentinel"));
  QApplication::setApplicationVersion(QStringLiteral(TS_VERSION_TEXT));
  QMainWindow window;
  window.setObjectName(QStringLiteral("ThermaSentinelForm"));
  window.setWindowTitle(QStringLiteral("ThermaSentinel ") + QStringLiteral(TS_VERSION_TEXT));
  window.resize(800, 600);
  window.show();
  return app.exec();
}
