// The program's logging channel: stderr lines and the driver log files.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/logger.h"

TEST(Logger, LinesNameTheProgramAndTheSource) {
  Logger::Capture capture;
  Logger::Warning(QStringLiteral("COM3"), QStringLiteral("releasing the line failed"));
  Logger::Error(QString(), QStringLiteral("no source"));
  const auto records = capture.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, Logger::Level::Warning);
  const QString program = QCoreApplication::applicationName();
  ASSERT_FALSE(program.isEmpty());
  EXPECT_EQ(Logger::Line(records[0]), program + QStringLiteral(": COM3: releasing the line failed"));
  EXPECT_EQ(Logger::Line(records[1]), program + QStringLiteral(": no source"));
  EXPECT_TRUE(capture.Contains(QStringLiteral("COM3: releasing")));
}

TEST(Logger, QtMessagesJoinTheChannel) {
  Logger::CaptureQtMessages();
  Logger::Capture capture;
  qWarning("from Qt %d", 7);
  qInstallMessageHandler(nullptr);
  EXPECT_TRUE(capture.Contains(QStringLiteral("Qt: from Qt 7")));
}

TEST(Logger, FileLinesAreTimeStampedAndAppended) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString name = dir.filePath(QStringLiteral("LogFile COM 4.log"));
  Logger::Capture capture;
  ASSERT_TRUE(Logger::AppendToFile(name, QStringLiteral("Senden :\tAA 01")));
  ASSERT_TRUE(Logger::AppendToFile(name, QStringLiteral("Empfangen : TIMEOUT")));
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 3);  // two lines and the empty rest after the last break
  const QRegularExpression stamp(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t)"));
  EXPECT_TRUE(stamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\tSenden :\tAA 01")));
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tEmpfangen : TIMEOUT")));
  EXPECT_TRUE(lines[2].isEmpty());
  // The channel sees the file lines too, but they never reach stderr.
  const auto records = capture.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].file, name);
  EXPECT_FALSE(capture.Contains(QStringLiteral("TIMEOUT")));
  // A file that cannot be written is reported to the caller, nothing thrown.
  EXPECT_FALSE(Logger::AppendToFile(dir.filePath(QStringLiteral("no/such/folder.log")), QStringLiteral("x")));
}

TEST(Logger, LinesFromManyThreadsStayWhole) {
  Logger::Capture capture;
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        Logger::Info(QStringLiteral("T%1").arg(t), QStringLiteral("line %1 of thread %2").arg(i).arg(t));
    });
  }
  for (std::thread& t : threads) t.join();
  const auto records = capture.Records();
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const Logger::Record& r : records) {
    const int t = r.source.mid(1).toInt();
    EXPECT_EQ(r.text, QStringLiteral("line %1 of thread %2").arg(next[t]).arg(t));
    ++next[t];
  }
}

// A caught exception is logged with what it says, whatever its type.
TEST(Logger, CaughtExceptionsAreLoggedWithTheirText) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    QString doing;
    QString expected;
  };
  const std::vector<Case> cases = {
      {"std::exception", [] { throw std::runtime_error("line gone"); }, QStringLiteral("reading"),
       QStringLiteral("reading: line gone")},
      {"anything else", [] { throw 42; }, QStringLiteral("closing"),
       QStringLiteral("closing: unknown exception")},
      {"no activity named", [] { throw std::logic_error("bad"); }, QString(), QStringLiteral("bad")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Logger::Capture capture;
    try {
      c.raise();
    } catch (...) {
      Logger::Caught(Logger::Level::Warning, QStringLiteral("src"), c.doing);
    }
    const auto records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, Logger::Level::Warning);
    EXPECT_EQ(records[0].source, QStringLiteral("src"));
    EXPECT_EQ(records[0].text, c.expected);
  }
}
