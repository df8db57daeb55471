// Saving and loading the single-colour configuration file from the setup
// dialog, on the emulated device: the saved bytes, a load that writes only
// what differs, files that load nothing, and a save that fails.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <functional>
#include <optional>

#include "drivers/argo/pyreon_argo.h"
#include "platform/number_text.h"
#include "setup_argo/argo_setup_config_file.h"
#include "setup_argo/argo_setup_session.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace argotest {
namespace {

using Outcome = ArgoSetupSession::TOutcome;

// The saved file of the emulated "argo-1500" as read, with '.' as decimal
// separator and without its date line.
QByteArray Golden() {
  QFile f(QStringLiteral(TS_SOURCE_DIR "/tests/setup_argo/data/argo_1500_saved.cfg"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ArgoSetupConfigFileTest : public ArgoSessionTest {
 protected:
  void Open() {
    StartSession({}, QStringLiteral("argo-1500"));
    ReadAllAndOpenSetup();
    model_->ClearRequests();
  }
  void TearDown() override {
    setup_.reset();
    NumberText::SetDecimalSeparator(QLatin1Char('.'));
    ArgoSessionTest::TearDown();
  }
  Outcome Run(const std::function<void(ArgoSetupSession&, ArgoSetupSession::Done)>& start) {
    std::optional<Outcome> out;
    start(*setup_, [&](const Outcome& o) { out = o; });
    EXPECT_TRUE(WaitForEvents([&] { return out.has_value(); }, 20000));
    return out.value_or(Outcome{});
  }
  Outcome Save(const QString& file) {
    return Run([&](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.Save(file, done); });
  }
  Outcome Load(const QString& file) {
    return Run([&](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.Load(file, done); });
  }
  static QByteArray Read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static void WriteFile(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  // The file without its date line, which follows the clock.
  static QByteArray WithoutDate(const QByteArray& text) {
    QByteArray out = text;
    const qsizetype from = out.indexOf("\r\nDate=");
    if (from >= 0) out.remove(from, out.indexOf("\r\n", from + 2) - from);
    return out;
  }
  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

};

TEST_F(ArgoSetupConfigFileTest, ProposedNameAndFilter) {
  EXPECT_EQ(ArgoSetupConfigFile::DefaultFileName(115000), QStringLiteral("Argo_115000.cfg"));
  EXPECT_EQ(ArgoSetupConfigFile::Filter(), QStringLiteral("All (*);;Argo Configuration (Argo_*.cfg)"));
}

// The saved file is the driver's cache in the file layout, with the
// program's decimal separator; either separator loads back to the same
// values and writes nothing.
TEST_F(ArgoSetupConfigFileTest, SaveWritesTheGoldenBytesWithEitherSeparator) {
  Open();
  for (const char separator : {'.', ','}) {
    SCOPED_TRACE(separator);
    NumberText::SetDecimalSeparator(QLatin1Char(separator));
    const QString file = Path(separator == '.' ? "Argo_dot.cfg" : "Argo_comma.cfg");
    const Outcome saved = Save(file);
    EXPECT_TRUE(saved.message.isEmpty()) << saved.message.toStdString();
    QByteArray golden = Golden();
    ASSERT_FALSE(golden.isEmpty());
    golden.replace('.', separator);
    EXPECT_EQ(WithoutDate(Read(file)).toStdString(), golden.toStdString());
    EXPECT_EQ(model_->RequestCount(), 0u);

    NumberText::SetDecimalSeparator(QLatin1Char(separator == '.' ? ',' : '.'));
    const Outcome loaded = Load(file);
    EXPECT_TRUE(loaded.fileLoaded) << loaded.message.toStdString();
    EXPECT_TRUE(loaded.report.Items.empty());
    EXPECT_EQ(model_->RequestCount(), 0u);
  }
}

TEST_F(ArgoSetupConfigFileTest, ASaveThatFailsIsReported) {
  Open();
  WriteFile(Path("plain"), "not a folder");
  const QString file = Path("plain") + QStringLiteral("/Argo_115000.cfg");
  const Outcome o = Save(file);
  EXPECT_TRUE(o.ran);
  EXPECT_TRUE(o.saveFailed);
  EXPECT_EQ(o.message, QStringLiteral("Saving the configuration failed: ") + file);
  EXPECT_FALSE(QFile::exists(file));
}

// A loaded file writes only the parameters that differ from the device,
// waits for the device to settle, and hands the file's address to the
// address edit without writing it.
TEST_F(ArgoSetupConfigFileTest, LoadWritesOnlyTheDifferences) {
  Open();
  const QString file = Path("Argo_115000.cfg");
  ASSERT_TRUE(Save(file).message.isEmpty());
  QByteArray text = Read(file);
  text.replace("Eps=1.000", "Eps=0.925");
  text.replace("AL3=-40.000", "AL3=150,500");
  text.replace("RS485addr=0", "RS485addr=7");
  WriteFile(file, text);

  QElapsedTimer t;
  t.start();
  const Outcome o = Load(file);
  EXPECT_GE(t.elapsed(), 1000);
  EXPECT_TRUE(o.fileLoaded);
  EXPECT_TRUE(o.message.isEmpty());
  EXPECT_EQ(o.loadedAddress, 7);
  EXPECT_EQ(o.report.Names(true), (QStringList{QStringLiteral("EMISSIVITY"), QStringLiteral("ALARM 3")}));
  EXPECT_TRUE(o.report.AllConfirmed());
  EXPECT_EQ(RequestBytes(),
            (std::vector<std::vector<std::uint8_t>>{{0x84, 0x03, 0x9D, 0x1A}, {0x8C, 0x09, 0xC9, 0x4C}}));
  EXPECT_EQ(State().emissivity, 925);
  EXPECT_EQ(State().busAddress, 0);
  EXPECT_FLOAT_EQ(o.config.Alarm[2], 150.5f);
}

// A missing file, another version, a value that does not convert or does
// not fit: nothing is written and the user gets a message.
TEST_F(ArgoSetupConfigFileTest, FilesThatDoNotLoadWriteNothing) {
  Open();
  const QString good = Path("Argo_good.cfg");
  ASSERT_TRUE(Save(good).message.isEmpty());
  const QByteArray text = Read(good);
  struct Case {
    const char* name;
    const char* from;
    const char* to;
    const char* message;
    ArgoSetupConfigFile::TLoadStatus status;
  };
  const Case cases[] = {
      {"missing", nullptr, nullptr, "File not found !", ArgoSetupConfigFile::FileNotFound},
      {"version 2.0", "FileRev=3.0", "FileRev=2.0", "File version mismatch !",
       ArgoSetupConfigFile::VersionMismatch},
      {"no version", "FileRev=3.0", "Revision=3.0", "File version mismatch !",
       ArgoSetupConfigFile::VersionMismatch},
      {"a value that is no number", "AL2=550.000", "AL2=hot", "conversion error",
       ArgoSetupConfigFile::ConversionError},
      {"a key missing", "Trans=1.000\r\n", "", "conversion error", ArgoSetupConfigFile::ConversionError},
      {"a code too large for its field", "AdvHoldMode=0", "AdvHoldMode=300", "conversion error",
       ArgoSetupConfigFile::ConversionError},
      {"an address the device cannot take", "RS485addr=0", "RS485addr=99", "conversion error",
       ArgoSetupConfigFile::ConversionError},
      {"not a number at all", "Eps=1.000", "Eps=nan", "conversion error",
       ArgoSetupConfigFile::ConversionError},
      {"beyond any float", "Eps=1.000", "Eps=1e99", "conversion error", ArgoSetupConfigFile::ConversionError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = Path("Argo_bad.cfg");
    QFile::remove(file);
    if (c.from) {
      QByteArray bad = text;
      bad.replace(c.from, c.to);
      ASSERT_NE(bad, text);
      WriteFile(file, bad);
    }
    model_->ClearRequests();
    const Outcome o = Load(file);
    EXPECT_TRUE(o.ran);
    EXPECT_FALSE(o.fileLoaded);
    EXPECT_EQ(o.message, QString::fromLatin1(c.message));
    EXPECT_EQ(o.loadStatus, c.status);
    EXPECT_TRUE(o.report.Items.empty());
    EXPECT_EQ(model_->RequestCount(), 0u);
  }
}

}  // namespace
}  // namespace argotest
