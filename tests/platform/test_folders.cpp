#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <ostream>

#include "platform/folders.h"
#include "tests/support/env_guard.h"

// Readable QString values in test failure messages.
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace {

using test_support::EnvGuard;

TEST(Folders, ProgramFolderIsTheExecutablesFolderUnlessSetForTests) {
  EXPECT_EQ(Folders::ProgramFolder(), QCoreApplication::applicationDirPath());
  QTemporaryDir dir;
  Folders::SetProgramFolderForTesting(dir.path() + QStringLiteral("/"));
  EXPECT_EQ(Folders::ProgramFolder(), dir.path());
  Folders::SetProgramFolderForTesting(QString());
  EXPECT_EQ(Folders::ProgramFolder(), QCoreApplication::applicationDirPath());
}

TEST(Folders, UserDataFolderFollowsXdgConfigHome) {
  QTemporaryDir dir;
  {
    EnvGuard xdg("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")));
    const QString folder = Folders::UserDataFolder(QStringLiteral("ThermaSentinel"));
    EXPECT_EQ(folder, dir.filePath(QStringLiteral("cfg/ThermaSentinel")));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(Folders::UserDataFolder(), dir.filePath(QStringLiteral("cfg")));
    EXPECT_FALSE(QFileInfo(Folders::UserDataFolder(QStringLiteral("Other"), false)).exists());
  }
  {
    // A relative XDG_CONFIG_HOME is not valid: ~/.config is used.
    EnvGuard home("HOME", dir.path());
    EnvGuard xdg("XDG_CONFIG_HOME", QStringLiteral("relative/path"));
    EXPECT_EQ(Folders::UserDataFolder(QStringLiteral("Sub")), dir.filePath(QStringLiteral(".config/Sub")));
  }
}

TEST(Folders, WritableProgramFolderOrUserFolder) {
  QTemporaryDir dir;
  EnvGuard xdg("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")));
  Folders::SetProgramFolderForTesting(dir.path());
  EXPECT_EQ(Folders::WritableProgramFolderOr(QStringLiteral("Sub")), dir.path());
  // A program folder that cannot take files: the per-user folder instead.
  Folders::SetProgramFolderForTesting(dir.filePath(QStringLiteral("gone")));
  EXPECT_EQ(Folders::WritableProgramFolderOr(QStringLiteral("Sub")), dir.filePath(QStringLiteral("cfg/Sub")));
  if (::geteuid() != 0) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ro")));
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Folders::SetProgramFolderForTesting(dir.filePath(QStringLiteral("ro")));
    EXPECT_EQ(Folders::WritableProgramFolderOr(QStringLiteral("Sub")),
              dir.filePath(QStringLiteral("cfg/Sub")));
  }
  Folders::SetProgramFolderForTesting(QString());
}

}  // namespace
