// Saving onto a disk that is full: a small memory file system is mounted
// for the test (skipped where the machine does not allow mounting). Every
// writer must report the failure, leave the old file byte for byte and
// leave no half-written file behind.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <functional>

#include "measurement/config.h"
#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "platform/ini_file.h"

namespace {

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const QByteArray path = QFile::encodeName(dir_.path());
    if (::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") != 0) {
      GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }

  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  static QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  // Fills what is left of the file system.
  void Fill() {
    QFile f(Path("filler"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (f.write(block) == block.size() && f.flush()) {
    }
  }
  QStringList Entries() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

  QTemporaryDir dir_;
  bool mounted_ = false;
};

MeasurementData ManySamples(int count) {
  MeasurementData data;
  data.Header.Resolution = 0.01;
  for (int i = 0; i < count; ++i) {
    TChannelValues v{};
    v.fill(100.0f + static_cast<float>(i));
    data.Append(i * 0.01, v);
  }
  return data;
}

TEST_F(FullDiskTest, AFailedSaveKeepsTheOldFileByteForByte) {
  const QByteArray oldData = "[Sentinel DataFile][1.2]\r\nold measurement\r\n";
  const QByteArray oldSettings = "[COM]\r\nCOM=3\r\n";
  Write(Path("old.dat"), oldData);
  Write(Path("settings.ini"), oldSettings);
  Fill();
  const QStringList before = Entries();

  struct Case {
    const char* what;
    std::function<bool()> save;
    const char* file;
    QByteArray old;
  };
  const MeasurementData data = ManySamples(2000);  // far more than fits
  const Case cases[] = {
      {"data file", [&] { return MeasurementDataFile().Write(Path("old.dat"), data.Header, data).Ok(); },
       "old.dat", oldData},
      {"settings key",
       [&] {
         TConfig c(Path("settings.ini"));
         return c.WriteLanguageFile(QString(2000, QLatin1Char('x')));
       },
       "settings.ini", oldSettings},
      {"settings batch",
       [&] {
         TConfig c(Path("settings.ini"));
         c.BeginUpdate();
         c.WriteDisplayList(QStringList(50, QString(100, QLatin1Char('d'))));
         return c.EndUpdate();
       },
       "settings.ini", oldSettings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(c.save());
    EXPECT_EQ(ReadAll(Path(c.file)), c.old);
    EXPECT_EQ(Entries(), before);  // no temporary file left behind
  }
  // What the user is told about the settings.
  TConfig config(Path("settings.ini"));
  QStringList messages;
  config.OnWriteFailed = [&](const QString& m) { messages << m; };
  EXPECT_FALSE(config.WriteLanguageFile(QString(2000, QLatin1Char('x'))));
  EXPECT_FALSE(config.WriteComPort(4000));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.first().contains(QLatin1String("cannot be written")))
      << messages.first().toStdString();
  EXPECT_EQ(config.ReadComPort(), 3);
}

}  // namespace
