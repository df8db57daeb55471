#include "ui/lng_ini_supp.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVariant>

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/logger.h"
#include "ui/caption_panel.h"
#include "ui/form_registry.h"
#include "ui/panel_status_bar.h"

namespace {

// Process-wide state shared by every instance.
bool g_languageLoaded = false;
bool g_menuListBuilt = false;
bool g_popupListBuilt = false;
TLngINISupp::TextReadObserver g_textReadObserver;

const QString kMessages = QStringLiteral("Messages");
const QString kOther = QStringLiteral("Other");
const QString kLanguage = QStringLiteral("Language");
const QString kCaption = QStringLiteral("Caption");
const QString kError = QStringLiteral("ERROR");
const QString kCrLf = QStringLiteral("\r\n");
constexpr int kMarkerLength = 8;

// How a component takes its caption; the first kind that fits decides.
enum class CaptionKind { None, TabPage, Action, Menu, FileDialog, Button, Label, GroupBox, Panel, StatusBar };

QTabWidget* TabWidgetOf(const QWidget* page) {
  const auto* stack = qobject_cast<const QStackedWidget*>(page->parentWidget());
  if (!stack) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  return tabs && tabs->indexOf(const_cast<QWidget*>(page)) >= 0 ? tabs : nullptr;
}

CaptionKind KindOf(const QObject* component) {
  if (const auto* widget = qobject_cast<const QWidget*>(component); widget && TabWidgetOf(widget))
    return CaptionKind::TabPage;
  if (qobject_cast<const QAction*>(component)) return CaptionKind::Action;
  if (qobject_cast<const QMenu*>(component)) return CaptionKind::Menu;
  if (qobject_cast<const QFileDialog*>(component)) return CaptionKind::FileDialog;
  if (qobject_cast<const QAbstractButton*>(component)) return CaptionKind::Button;
  if (qobject_cast<const QLabel*>(component)) return CaptionKind::Label;
  if (qobject_cast<const QGroupBox*>(component)) return CaptionKind::GroupBox;
  if (qobject_cast<const CaptionPanel*>(component)) return CaptionKind::Panel;
  if (qobject_cast<const PanelStatusBar*>(component)) return CaptionKind::StatusBar;
  return CaptionKind::None;
}

// The caption of a component that has one caption (not a status bar).
QString CaptionOf(const QObject* component, CaptionKind kind) {
  switch (kind) {
    case CaptionKind::TabPage: {
      const auto* page = static_cast<const QWidget*>(component);
      QTabWidget* tabs = TabWidgetOf(page);
      return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(page)));
    }
    case CaptionKind::Action:
      return static_cast<const QAction*>(component)->text();
    case CaptionKind::Menu:
      return static_cast<const QMenu*>(component)->title();
    case CaptionKind::FileDialog:
      return static_cast<const QFileDialog*>(component)->windowTitle();
    case CaptionKind::Button:
      return static_cast<const QAbstractButton*>(component)->text();
    case CaptionKind::Label:
      return static_cast<const QLabel*>(component)->text();
    case CaptionKind::GroupBox:
      return static_cast<const QGroupBox*>(component)->title();
    case CaptionKind::Panel:
      return static_cast<const CaptionPanel*>(component)->Caption();
    case CaptionKind::StatusBar:
    case CaptionKind::None:
      break;
  }
  return {};
}

void SetCaptionOf(QObject* component, CaptionKind kind, const QString& text) {
  switch (kind) {
    case CaptionKind::TabPage: {
      auto* page = static_cast<QWidget*>(component);
      QTabWidget* tabs = TabWidgetOf(page);
      tabs->setTabText(tabs->indexOf(page), text);
      break;
    }
    case CaptionKind::Action:
      static_cast<QAction*>(component)->setText(text);
      break;
    case CaptionKind::Menu:
      static_cast<QMenu*>(component)->setTitle(text);
      break;
    case CaptionKind::FileDialog:
      static_cast<QFileDialog*>(component)->setWindowTitle(text);
      break;
    case CaptionKind::Button:
      static_cast<QAbstractButton*>(component)->setText(text);
      break;
    case CaptionKind::Label:
      static_cast<QLabel*>(component)->setText(text);
      break;
    case CaptionKind::GroupBox:
      static_cast<QGroupBox*>(component)->setTitle(text);
      break;
    case CaptionKind::Panel:
      static_cast<CaptionPanel*>(component)->SetCaption(text);
      break;
    case CaptionKind::StatusBar:
    case CaptionKind::None:
      break;
  }
}

QString PanelKey(const QString& barName, int panel) {
  return barName + QStringLiteral(".Panels[") + QString::number(panel) + QLatin1Char(']');
}

// The panel number of a status-bar key "<bar>.Panels[<n>]": the digits
// between the "[" after the first "." and the next "]"; -1 when there are none.
int PanelIndexOf(const QString& key, int dot) {
  const qsizetype open = key.indexOf(QLatin1Char('['), dot);
  if (open < 0) return -1;
  const qsizetype close = key.indexOf(QLatin1Char(']'), open);
  if (close < 0) return -1;
  const QString digits = key.mid(open + 1, close - open - 1);
  if (digits.isEmpty() || digits.size() > 6) return -1;
  for (QChar c : digits)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
  return digits.toInt();
}

// Line markers: a double quote and the seven characters after it stand for a
// line break.
QString ExpandLineMarkers(const QString& value) {
  if (!value.contains(QLatin1Char('"'))) return value;
  QString result;
  QString rest = value;
  while (!rest.isEmpty()) {
    const qsizetype quote = rest.indexOf(QLatin1Char('"'));
    if (quote < 0) {
      result += rest;
      break;
    }
    result += rest.left(quote) + kCrLf;
    rest.remove(0, std::min<qsizetype>(quote + kMarkerLength, rest.size()));
  }
  return result;
}

QString XmlEscaped(const QString& text) {
  QString result;
  result.reserve(text.size());
  for (QChar c : text) {
    if (c == QLatin1Char('&')) {
      result += QStringLiteral("&amp;");
    } else if (c == QLatin1Char('<')) {
      result += QStringLiteral("&lt;");
    } else if (c == QLatin1Char('>')) {
      result += QStringLiteral("&gt;");
    } else {
      result += c;
    }
  }
  return result;
}

QString FileNamePart(const QString& value) {
  const qsizetype cut = std::max(value.lastIndexOf(QLatin1Char('/')), value.lastIndexOf(QLatin1Char('\\')));
  return value.mid(cut + 1);
}

QString UserSubfolder() {
  const QString name = QCoreApplication::applicationName();
  return name.isEmpty() ? QStringLiteral("ThermaSentinel") : name;
}

bool WriteFileAtomically(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace

TLngINISupp::TLngINISupp(QObject* owner) : QObject(owner) {}

TLngINISupp::~TLngINISupp() = default;

IniFile* TLngINISupp::File() const {
  if (fileName_.isEmpty()) return nullptr;
  if (!file_) file_ = std::make_unique<IniFile>(fileName_);
  return file_.get();
}

void TLngINISupp::SetContentForTesting(const QByteArray& content) {
  fileName_ = QStringLiteral("memory.lng");
  file_ = std::make_unique<IniFile>(IniFile::FromContent(content));
}

bool TLngINISupp::SetFileName(const QString& value) {
  const QString name = FileNamePart(value);
  fileName_ = name.isEmpty() ? QString() : Folders::ProgramFolder() + QLatin1Char('/') + name;
  file_.reset();
  return ExportRecord(QStringLiteral("Record"), QStringLiteral("generic"));
}

void TLngINISupp::SetTextReadObserver(TextReadObserver observer) { g_textReadObserver = std::move(observer); }

QString TLngINISupp::ReadText(const QString& key, const QString& defaultText, const QString& section) const {
  if (g_textReadObserver) g_textReadObserver(section, key, defaultText);
  if (!g_languageLoaded) return defaultText;
  const IniFile* file = File();
  if (!file) return defaultText;
  return ExpandLineMarkers(file->ReadString(section, key, defaultText));
}

QString TLngINISupp::MessageText(const QString& key, const QString& defaultText) const {
  return ReadText(key, defaultText, kMessages);
}

QString TLngINISupp::OtherText(const QString& key, const QString& defaultText) const {
  return ReadText(key, defaultText, kOther);
}

QString TLngINISupp::OtherTextOrKey(const QString& key) const { return ReadText(key, key, kOther); }

bool TLngINISupp::LoadLanguage() {
  if (menu_ && !g_menuListBuilt) BuildLanguageMenu();
  if (popupMenu_ && !g_popupListBuilt) BuildLanguagePopup();
  if (!ReloadTexts()) return false;
  g_languageLoaded = true;
  return true;
}

void TLngINISupp::UnloadLanguage() {
  g_languageLoaded = false;
  fileName_.clear();
  file_.reset();
}

bool TLngINISupp::ReloadTexts() {
  if (fileName_.isEmpty()) {
    ShowMessage(QStringLiteral("ERROR!!!\r\nFile not preset!"));
    return false;
  }
  const QFileInfo info(fileName_);
  if (!info.isFile() || !info.isReadable()) {
    ShowMessage(QStringLiteral("WARNING!!!\r\n Language File Not Found! Its now creating a new!"));
  }
  WriteMissingKeys();
  ApplyTexts();
  if (g_languageLoaded && OnLanguageChange) OnLanguageChange(this);
  return true;
}

void TLngINISupp::WriteMissingKeys() {
  if (readOnly_) return;
  for (QWidget* form : FormRegistry::Forms()) {
    const QString section = form->objectName();
    if (section.isEmpty()) continue;
    WriteIfMissing(section, kCaption, form->windowTitle());
    for (QObject* component : FormRegistry::Components(form)) {
      const CaptionKind kind = KindOf(component);
      if (kind == CaptionKind::None) continue;
      if (kind == CaptionKind::StatusBar) {
        const auto* bar = static_cast<const PanelStatusBar*>(component);
        for (int i = 0; i < bar->PanelCount(); ++i)
          WriteIfMissing(section, PanelKey(bar->objectName(), i), bar->PanelText(i));
        continue;
      }
      WriteIfMissing(section, component->objectName(), CaptionOf(component, kind));
    }
  }
}

void TLngINISupp::WriteIfMissing(const QString& section, const QString& key, const QString& value) {
  if (readOnly_) return;
  IniFile* file = File();
  if (!file || file->ValueExists(section, key)) return;
  file->WriteString(section, key, value);
}

namespace {

// Sets the captions of `form` and its named controls from the keys of its
// section.
void ApplyFormTexts(const IniFile& file, const QString& section, const QStringList& keys, QWidget* form) {
  std::vector<std::pair<QObject*, CaptionKind>> components;
  for (QObject* component : FormRegistry::Components(form)) {
    const CaptionKind kind = KindOf(component);
    if (kind != CaptionKind::None) components.emplace_back(component, kind);
  }
  for (const QString& key : keys) {
    const QString value = file.ReadString(section, key, kError);
    if (FormRegistry::SameName(key, kCaption)) form->setWindowTitle(value);
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    const QString barName = dot > 0 ? key.left(dot) : QString();
    for (const auto& [component, kind] : components) {
      if (kind == CaptionKind::StatusBar) {
        if (barName.isEmpty() || !FormRegistry::SameName(component->objectName(), barName)) continue;
        // A key naming no panel of the bar is ignored like any other
        // key that matches nothing.
        auto* bar = static_cast<PanelStatusBar*>(component);
        const int panel = PanelIndexOf(key, static_cast<int>(dot));
        if (panel >= 0 && panel < bar->PanelCount()) bar->SetPanelText(panel, value);
        continue;
      }
      if (FormRegistry::SameName(component->objectName(), key)) SetCaptionOf(component, kind, value);
    }
  }
}

}  // namespace

void TLngINISupp::ApplyTexts(QWidget* form) {
  const IniFile* file = g_languageLoaded && form != nullptr ? File() : nullptr;
  if (file == nullptr || form->objectName().isEmpty()) return;
  ApplyFormTexts(*file, form->objectName(), file->ReadSection(form->objectName()), form);
}

void TLngINISupp::ApplyTexts() {
  if (const IniFile* file = File()) {
    for (const QString& section : file->ReadSections()) {
      const QList<QWidget*> forms = FormRegistry::FindForms(section);
      if (forms.isEmpty()) continue;
      const QStringList keys = file->ReadSection(section);
      for (QWidget* form : forms) ApplyFormTexts(*file, section, keys, form);
    }
  }
  const QString caption =
      File() ? File()->ReadString(kLanguage, QStringLiteral("mLanguage"), kLanguage) : kLanguage;
  if (menu_) {
    const QList<QAction*> entries = menu_->actions();
    if (menuItemNo_ >= 0 && menuItemNo_ < entries.size()) {
      if (QMenu* sub = entries[menuItemNo_]->menu()) {
        const QList<QAction*> items = sub->actions();
        if (menuSubItemNo_ >= 0 && menuSubItemNo_ < items.size()) items[menuSubItemNo_]->setText(caption);
      }
    }
  }
  helpFile_ = File() ? File()->ReadString(kLanguage, QStringLiteral("HelpFile"), QString()) : QString();
}

QStringList TLngINISupp::LanguageFiles(const QString& folder) {
  QStringList result;
  const QDir dir(folder);
  const QFileInfoList entries = dir.entryInfoList(
      {QStringLiteral("*.lng")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
  // The mode's write bits, whoever runs the program.
  constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  for (const QFileInfo& entry : entries) {
    if (!entry.isFile()) continue;
    if (!(entry.permissions() & kAnyWrite)) continue;  // read-only files are not offered
    result.append(entry.fileName());
  }
  return result;
}

QMenu* TLngINISupp::CreateLanguageList(QWidget* parent, const QString& name, const QString& itemPrefix,
                                       bool popup) {
  auto* list = new QMenu(kLanguage, parent);
  list->setObjectName(name);
  list->setProperty(FormRegistry::kExcludedProperty, true);
  const QString folder = Folders::ProgramFolder();
  for (const QString& file : LanguageFiles(folder)) {
    const IniFile ini(folder + QLatin1Char('/') + file);
    QAction* item = list->addAction(ini.ReadString(kLanguage, kLanguage, kError));
    item->setObjectName(itemPrefix + QFileInfo(file).completeBaseName());
    connect(item, &QAction::triggered, this, [this, item, popup] {
      if (popup) {
        PopupLanguageItemClick(item);
      } else {
        LanguageItemClick(item);
      }
    });
  }
  return list;
}

void TLngINISupp::BuildLanguageMenu() {
  if (!menu_) return;
  QMenu* target = nullptr;
  const QList<QAction*> entries = menu_->actions();
  if (menuItemNo_ >= 0 && menuItemNo_ < entries.size()) {
    QMenu* sub = entries[menuItemNo_]->menu();
    if (sub && menuSubItemNo_ >= 0 && sub->actions().size() >= menuSubItemNo_) target = sub;
  }
  QMenu* list = CreateLanguageList(target ? static_cast<QWidget*>(target) : menu_.data(),
                                   QStringLiteral("LngItem"), QString(), false);
  if (target) {
    const QList<QAction*> items = target->actions();
    QAction* before = menuSubItemNo_ < items.size() ? items[menuSubItemNo_] : nullptr;
    target->insertMenu(before, list);
  } else {
    menu_->addMenu(list);
  }
  g_menuListBuilt = true;
}

void TLngINISupp::BuildLanguagePopup() {
  if (!popupMenu_) return;
  QMenu* list = CreateLanguageList(popupMenu_, QStringLiteral("PLngItem"), QStringLiteral("P"), true);
  popupMenu_->addMenu(list);
  g_popupListBuilt = true;
}

void TLngINISupp::LanguageItemClick(QAction* item) {
  const bool exported = SetFileName(item->objectName() + QStringLiteral(".lng"));
  if (!exported && OnExportFailed) OnExportFailed(exportFolder_);
  LoadLanguage();
}

void TLngINISupp::PopupLanguageItemClick(QAction* item) {
  const bool exported = SetFileName(item->objectName().mid(1) + QStringLiteral(".lng"));
  if (!exported && OnExportFailed) OnExportFailed(exportFolder_);
  LoadLanguage();
}

QString TLngINISupp::RecordXml(const QString& section, const QString& tag) const {
  const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
  const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
  auto var = [&](const QString& id, const QString& value) {
    return QStringLiteral("<Var><ID>") + XmlEscaped(id) + QStringLiteral("</ID>") + open + XmlEscaped(value) +
           close + QStringLiteral("</Var>") + kCrLf;
  };
  QString xml = QStringLiteral("<Vars>") + kCrLf;
  if (const IniFile* file = File()) {
    for (const QString& key : file->ReadSection(section))
      xml += var(key, file->ReadString(section, key, key));
  }
  xml += var(QStringLiteral("Revision"), QStringLiteral("Rev. ") + revision_);
  xml += var(QStringLiteral("CopyRight"), copyRight_);
  xml += var(QStringLiteral("ISRecord"), isRecord_);
  xml += var(QStringLiteral("ApplicationKey"), applicationKey_);
  xml += QStringLiteral("</Vars>") + kCrLf;
  return xml;
}

bool TLngINISupp::ExportRecord(const QString& section, const QString& tag) {
  const QByteArray data = RecordXml(section, tag).toUtf8();
  const QString name = QStringLiteral("/language.xml");
  QString folder = Folders::WritableProgramFolderOr(UserSubfolder());
  exportFolder_ = folder;
  if (WriteFileAtomically(folder + name, data)) {
    exportedFile_ = folder + name;
    return true;
  }
  // The program folder looked writable but was not (or the disk is full):
  // the per-user folder is the second place.
  const QString userFolder = Folders::UserDataFolder(UserSubfolder());
  if (userFolder != folder && WriteFileAtomically(userFolder + name, data)) {
    exportedFile_ = userFolder + name;
    return true;
  }
  Logger::Warning(QStringLiteral("Language"),
                  QStringLiteral("language.xml could not be written to ") + folder);
  return false;
}

void TLngINISupp::ShowMessage(const QString& text) {
  if (OnShowMessage) {
    OnShowMessage(text);
    return;
  }
  QMessageBox::information(nullptr, QApplication::applicationDisplayName(), text);
}

bool TLngINISupp::LanguageLoaded() { return g_languageLoaded; }

void TLngINISupp::ResetSharedStateForTesting() {
  g_languageLoaded = false;
  g_menuListBuilt = false;
  g_popupListBuilt = false;
}
