#include "app/display_link.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>

#include "platform/display_link_channel.h"
#include "platform/display_link_server.h"
#include "platform/folders.h"

namespace {

QString Flags(const TDisplayRecord& r) {
  QString s;
  if (r.Transparent) s += QStringLiteral(" /transparent");
  if (r.Border) s += QStringLiteral(" /border");
  if (r.Contrast) s += QStringLiteral(" /contrast");
  return s;
}

// A caption holding '"' would end the quoted argument early.
QString QuotableCaption(QString caption) { return caption.remove(QLatin1Char('"')); }

}  // namespace

TDisplayLink::TDisplayLink(QObject* parent)
    : QObject(parent),
      program_(Folders::ProgramFolder() + QStringLiteral("/GlowReadout")),
      mainHandle_(DisplayLink::NewWindowId()),
      desktop_([] { return QRect(0, 0, 65536, 65536); }) {}

TDisplayLink::~TDisplayLink() {
  OnRecordsChanged = nullptr;
  OnRunningChanged = nullptr;
  OnLastDisplayClosed = nullptr;
  OnExitAll = nullptr;
  OnShowMainApp = nullptr;
  OnStartFinished = nullptr;
  OnLog = nullptr;
  for (TDisplayLinkChannel* c : std::as_const(running_)) {
    c->OnMessage = nullptr;
    c->OnDropped = nullptr;
  }
}

QStringList TDisplayLink::DisplayArguments(const TDisplayRecord& r, const QString& mainCaption) {
  QStringList args{QStringLiteral("/x"),
                   QStringLiteral("/name=") + r.Name,
                   QStringLiteral("/Appname=") + QuotableCaption(mainCaption),
                   QStringLiteral("/pos=%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Width).arg(r.Height),
                   QStringLiteral("/color=%1").arg(r.Colour),
                   QStringLiteral("/cross=%1,%2,%3").arg(r.CrossX).arg(r.CrossY).arg(r.CrossOn)};
  args << Flags(r).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  return args;
}

QString TDisplayLink::DisplayCommandLine(const TDisplayRecord& r, const QString& mainCaption) {
  return QStringLiteral("/x /name=%1 /Appname=\"%2\" /pos=%3,%4,%5,%6 /color=%7 /cross=%8,%9,%10")
             .arg(r.Name, QuotableCaption(mainCaption))
             .arg(r.Left)
             .arg(r.Top)
             .arg(r.Width)
             .arg(r.Height)
             .arg(r.Colour)
             .arg(r.CrossX)
             .arg(r.CrossY)
             .arg(r.CrossOn) +
         Flags(r);
}

bool TDisplayLink::EnsureServer() {
  if (server_ != nullptr) return true;
  auto* server = new TDisplayLinkServer(this);
  if (!server->Listen()) {
    Log(QStringLiteral("external displays: no link socket: ") + server->ErrorText());
    delete server;
    return false;
  }
  server->OnIntroduced = [this](int startId, TDisplayLinkChannel* channel, std::uint32_t window,
                                std::int64_t pid) { Introduced(startId, channel, window, pid); };
  server->OnStartFailed = [this](int startId) { StartFailed(startId); };
  server_ = server;
  return true;
}

int TDisplayLink::StartDisplay(const TDisplayRecord& record) {
  if (!EnsureServer()) return 0;
  const int startId = nextStartId_++;
  const QByteArray token = server_->Expect(startId, startTimeoutMs_);
  QProcess process;
  process.setProgram(program_);
  process.setArguments(DisplayArguments(record, mainCaption_));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(DisplayLink::kServerEnvironment), server_->ServerPath());
  env.insert(QString::fromLatin1(DisplayLink::kTokenEnvironment), QString::fromLatin1(token));
  process.setProcessEnvironment(env);
  qint64 pid = 0;
  if (!process.startDetached(&pid)) {
    server_->Forget(token);
    Log(QStringLiteral("external display not started: ") + program_ + QStringLiteral(": ") +
        process.errorString());
    return 0;
  }
  server_->SetExpectedPid(token, pid);
  starting_.insert(startId, {record, token});
  Log(QStringLiteral("external display starting: ") + DisplayCommandLine(record, mainCaption_));
  return startId;
}

void TDisplayLink::RestoreDisplays(const QStringList& lines) {
  const QRect desktop = desktop_();
  for (const QString& line : lines) {
    std::optional<TDisplayRecord> r = TDisplayRecord::Parse(line);
    if (!r) {
      Log(QStringLiteral("external display: saved line skipped, not a display record"));
      continue;
    }
    if (r->Left > desktop.left() + desktop.width()) r->Left = 1;
    if (r->Top > desktop.top() + desktop.height()) r->Top = 1;
    StartDisplay(*r);
  }
}

void TDisplayLink::StartFailed(int startId) {
  auto it = starting_.find(startId);
  if (it == starting_.end()) return;
  Log(QStringLiteral("external display did not start in time: ") + it->Record.Name);
  starting_.erase(it);
  if (OnStartFinished) OnStartFinished(startId, 0);
}

void TDisplayLink::Introduced(int startId, TDisplayLinkChannel* channel, std::uint32_t window,
                              std::int64_t pid) {
  auto it = starting_.find(startId);
  if (it == starting_.end() || running_.contains(window) || IndexOf(window) >= 0) {
    channel->Close();
    channel->deleteLater();
    return;
  }
  TDisplayRecord record = it->Record;
  const bool texts = textsOnArrival_.remove(startId);
  starting_.erase(it);
  record.Window = window;
  channel->setParent(this);
  running_.insert(window, channel);
  pids_.insert(window, pid);
  channel->OnMessage = [this, channel](const DisplayLink::TLinkMessage& m) {
    const std::uint32_t current = running_.key(channel, 0);
    if (current != 0) HandleMessage(current, m);
  };
  channel->OnDropped = [this, channel](bool) {
    const std::uint32_t current = running_.key(channel, 0);
    if (current != 0) LinkDropped(current);
  };
  Append(record);
  Send(window, DisplayLink::Message(DisplayLink::MsgDisplayOwner, mainHandle_, 0));
  if (texts) SendTextsTo(window);
  RecordsChanged();
  RunningChanged();
  if (OnStartFinished) OnStartFinished(startId, window);
}

void TDisplayLink::HandleMessage(std::uint32_t window, const DisplayLink::TLinkMessage& m) {
  // A display speaks for its own window only.
  switch (m.Msg) {
    case DisplayLink::MsgDisplayReport: {
      const int index = m.WParam == window ? IndexOf(window) : -1;
      if (index < 0) return;
      TDisplayRecord r = records_.takeAt(index);
      const DisplayLink::TReport report = DisplayLink::DecodeReport(m.LParam);
      namespace C = DisplayLink::ReportCode;
      ApplyReport(r, report, desktop_());
      // "Exit (all)": the display closes after this without a removal
      // report; its record stays for the next start.
      if (report.Code == C::ExitAll) closing_.insert(window);
      if (report.Code == C::Closed) {
        TDisplayLinkChannel* channel = running_.take(window);
        closing_.remove(window);
        pids_.remove(window);
        if (channel != nullptr) {
          channel->Close();
          channel->deleteLater();
        }
        RecordsChanged();
        RunningChanged();
        if (RunningCount() == 0 && OnLastDisplayClosed) OnLastDisplayClosed();
        return;
      }
      records_.append(r);
      RecordsChanged();
      if (report.Code == C::ExitAll) {
        RunningChanged();
        if (OnExitAll) OnExitAll();
      }
      return;
    }
    case DisplayLink::MsgDisplayColor: {
      const int index = m.WParam == window ? IndexOf(window) : -1;
      if (index < 0) return;
      TDisplayRecord r = records_.takeAt(index);
      r.Colour = m.LParam;
      records_.append(r);
      RecordsChanged();
      return;
    }
    case DisplayLink::MsgDisplayHandle: {
      const int index = m.WParam == window ? IndexOf(window) : -1;
      const auto newWindow = static_cast<std::uint32_t>(m.LParam);
      if (index < 0 || newWindow == 0 || newWindow > 0x7FFFFFFFu) return;
      if (newWindow != window && (IndexOf(newWindow) >= 0 || running_.contains(newWindow))) return;
      TDisplayRecord r = records_.takeAt(index);
      r.Window = newWindow;
      records_.append(r);
      if (newWindow != window) {
        if (TDisplayLinkChannel* channel = running_.take(window)) running_.insert(newWindow, channel);
        if (pids_.contains(window)) pids_.insert(newWindow, pids_.take(window));
        if (closing_.remove(window)) closing_.insert(newWindow);
      }
      RecordsChanged();
      return;
    }
    case DisplayLink::MsgShowMainApp:
      if (OnShowMainApp) OnShowMainApp();
      return;
    default:
      return;  // nothing a display sends
  }
}

void TDisplayLink::ApplyReport(TDisplayRecord& r, const DisplayLink::TReport& report, const QRect& desktop) {
  namespace C = DisplayLink::ReportCode;
  switch (report.Code) {
    case C::Left:
      if (desktop.left() + desktop.width() > report.Value) r.Left = report.Value;
      break;
    case C::Top:
      if (desktop.top() + desktop.height() > report.Value) r.Top = report.Value;
      break;
    case C::Width:
      r.Width = report.Value;
      break;
    case C::Height:
      r.Height = report.Value;
      break;
    case C::ColorLow:
      r.Colour = static_cast<std::int32_t>((static_cast<std::uint32_t>(r.Colour) & 0xFFFF0000u) |
                                           (static_cast<std::uint32_t>(report.Value) & 0xFFFFu));
      break;
    case C::ColorHigh:
      r.Colour = static_cast<std::int32_t>((static_cast<std::uint32_t>(r.Colour) & 0xFFFFu) |
                                           ((static_cast<std::uint32_t>(report.Value) & 0xFFFFu) << 16));
      break;
    case C::Style:
      r.Transparent = (report.Value & DisplayLink::kStyleTransparent) != 0;
      r.Border = (report.Value & DisplayLink::kStyleBorder) != 0;
      r.Contrast = (report.Value & DisplayLink::kStyleContrast) != 0;
      break;
    case C::CrossX:
      r.CrossX = report.Value;
      break;
    case C::CrossY:
      r.CrossY = report.Value;
      break;
    case C::CrossShown:
      r.CrossOn = report.Value;
      break;
    default:
      break;
  }
}

void TDisplayLink::LinkDropped(std::uint32_t window) {
  TDisplayLinkChannel* channel = running_.take(window);
  if (channel != nullptr) channel->deleteLater();
  pids_.remove(window);
  if (closing_.remove(window)) {
    // Told to close (or leaving with all): the record stays listed.
    return;
  }
  // Gone without a word: the same as its removal report.
  Log(QStringLiteral("external display link dropped: %1").arg(window));
  const int index = IndexOf(window);
  if (index >= 0) records_.removeAt(index);
  RecordsChanged();
  RunningChanged();
  if (RunningCount() == 0 && OnLastDisplayClosed) OnLastDisplayClosed();
}

QStringList TDisplayLink::Lines() const {
  QStringList out;
  for (const TDisplayRecord& r : records_) out << r.ToLine();
  return out;
}

QStringList TDisplayLink::SavedLines() const {
  QStringList out = Lines();
  for (const Starting& s : starting_) out << s.Record.ToLine();
  return out;
}

int TDisplayLink::RunningCount() const {
  int n = 0;
  for (auto it = running_.cbegin(); it != running_.cend(); ++it) {
    if (!closing_.contains(it.key())) ++n;
  }
  return n;
}

void TDisplayLink::SendValue(int kind, std::uint32_t wParam) {
  for (const TDisplayRecord& r : std::as_const(records_)) {
    if (r.Kind == kind) Send(r.Window, DisplayLink::Message(DisplayLink::MsgDisplayValue, wParam, 0));
  }
}

void TDisplayLink::SendTexts(const QStringList& captions, QChar decimalSeparator) {
  haveTexts_ = true;
  captions_ = captions;
  decimalSeparator_ = decimalSeparator;
  for (auto it = running_.cbegin(); it != running_.cend(); ++it) SendTextsTo(it.key());
  for (auto it = starting_.cbegin(); it != starting_.cend(); ++it) textsOnArrival_.insert(it.key());
}

void TDisplayLink::SendTextsTo(std::uint32_t window) {
  if (!haveTexts_) return;
  for (int i = 0; i < captions_.size() && i <= DisplayLink::kTextPopupLast; ++i) {
    Send(window, DisplayLink::CopyData(mainHandle_, i, captions_[i]));
  }
  Send(window,
       DisplayLink::CopyData(mainHandle_, DisplayLink::kTextDecimalSeparator, QString(decimalSeparator_)));
}

void TDisplayLink::SendValueText(int kind, const QString& text) {
  for (const TDisplayRecord& r : std::as_const(records_)) {
    if (r.Kind == kind) Send(r.Window, DisplayLink::CopyData(mainHandle_, DisplayLink::kTextValue, text));
  }
}

void TDisplayLink::CloseAll() {
  for (const TDisplayRecord& r : std::as_const(records_)) {
    TDisplayLinkChannel* channel = running_.value(r.Window, nullptr);
    if (channel == nullptr) continue;
    channel->Send(DisplayLink::Message(DisplayLink::MsgDisplayClose, 0, 0));
    // Written now: the program may end right after this.
    channel->Flush(50);
    closing_.insert(r.Window);
  }
  RunningChanged();
}

void TDisplayLink::Send(std::uint32_t window, const DisplayLink::TLinkMessage& message) {
  if (closing_.contains(window)) return;
  TDisplayLinkChannel* channel = running_.value(window, nullptr);
  if (channel != nullptr) channel->Send(message);
}

int TDisplayLink::IndexOf(std::uint32_t window) const {
  for (int i = 0; i < records_.size(); ++i) {
    if (records_[i].Window == window) return i;
  }
  return -1;
}

void TDisplayLink::Append(const TDisplayRecord& record) { records_.append(record); }

void TDisplayLink::RecordsChanged() {
  if (OnRecordsChanged) OnRecordsChanged();
}

void TDisplayLink::RunningChanged() {
  if (OnRunningChanged) OnRunningChanged(RunningCount());
}

void TDisplayLink::Log(const QString& line) {
  if (OnLog) OnLog(line);
}
