#pragma once

#include <QString>
#include <QStringList>

// The command line of thermasentinel-devsim:
//
//   thermasentinel-devsim --model NAME [model options]
//                         (--pty [--link PATH] | --rfc2217 PORT)
//                         [--ports-file FILE --com N]
//   thermasentinel-devsim --list-models | --help
//
// Every argument the program does not know goes to the model in order
// (e.g. "--baud 9600"); the model refuses what it does not know.
struct DevsimOptions {
  enum class Transport { None, Pty, Rfc2217 };

  bool help = false;
  bool listModels = false;
  QString model;
  QStringList modelOptions;
  Transport transport = Transport::None;
  int tcpPort = 0;  // --rfc2217; 0 picks a free port
  QString link;     // --link: symlink to the pty slave
  QString portsFile;
  int com = 0;

  // Parses the arguments after the program name; on a usage error returns
  // false with a reason in `error`.
  static bool Parse(const QStringList& arguments, DevsimOptions& out, QString& error);
  static QString Usage();
};

// A model's options with every "--name=value" split into "--name" and
// "value" (at the first '='), so that a model parses both spellings alike.
QStringList SplitOptionValues(const QStringList& options);

// Sets "COM<com>=<value>" in section [Ports] of the ini file `path`,
// keeping every other line; creates the file or the section when missing.
// The file is replaced in one step (written beside it, then renamed).
// Returns false with a reason in `error`.
bool SetPortsEntry(const QString& path, int com, const QString& value, QString& error);
