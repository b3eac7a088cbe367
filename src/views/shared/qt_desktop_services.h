#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "viewmodels/desktop_services.h"

namespace hl {

// The desktop services of a freedesktop session. Reveal asks the file manager to show and select
// the items (org.freedesktop.FileManager1.ShowItems over the session bus); when no file manager
// answers, it opens the folders that hold them instead, never an item itself. The clipboard is
// the application's clipboard; addresses open with the desktop's handler.
class QtDesktopServices : public DesktopServices {
 public:
  // Asks the file manager to show the items (file URIs); false when nobody answered.
  using ShowItems = std::function<bool(const QStringList& uris)>;
  // Opens an address (a folder, a web page); false when it could not be opened.
  using OpenAddress = std::function<bool(const QString& address)>;

  QtDesktopServices();
  QtDesktopServices(ShowItems showItems, OpenAddress openAddress);

  std::vector<std::string> reveal(const std::vector<std::string>& paths) override;
  void copyText(const std::string& text) override;
  void openURL(const std::string& url) override;

  // The file manager's ShowItems call on the session bus.
  static bool freedesktopShowItems(const QStringList& uris);

 private:
  ShowItems showItems_;
  OpenAddress openAddress_;
};

}  // namespace hl
