#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;
class TLngINISupp;

// The commands of the Help menu that hand a file or an address to the
// desktop: the help file of the current language and the web link.
struct HelpCommands {
  // Opens a URL with the desktop; true when it was handed over.
  using UrlOpener = std::function<bool(const QUrl& url)>;
  // Shows an error text with a caption.
  using MessageShower = std::function<void(const QString& text, const QString& caption)>;

  // The help file named `helpFileName` in the program folder. Only the file
  // name counts (any folder in it is dropped); empty when there is none.
  static QString HelpFilePath(const QString& helpFileName);
  // Opens the help file of the loaded language. When it does not exist, the
  // message "HelpFile not found!" is shown and nothing is opened. Without
  // `open` / `show` the desktop and a message box are used.
  static bool OpenHelpFile(QWidget* parent, const TLngINISupp& lng, const UrlOpener& open = {},
                           const MessageShower& show = {});

  // The address of the web-link menu item: its caption without a leading '&'
  // after "http://"; empty for an empty caption.
  static QString WebLinkAddress(const QString& caption);
  // Opens the web link; an empty caption does nothing (false).
  static bool OpenWebLink(const QString& caption, const UrlOpener& open = {});
};
