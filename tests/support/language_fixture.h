#pragma once

// A hand-made language file, loaded for one test: the file is written into a
// temporary program folder and applied to every form registered so far;
// the destructor puts the process-wide language state back.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "platform/folders.h"
#include "ui/lng_ini_supp.h"

namespace test_support {

class LanguageFixture {
 public:
  // `contents`: the file's bytes (Windows-1252, CR LF).
  explicit LanguageFixture(const QByteArray& contents) {
    EXPECT_TRUE(programDir_.isValid());
    qputenv("XDG_CONFIG_HOME", programDir_.filePath(QStringLiteral("user")).toUtf8());
    Folders::SetProgramFolderForTesting(programDir_.path());
    TLngINISupp::ResetSharedStateForTesting();
    QFile file(programDir_.filePath(QStringLiteral("Test.lng")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    lng.SetReadOnly(true);
    lng.OnShowMessage = [](const QString&) {};
    lng.SetFileName(QStringLiteral("Test.lng"));
    EXPECT_TRUE(lng.LoadLanguage());
  }
  ~LanguageFixture() {
    TLngINISupp::ResetSharedStateForTesting();
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
  }
  LanguageFixture(const LanguageFixture&) = delete;
  LanguageFixture& operator=(const LanguageFixture&) = delete;

  QString ProgramFolder() const { return programDir_.path(); }

  TLngINISupp lng;

 private:
  QTemporaryDir programDir_;
};

}  // namespace test_support
