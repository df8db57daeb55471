#include "platform/logger.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cstdio>
#include <exception>
#include <mutex>

namespace {

// Recursive: a sink that itself makes Qt print a warning comes back here.
std::recursive_mutex& ChannelMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

Logger::Sink& CurrentSink() {
  static Logger::Sink sink;
  return sink;
}

void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const Logger::Level level = type == QtDebugMsg || type == QtInfoMsg ? Logger::Level::Info
                              : type == QtWarningMsg                  ? Logger::Level::Warning
                                                                      : Logger::Level::Error;
  Logger::Write(level, QStringLiteral("Qt"), message);
}

}  // namespace

QString Logger::Line(const Record& record) {
  QString line;
  if (QCoreApplication::instance() != nullptr) {
    const QString program = QCoreApplication::applicationName();
    if (!program.isEmpty()) line = program + QStringLiteral(": ");
  }
  if (!record.source.isEmpty()) line += record.source + QStringLiteral(": ");
  return line + record.text;
}

void Logger::Write(Level level, const QString& source, const QString& text) {
  Record record{level, source, text, QString()};
  std::lock_guard<std::recursive_mutex> lock(ChannelMutex());
  if (const Sink& sink = CurrentSink()) {
    sink(record);
    return;
  }
  const QByteArray bytes = Line(record).toLocal8Bit() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
  std::fflush(stderr);
}

void Logger::Caught(Level level, const QString& source, const QString& doing) {
  QString what = QStringLiteral("unknown exception");
  try {
    if (const std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& e) {
    what = QString::fromLocal8Bit(e.what());
  } catch (...) {
    // Nothing more to say about it than that it came.
  }
  Write(level, source, doing.isEmpty() ? what : doing + QStringLiteral(": ") + what);
}

bool Logger::AppendToFile(const QString& fileName, const QString& text) {
  const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
                       QLatin1Char('\t') + text + QLatin1Char('\n');
  std::lock_guard<std::recursive_mutex> lock(ChannelMutex());
  if (const Sink& sink = CurrentSink()) sink(Record{Level::Info, QString(), text, fileName});
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  const QByteArray bytes = line.toUtf8();
  return file.write(bytes) == bytes.size();
}

Logger::Sink Logger::SetSink(Sink sink) {
  std::lock_guard<std::recursive_mutex> lock(ChannelMutex());
  Sink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

void Logger::CaptureQtMessages() { qInstallMessageHandler(QtMessage); }

struct Logger::Capture::State {
  mutable std::mutex mutex;
  std::vector<Record> records;
};

Logger::Capture::Capture() : state_(std::make_shared<State>()) {
  previous_ = SetSink([state = state_](const Record& record) {
    std::lock_guard lock(state->mutex);
    state->records.push_back(record);
  });
}

Logger::Capture::~Capture() { SetSink(std::move(previous_)); }

std::vector<Logger::Record> Logger::Capture::Records() const {
  std::lock_guard lock(state_->mutex);
  return state_->records;
}

bool Logger::Capture::Contains(const QString& part) const {
  std::lock_guard lock(state_->mutex);
  for (const Record& r : state_->records)
    if (r.file.isEmpty() && Line(r).contains(part)) return true;
  return false;
}
