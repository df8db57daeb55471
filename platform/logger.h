#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The program's one logging channel.
//
// Diagnostic lines (failures that are handled and go on, dropped exceptions,
// notes about unsupported line features) go to stderr as
// "<program>: <source>: <text>"; a driver's traffic log goes through the same
// channel into its own file, one line "yyyy-MM-dd hh:mm:ss.zzz<TAB><text>"
// appended per call. Callable from any thread; lines never interleave.
class Logger {
 public:
  enum class Level { Info, Warning, Error };

  struct Record {
    Level level = Level::Info;
    QString source;  // who writes: "COM3", "idle handler", ...
    QString text;
    QString file;  // the traffic log's file; empty for a stderr line
  };

  // Sees every record (on the writer's thread, under the channel's lock);
  // while one is set, stderr lines are handed to it instead of being
  // printed. Files are written in any case.
  using Sink = std::function<void(const Record& record)>;

  static void Write(Level level, const QString& source, const QString& text);
  static void Info(const QString& source, const QString& text) { Write(Level::Info, source, text); }
  static void Warning(const QString& source, const QString& text) { Write(Level::Warning, source, text); }
  static void Error(const QString& source, const QString& text) { Write(Level::Error, source, text); }

  // Inside a catch block: logs the exception being handled at `level` as
  // "<doing>: <its what() text>" ("unknown exception" for one that is no
  // std::exception).
  static void Caught(Level level, const QString& source, const QString& doing);

  // Appends one time-stamped line to `fileName` (a driver's log file).
  // False when the file could not be written; the caller goes on.
  static bool AppendToFile(const QString& fileName, const QString& text);

  // The stderr line of a record without file ("<program>: <source>: <text>",
  // the program being the application name when one is set).
  static QString Line(const Record& record);

  // Installs `sink` (an empty one restores stderr); returns the one before.
  static Sink SetSink(Sink sink);

  // Routes Qt's own messages (qWarning and the like) into this channel.
  static void CaptureQtMessages();

  // Sends every record to a list for the lifetime of the object (tests).
  class Capture {
   public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    // Records seen so far.
    std::vector<Record> Records() const;
    // Whether any stderr line contains `part`.
    bool Contains(const QString& part) const;

   private:
    struct State;
    std::shared_ptr<State> state_;
    Sink previous_;
  };
};
