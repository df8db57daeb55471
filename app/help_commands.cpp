#include "app/help_commands.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "platform/folders.h"
#include "ui/lng_ini_supp.h"

QString HelpCommands::HelpFilePath(const QString& helpFileName) {
  // The name comes from a language file: it may only name a file beside the
  // program.
  const QString name =
      QFileInfo(QString(helpFileName).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return {};
  return QDir(Folders::ProgramFolder()).filePath(name);
}

bool HelpCommands::OpenHelpFile(QWidget* parent, const TLngINISupp& lng, const UrlOpener& open,
                                const MessageShower& show) {
  const QString path = HelpFilePath(lng.HelpFile());
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    const QString text = lng.MessageText(QStringLiteral("NoHelp"), QStringLiteral("HelpFile not found!"));
    const QString caption = lng.OtherTextOrKey(QStringLiteral("Error"));
    if (show)
      show(text, caption);
    else
      QMessageBox::critical(parent, caption, text);
    return false;
  }
  const QUrl url = QUrl::fromLocalFile(path);
  return open ? open(url) : QDesktopServices::openUrl(url);
}

QString HelpCommands::WebLinkAddress(const QString& caption) {
  QString address = caption;
  if (address.startsWith(QLatin1Char('&'))) address.remove(0, 1);
  if (address.isEmpty()) return {};
  return QStringLiteral("http://") + address;
}

bool HelpCommands::OpenWebLink(const QString& caption, const UrlOpener& open) {
  const QString address = WebLinkAddress(caption);
  if (address.isEmpty()) return false;
  const QUrl url(address, QUrl::TolerantMode);
  if (!url.isValid()) return false;
  return open ? open(url) : QDesktopServices::openUrl(url);
}
