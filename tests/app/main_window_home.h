#pragma once

// A per-test home for the main window: its settings and port map in a
// folder of the test, and a program folder holding the shipped language file.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/folders.h"
#include "ui/lng_ini_supp.h"

namespace apptest {

inline void PrepareMainWindowHome(const QTemporaryDir& dir) {
  QDir().mkpath(dir.filePath(QStringLiteral("prog")));
  QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
              dir.filePath(QStringLiteral("prog/English.lng")));
  Folders::SetProgramFolderForTesting(dir.filePath(QStringLiteral("prog")));
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
  qputenv("THERMASENTINEL_PORTS", dir.filePath(QStringLiteral("ports.ini")).toLocal8Bit());
  TLngINISupp::ResetSharedStateForTesting();
}

inline void LeaveMainWindowHome() {
  Folders::SetProgramFolderForTesting(QString());
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("THERMASENTINEL_PORTS");
}

}  // namespace apptest
