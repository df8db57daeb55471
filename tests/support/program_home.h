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

// Points the program at `dir`: its program folder "prog" with the shipped
// language file, settings under "cfg", the port map "ports.ini".
inline void PrepareProgramHome(const QTemporaryDir& dir) {
  QDir().mkpath(dir.filePath(QStringLiteral("prog")));
  QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
              dir.filePath(QStringLiteral("prog/English.lng")));
  Folders::SetProgramFolderForTesting(dir.filePath(QStringLiteral("prog")));
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
  qputenv("THERMASENTINEL_PORTS", dir.filePath(QStringLiteral("ports.ini")).toLocal8Bit());
  TLngINISupp::ResetSharedStateForTesting();
}

// Undoes the process-wide part of PrepareProgramHome.
inline void LeaveProgramHome() {
  Folders::SetProgramFolderForTesting(QString());
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("THERMASENTINEL_PORTS");
}

class ProgramHome {
 public:
  ProgramHome() {
    PrepareProgramHome(dir_);
    QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
    if (ports.open(QIODevice::WriteOnly)) ports.write("[Ports]\r\n");
  }
  ~ProgramHome() {
    NumberText::SetDecimalSeparator(QChar());
    LeaveProgramHome();
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
