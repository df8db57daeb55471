// Saves a picture of the whole X screen (the root window) as PNG: what a
// user sees, for the end-to-end tests of the display program.
//
//   thermasentinel-screengrab <file.png>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: thermasentinel-screengrab <file.png>\n");
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "no screen\n");
    return 1;
  }
  const QPixmap shot = screen->grabWindow(0);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot grab or save the screen\n");
    return 1;
  }
  return 0;
}
