#pragma once

#include <QString>

// The folders the program uses.
//
// The program folder is the folder of the executable (language files,
// Corporate.ini, Corporate.ico, the help file). The per-user data folder is
// $XDG_CONFIG_HOME (default ~/.config) plus a sub-folder. A file that the
// program writes beside itself goes to the per-user folder instead when the
// program folder is not writable.
class Folders {
 public:
  // The executable's folder, or the folder set for tests. No trailing '/'.
  static QString ProgramFolder();
  // Makes ProgramFolder() return `folder`; an empty text restores the real one.
  static void SetProgramFolderForTesting(const QString& folder);

  // $XDG_CONFIG_HOME (when set to an absolute path) or ~/.config, plus
  // `subfolder` when not empty. With `create` the folder is created when
  // missing (a failure is not an error here: writing into it will fail).
  static QString UserDataFolder(const QString& subfolder = QString(), bool create = true);

  // The program folder when the program may write there, else
  // UserDataFolder(subfolder).
  static QString WritableProgramFolderOr(const QString& subfolder);

  // True when files can be created in `folder`.
  static bool IsWritableFolder(const QString& folder);
};
