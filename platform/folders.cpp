#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_mutex;
QString g_programFolderOverride;

QString HomeFolder() {
  const QString home = qEnvironmentVariable("HOME");
  if (!home.isEmpty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return QFile::decodeName(pw->pw_dir);
  return QDir::tempPath();
}

QString WithoutTrailingSlash(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path;
}

}  // namespace

QString Folders::ProgramFolder() {
  {
    QMutexLocker lock(&g_mutex);
    if (!g_programFolderOverride.isEmpty()) return g_programFolderOverride;
  }
  const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
  if (!exe.isEmpty()) return WithoutTrailingSlash(QFileInfo(exe).absolutePath());
  return WithoutTrailingSlash(QDir::currentPath());
}

void Folders::SetProgramFolderForTesting(const QString& folder) {
  QMutexLocker lock(&g_mutex);
  g_programFolderOverride = folder.isEmpty() ? QString() : WithoutTrailingSlash(QDir(folder).absolutePath());
}

QString Folders::UserDataFolder(const QString& subfolder, bool create) {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = HomeFolder() + QStringLiteral("/.config");
  QString folder = WithoutTrailingSlash(QDir::cleanPath(base));
  if (!subfolder.isEmpty()) folder = QDir::cleanPath(folder + QLatin1Char('/') + subfolder);
  if (create) QDir().mkpath(folder);
  return folder;
}

QString Folders::WritableProgramFolderOr(const QString& subfolder) {
  const QString program = ProgramFolder();
  if (IsWritableFolder(program)) return program;
  return UserDataFolder(subfolder);
}

bool Folders::IsWritableFolder(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}
