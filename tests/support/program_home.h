#pragma once

// A per-test home for the main window: a program folder holding the English
// language file, the per-user settings folder and an empty ports file, all
// in a temporary folder; Leave undoes the process-wide settings.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/folders.h"
#include "platform/number_text.h"
#include "ui/lng_ini_supp.h"

namespace test_support {

class ProgramHome {
 public:
  ProgramHome() {
    QDir().mkpath(dir_.filePath(QStringLiteral("prog")));
    QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
                dir_.filePath(QStringLiteral("prog/English.lng")));
    Folders::SetProgramFolderForTesting(dir_.filePath(QStringLiteral("prog")));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("cfg")).toLocal8Bit());
    qputenv("THERMASENTINEL_PORTS", dir_.filePath(QStringLiteral("ports.ini")).toLocal8Bit());
    QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
    if (ports.open(QIODevice::WriteOnly)) ports.write("[Ports]\r\n");
    TLngINISupp::ResetSharedStateForTesting();
  }
  ~ProgramHome() {
    NumberText::SetDecimalSeparator(QChar());
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("THERMASENTINEL_PORTS");
  }
  ProgramHome(const ProgramHome&) = delete;
  ProgramHome& operator=(const ProgramHome&) = delete;

  bool IsValid() const { return dir_.isValid(); }
  // The settings file the running program reads (named after it).
  QString SettingsFile() const {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    return dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace test_support
