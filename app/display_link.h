#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "measurement/display_record.h"
#include "platform/display_link_protocol.h"

class TDisplayLinkChannel;
class TDisplayLinkServer;

// The main program's external displays: one GlowReadout process per display,
// started with the command line that carries its settings and spoken to over
// its link. Keeps one TDisplayRecord per display in the order the main
// window lists them (every update moves a record to the end), applies the
// displays' reports, and hands values and texts to them. Nothing here waits
// for a display: a start is finished when the display introduces itself, or
// failed at its deadline.
//
// A display counts as running from its introduction until it reports code
// 255 or its connection drops. Displays told to close (CloseAll) stop
// running, but their records stay listed so they are saved and started
// again at the next start.
class TDisplayLink : public QObject {
  Q_OBJECT

 public:
  explicit TDisplayLink(QObject* parent = nullptr);
  ~TDisplayLink() override;

  // The program started per display (default: GlowReadout in the program
  // folder).
  void SetProgram(const QString& path) { program_ = path; }
  const QString& Program() const { return program_; }
  // The main window's id (MsgDisplayOwner, WM_COPYDATA's sender).
  std::uint32_t MainHandle() const { return mainHandle_; }
  // The main window's caption, given to every display started.
  void SetMainCaption(const QString& caption) { mainCaption_ = caption; }
  // The desktop the reported positions are checked against.
  void SetDesktop(const std::function<QRect()>& desktop) { desktop_ = desktop; }
  // How long a started display has to introduce itself.
  void SetStartTimeoutMs(int ms) { startTimeoutMs_ = ms; }

  // The arguments GlowReadout gets for `record` (its kind and window are not
  // passed): the command line the main program has always written, split
  // as the platform splits it, except that the name stays one argument.
  static QStringList DisplayArguments(const TDisplayRecord& record, const QString& mainCaption);
  // That command line as one text (for the log).
  static QString DisplayCommandLine(const TDisplayRecord& record, const QString& mainCaption);

  // Starts a display with the settings of `record` (its window is ignored).
  // Returns the start's id (> 0), or 0 when the program cannot be started.
  int StartDisplay(const TDisplayRecord& record);
  // Starts one display per saved line. Lines that are not records are
  // skipped; a position beyond the desktop starts at 1.
  void RestoreDisplays(const QStringList& lines);

  // The record lines of the listed displays, in list order.
  QStringList Lines() const;
  // What is saved at exit: the listed displays and those still starting.
  QStringList SavedLines() const;
  const QList<TDisplayRecord>& Records() const { return records_; }
  int RunningCount() const;
  // The process of a listed display (0 when not known).
  std::int64_t ProcessId(std::uint32_t window) const { return pids_.value(window, 0); }
  int StartingCount() const { return static_cast<int>(starting_.size()); }

  // MsgDisplayValue to every running display of `kind`.
  void SendValue(int kind, std::uint32_t wParam);
  // The eleven popup captions and the decimal separator to every running
  // display, and to the displays still starting once they arrive.
  void SendTexts(const QStringList& captions, QChar decimalSeparator);
  // A text shown in place of the value (kind 254) to the displays of `kind`.
  void SendValueText(int kind, const QString& text);
  // MsgDisplayClose to every listed display.
  void CloseAll();

  // The record of a display changed, was added or removed.
  std::function<void()> OnRecordsChanged;
  // The number of running displays changed.
  std::function<void(int running)> OnRunningChanged;
  // A running display closed itself (code 255 or a dropped link) and none is
  // left running.
  std::function<void()> OnLastDisplayClosed;
  // A display asked to end everything (code 254).
  std::function<void()> OnExitAll;
  // A display asked to show the main window.
  std::function<void()> OnShowMainApp;
  // A start ended: the display introduced itself (`window` its id) or did
  // not in time / could not be started (`window` 0).
  std::function<void(int startId, std::uint32_t window)> OnStartFinished;
  // Log lines (starts, failures, dropped links).
  std::function<void(const QString&)> OnLog;

  // Applies one message from the display whose link carries window id
  // `window` (public for tests and the fuzzer).
  void HandleMessage(std::uint32_t window, const DisplayLink::TLinkMessage& message);
  // What report `report` does to a display's record (codes 254 and 255
  // leave it as it is); positions beyond `desktop` are not taken.
  static void ApplyReport(TDisplayRecord& record, const DisplayLink::TReport& report, const QRect& desktop);
  // A display appeared on the link (public for tests): as if start
  // `startId` had introduced itself with `window` over `channel`.
  void Introduced(int startId, TDisplayLinkChannel* channel, std::uint32_t window, std::int64_t pid);

  static constexpr int kDefaultStartTimeoutMs = 10000;

 private:
  struct Starting {
    TDisplayRecord Record;
    QByteArray Token;
  };
  void StartFailed(int startId);
  void LinkDropped(std::uint32_t window);
  int IndexOf(std::uint32_t window) const;
  void Append(const TDisplayRecord& record);
  void Send(std::uint32_t window, const DisplayLink::TLinkMessage& message);
  void SendTextsTo(std::uint32_t window);
  void RecordsChanged();
  void RunningChanged();
  void Log(const QString& line);
  bool EnsureServer();

  QString program_;
  std::uint32_t mainHandle_;
  QString mainCaption_;
  std::function<QRect()> desktop_;
  int startTimeoutMs_ = kDefaultStartTimeoutMs;
  TDisplayLinkServer* server_ = nullptr;
  QList<TDisplayRecord> records_;
  QMap<int, Starting> starting_;
  QMap<std::uint32_t, TDisplayLinkChannel*> running_;
  // Running displays told to close, or leaving with "Exit (all)": their
  // links are about to drop, their records stay.
  QSet<std::uint32_t> closing_;
  // Starts whose display gets the texts when it arrives.
  QSet<int> textsOnArrival_;
  QMap<std::uint32_t, std::int64_t> pids_;
  int nextStartId_ = 1;
  bool haveTexts_ = false;
  QStringList captions_;
  QChar decimalSeparator_ = QLatin1Char('.');
};
