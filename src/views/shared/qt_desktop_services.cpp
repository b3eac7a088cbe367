#include "views/shared/qt_desktop_services.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>

#include "utilities/path_canonical.h"

namespace hl {

namespace {

constexpr int kShowItemsTimeoutMs = 3000;

// The path as text, or none when its bytes are not valid text: a URL made from a garbled name
// would name another file.
std::optional<QString> pathText(const std::string& path) {
  const QByteArray bytes = QByteArray::fromStdString(path);
  const QString text = QFile::decodeName(bytes);
  if (QFile::encodeName(text) != bytes) return std::nullopt;
  return text;
}

// The nearest folder above `path` whose name is valid text ("/" at worst).
QString displayableParent(const std::string& path) {
  std::string folder = parentPath(path);
  while (folder != "/") {
    if (auto text = pathText(folder)) return *text;
    folder = parentPath(folder);
  }
  return QStringLiteral("/");
}

}  // namespace

QtDesktopServices::QtDesktopServices()
    : QtDesktopServices(&QtDesktopServices::freedesktopShowItems, [](const QString& address) {
        return QDesktopServices::openUrl(QUrl(address));
      }) {}

QtDesktopServices::QtDesktopServices(ShowItems showItems, OpenAddress openAddress)
    : showItems_(std::move(showItems)), openAddress_(std::move(openAddress)) {}

bool QtDesktopServices::freedesktopShowItems(const QStringList& uris) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                             QStringLiteral("/org/freedesktop/FileManager1"),
                             QStringLiteral("org.freedesktop.FileManager1"), bus);
  if (!fileManager.isValid()) return false;
  fileManager.setTimeout(kShowItemsTimeoutMs);
  const QDBusMessage reply = fileManager.call(QStringLiteral("ShowItems"), uris, QString());
  return reply.type() == QDBusMessage::ReplyMessage;
}

std::vector<std::string> QtDesktopServices::reveal(const std::vector<std::string>& paths) {
  QStringList uris;
  QStringList folders;
  const auto addFolder = [&](const QString& folder) {
    if (!folders.contains(folder)) folders.append(folder);
  };
  for (const std::string& raw : paths) {
    const std::string path = cleanPath(raw);
    if (auto text = pathText(path)) {
      uris.append(QUrl::fromLocalFile(*text).toString(QUrl::FullyEncoded));
      addFolder(pathText(parentPath(path)).value_or(displayableParent(path)));
    } else {
      addFolder(displayableParent(path));
    }
  }
  if (!uris.isEmpty() && uris.size() == static_cast<qsizetype>(paths.size()) &&
      showItems_(uris)) {
    return {};
  }
  // No file manager to select the items: show the folders they are in.
  std::vector<std::string> unopened;
  for (const QString& folder : folders) {
    if (!openAddress_(QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded))) {
      unopened.push_back(QFile::encodeName(folder).toStdString());
    }
  }
  return unopened;
}

void QtDesktopServices::copyText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void QtDesktopServices::openURL(const std::string& url) {
  openAddress_(QString::fromStdString(url));
}

}  // namespace hl
