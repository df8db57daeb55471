#pragma once

#include <QApplication>

// The program's application object: an exception that reaches the event
// loop is dropped (reported on stderr) instead of ending the program.
class TThermaSentinelApplication : public QApplication {
  Q_OBJECT

 public:
  TThermaSentinelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Exceptions dropped so far.
  static int DroppedExceptions();
};
