#pragma once

#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class IniFile;
class QAction;

// Mark keys that the code keeps in tables and reads through a variable, so
// the language file's generator (lang/) finds them in the sources as it
// finds the literal keys of MessageText, OtherText, OtherTextOrKey and
// ReadText calls. Each expands to its literals.
// A key read with OtherTextOrKey (the key is its own default):
#define LNG_OTHER_KEY(key) key
// A key read with OtherText and its English default:
#define LNG_OTHER_TEXT(key, defaultText) key, defaultText

// The language texts of the program. A language file is an ini file
// "<language>.lng" in the program folder (Windows-1252): one section per form
// (named like the form) with "Caption" and one key per named control, plus the
// sections "Messages", "Other", "Language", "GlowReadout" and "Record".
//
// At load the captions of every registered form (see FormRegistry) and their
// controls are set from the file; afterwards every form reads single texts by
// key with an English default. Names of forms, controls, sections and keys
// match without regard to case. The file is read once and kept in memory; it
// is read again only when it changed on disk.
//
// Which controls take captions (the first that matches decides):
//   tab page (a page of a QTabWidget)   its tab text
//   QAction (menu item)                 text
//   QMenu (menu item with sub-items)    title
//   QFileDialog                         window title
//   QAbstractButton (push, tool, check and radio buttons)   text
//   QLabel                              text
//   QGroupBox (also RadioGroup)         title
//   CaptionPanel                        caption
//   PanelStatusBar                      each panel, key "<name>.Panels[<n>]"
class TLngINISupp : public QObject {
  Q_OBJECT

 public:
  explicit TLngINISupp(QObject* owner = nullptr);
  ~TLngINISupp() override;

  // Raised after a language file was applied when a language had already been
  // loaded before (the first load of a run does not raise it).
  std::function<void(QObject* sender)> OnLanguageChange;
  // Shows the component's two messages (missing file name, missing file).
  // When not assigned, a message box is shown.
  std::function<void(const QString& text)> OnShowMessage;

  // Full path of the language file. The setter always puts the file into the
  // program folder (any folder in `value` is dropped) and then exports
  // language.xml. Returns false when language.xml could be written nowhere
  // (the file name is taken all the same); the caller tells the user.
  QString FileName() const { return fileName_; }
  bool SetFileName(const QString& value);
  // Raised when a language chosen from a language list could not export
  // language.xml (the language is loaded all the same); `folder` is where
  // it was to go. Without it the failure is only logged.
  std::function<void(const QString& folder)> OnExportFailed;

  QMenuBar* Menu() const { return menu_; }
  void SetMenu(QMenuBar* menu) { menu_ = menu; }
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
  int MenuItemNo() const { return menuItemNo_; }
  void SetMenuItemNo(int value) { menuItemNo_ = value; }
  int MenuSubItemNo() const { return menuSubItemNo_; }
  void SetMenuSubItemNo(int value) { menuSubItemNo_ = value; }
  // When set, nothing is ever written into the language file.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }

  QString HelpFile() const { return helpFile_; }
  QString Revision() const { return revision_; }
  void SetRevision(const QString& value) { revision_ = value; }
  QString CopyRight() const { return copyRight_; }
  void SetCopyRight(const QString& value) { copyRight_ = value; }
  QString ISRecord() const { return isRecord_; }
  void SetISRecord(const QString& value) { isRecord_ = value; }
  QString ApplicationKey() const { return applicationKey_; }
  void SetApplicationKey(const QString& value) { applicationKey_ = value; }

  // Text readers; they never fail. `ReadText` gives `defaultText` while no
  // language is loaded or when the key is missing; a double quote in the value
  // starts an 8-character line marker that becomes a line break (CR LF).
  QString ReadText(const QString& key, const QString& defaultText, const QString& section) const;
  QString MessageText(const QString& key, const QString& defaultText) const;
  QString OtherText(const QString& key, const QString& defaultText) const;
  QString OtherTextOrKey(const QString& key) const;

  // Sees every text the program reads through ReadText and its wrappers,
  // loaded language or not (the language file's generator and its test
  // record them). Process-wide; an empty function ends the recording.
  using TextReadObserver =
      std::function<void(const QString& section, const QString& key, const QString& defaultText)>;
  static void SetTextReadObserver(TextReadObserver observer);

  // Builds the language lists (once per run), writes missing keys, applies the
  // texts and raises OnLanguageChange. Returns false when the load was
  // abandoned because no file name is set (the message has been shown then).
  bool LoadLanguage();
  // No language is loaded afterwards and the file name is empty.
  void UnloadLanguage();
  // The steps of LoadLanguage.
  bool ReloadTexts();
  void WriteMissingKeys();
  void ApplyTexts();
  // Applies the loaded language's captions to one form, for a form made
  // after the language was loaded (nothing while none is loaded).
  void ApplyTexts(QWidget* form);
  void BuildLanguageMenu();
  void BuildLanguagePopup();

  // Writes language.xml from `section` with element name `tag` into the
  // program folder, or into the per-user folder when the program folder is not
  // writable. Returns false (and logs) when it could be written nowhere;
  // ExportFolder() then names the folder it was to go to.
  bool ExportRecord(const QString& section, const QString& tag);
  // Where language.xml was last written; empty when never.
  QString ExportedFile() const { return exportedFile_; }
  QString ExportFolder() const { return exportFolder_; }
  // The text ExportRecord writes.
  QString RecordXml(const QString& section, const QString& tag) const;

  // Language files of `folder` that the language menu lists, sorted by name:
  // "*.lng" (any case) regular files that are not read-only.
  static QStringList LanguageFiles(const QString& folder);

  // A language has been loaded in this process.
  static bool LanguageLoaded();
  // Forgets the process-wide state (loaded flag, built language lists); for
  // tests that need a fresh run.
  static void ResetSharedStateForTesting();
  // Takes `content` as the language file, held in memory: nothing is read
  // from or written to disk (for checking language texts quickly).
  void SetContentForTesting(const QByteArray& content);

 private:
  void WriteIfMissing(const QString& section, const QString& key, const QString& value);
  void ShowMessage(const QString& text);
  IniFile* File() const;
  QMenu* CreateLanguageList(QWidget* parent, const QString& name, const QString& itemPrefix, bool popup);
  void LanguageItemClick(QAction* item);
  void PopupLanguageItemClick(QAction* item);

  QString fileName_;
  mutable std::unique_ptr<IniFile> file_;
  QPointer<QMenuBar> menu_;
  QPointer<QMenu> popupMenu_;
  int menuItemNo_ = 0;
  int menuSubItemNo_ = 0;
  bool readOnly_ = false;
  QString helpFile_;
  QString revision_;
  QString copyRight_;
  QString isRecord_;
  QString applicationKey_;
  QString exportedFile_;
  QString exportFolder_;
};
