#pragma once

#include <QString>
#include <QStringList>

// The command line of ThermaSentinel, parsed once. The switches are compared
// without regard to case unless noted; unknown parameters are ignored.
//
//   "/?..." or "/HELP..."   StopFlag: show the command-line help and end
//   "/NAME=<name>"          InstanceName (case kept, not trimmed, at most 255
//                           characters; later parameters win). An empty or
//                           blank name, or one holding a path separator, ".."
//                           or a control character, sets StopFlag; so does
//                           a name whose settings file name would be longer
//                           than the file systems take (255 bytes).
//   "/DELAY" or "/DELAY=n"  Delay in seconds before the deferred start: 0
//                           without the switch, 1 when bare or when n is not
//                           a whole number >= 0, n otherwise (at most
//                           kMaxDelaySeconds); the last one wins
//   "/INVISIBLE..."         Invisible
//   "/TO=n"                 ScanTimeOut of the device search: n (decimal,
//                           blanks trimmed), kDefaultScanTimeOut when absent,
//                           not a number or negative
//   "\KVW"                  ServiceSwitch; exactly this text, case-sensitive
//   "/SRVC"                 CalibrationSwitch (the ratio model's calibration
//                           page); exactly this text, case-sensitive
class CommandLine {
 public:
  CommandLine() = default;
  // `Parameters` are the arguments without the program path (ParamStr 1..n);
  // `ProgramName` is the executable's name without folder and extension
  // (the settings file is named after it).
  explicit CommandLine(const QStringList& Parameters,
                       const QString& ProgramName = QStringLiteral("ThermaSentinel"));
  // `Arguments` as QCoreApplication::arguments() gives them (program first).
  static CommandLine FromArguments(const QStringList& Arguments);

  const QStringList& Parameters() const { return parameters_; }

  bool StopFlag() const { return stopFlag_; }
  const QString& InstanceName() const { return instanceName_; }
  int Delay() const { return delay_; }
  // Interval of the one-shot start-up timer: Delay x 1000 + 1 ms.
  int StartupTimerInterval() const { return delay_ * 1000 + 1; }
  bool Invisible() const { return invisible_; }
  int ScanTimeOut() const { return scanTimeOut_; }
  bool ServiceSwitch() const { return serviceSwitch_; }
  bool CalibrationSwitch() const { return calibrationSwitch_; }

  // False for a name with '/', '\\', "..", or a control character.
  static bool IsSafeInstanceName(const QString& name);
  // False when the settings file of `ProgramName` with the instance `name`
  // would have a name longer than the file systems take.
  static bool FitsSettingsFileName(const QString& name, const QString& ProgramName);

  static constexpr int kMaxDelaySeconds = 3600;
  static constexpr int kDefaultScanTimeOut = 100;
  static constexpr int kMaxInstanceNameLength = 255;

 private:
  QStringList parameters_;
  bool stopFlag_ = false;
  QString instanceName_;
  int delay_ = 0;
  bool invisible_ = false;
  int scanTimeOut_ = kDefaultScanTimeOut;
  bool serviceSwitch_ = false;
  bool calibrationSwitch_ = false;
};
