#include "services/removal/trash_guard_linux_supplement.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QStandardPaths>
#include <cstdlib>

#include "platform/temporary_folder.h"
#include "platform/user_folders.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::TrashGuardLinuxSupplement {
namespace {

std::vector<std::string> userNames() {
  std::vector<std::string> names;
  struct passwd entry {};
  struct passwd* result = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->pw_name != nullptr && result->pw_name[0] != '\0') {
    names.emplace_back(result->pw_name);
  }
  const char* user = std::getenv("USER");
  if (user != nullptr && user[0] != '\0' && std::string_view(user).find('/') == std::string::npos &&
      (names.empty() || names.front() != user)) {
    names.emplace_back(user);
  }
  return names;
}

}  // namespace

const std::vector<std::string>& protectedAbsolutePaths() {
  static const std::vector<std::string> paths = {
      "/usr/bin", "/usr/sbin", "/usr/lib", "/usr/lib64", "/usr/local", "/home",
      "/root",    "/boot",     "/dev",     "/proc",      "/sys",       "/run",
      "/srv",     "/media",    "/mnt",     "/var/tmp",   "/snap",
  };
  return paths;
}

const std::vector<std::string>& protectedHomePaths() {
  static const std::vector<std::string> paths = {
      "Videos",  // Movies
      ".local/state",
      ".config/MobileSync",         // Library/Application Support/MobileSync
      ".config/MobileSync/Backup",  // Library/Application Support/MobileSync/Backup
      ".config/Claude",             // Library/Application Support/Claude
      ".config/Caches",             // Library/Application Support/Caches
  };
  return paths;
}

std::vector<std::string> userFolders(std::string_view home) {
  static const QStandardPaths::StandardLocation kinds[] = {
      QStandardPaths::DesktopLocation,   QStandardPaths::DocumentsLocation,
      QStandardPaths::DownloadLocation,  QStandardPaths::MusicLocation,
      QStandardPaths::PicturesLocation,  QStandardPaths::MoviesLocation,
      QStandardPaths::TemplatesLocation, QStandardPaths::PublicShareLocation,
  };
  const std::string userHome = PathCanonical::canonical(homeDirectory());
  std::vector<std::string> folders;
  for (const auto kind : kinds) {
    const QString location = QStandardPaths::writableLocation(kind);
    if (location.isEmpty()) continue;
    const std::string path = PathCanonical::canonical(QFile::encodeName(location).toStdString());
    if (path == userHome) continue;  // a folder the user turned off points at the home itself
    if (PathRelation::isSameOrDescendant(path, userHome)) {
      const std::string relative =
          userHome == "/" ? path.substr(1) : path.substr(userHome.size() + 1);
      folders.push_back(appendingPath(home, relative));
    } else {
      folders.push_back(path);
    }
  }
  return folders;
}

const std::vector<std::string>& forbiddenHomeTrees() {
  static const std::vector<std::string> trees = {
      ".local/share/keyrings",      // Library/Keychains
      ".config/Claude/vm_bundles",  // Library/Application Support/Claude/…
      ".config/Claude/local-agent-mode-sessions",
      ".config/Claude/git-worktrees.json",
      ".config/Claude/git-shadow",
      ".config/Claude/claude-code",
      ".config/Claude/claude-code-vm",
      ".config/Claude/claude-code-sessions",
      ".config/Claude/IndexedDB",
      ".config/Claude/Local Storage",
      ".config/Claude/Session Storage",
      ".config/Claude/Cookies",
      ".config/Claude/Partitions",
      ".config/Claude/claude_desktop_config.json",
      ".config/Claude/config.json",
      ".config/Code/User",    // Library/Application Support/Code/User
      ".config/Cursor/User",  // Library/Application Support/Cursor/User
  };
  return trees;
}

std::vector<std::string> temporaryFolders() {
  std::vector<std::string> folders;
  if (auto own = privateTemporaryFolder()) folders.push_back(*own);
  folders.push_back("/tmp");
  return folders;
}

std::vector<std::string> mountParents() {
  std::vector<std::string> parents = {"/media", "/mnt"};
  for (const std::string& name : userNames()) {
    parents.push_back("/media/" + name);
    parents.push_back("/run/media/" + name);
  }
  return parents;
}

std::optional<std::string> relocatedToXdg(std::string_view relative) {
  static const struct {
    std::string_view prefix;
    const char* variable;
  } kinds[] = {
      {".config", "XDG_CONFIG_HOME"},
      {".local/share", "XDG_DATA_HOME"},
      {".cache", "XDG_CACHE_HOME"},
  };
  for (const auto& kind : kinds) {
    if (!PathRelation::isSameOrDescendant(relative, kind.prefix)) continue;
    const char* value = std::getenv(kind.variable);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    const std::string_view rest = relative.substr(kind.prefix.size());
    return PathCanonical::canonical(std::string(value) + std::string(rest));
  }
  return std::nullopt;
}

}  // namespace hl::TrashGuardLinuxSupplement
