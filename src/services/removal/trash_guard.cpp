#include "services/removal/trash_guard.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/absolute_path.h"
#include "platform/directory_listing.h"
#include "platform/mount_root.h"
#include "platform/trash_folders.h"
#include "services/discovery/cache_catalog.h"
#include "services/removal/trash_guard_linux_supplement.h"
#include "services/removal/trash_guard_tables.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"
#include "utilities/physical_path.h"

namespace hl {
namespace {

namespace Supplement = TrashGuardLinuxSupplement;

// The guard's home as the rules see it: where the path leads (a final link named), and where
// it finally resolves, so that a linked home protects both the link and the real folder.
struct HomeFolder {
  std::string absolute;  // as given, made absolute
  std::string physical;  // to append relative entries to
  std::string identity;
  std::string resolved;
};

HomeFolder homeFolder(std::string_view home) {
  HomeFolder folder;
  // A relative home is the folder of that name in the working folder, never one below "/":
  // judged from "/", the user's real home would go unprotected.
  folder.absolute = absolutePath(home).value_or(std::string(home));
  folder.physical = PhysicalPath::resolve(folder.absolute).path;
  folder.identity = FileIdentity::normalizedPath(folder.physical);
  folder.resolved = FileIdentity::normalizedPath(FileIdentity::resolvingSymlinks(folder.physical));
  return folder;
}

std::string inHome(const HomeFolder& home, std::string_view relative) {
  return relative.empty() ? home.physical : appendingPath(home.physical, relative);
}

// Where a location that is itself a symbolic link finally leads; none for anything else.
std::optional<std::string> linkTarget(const std::string& identity) {
  if (!FileIdentity::isSymbolicLink(identity)) return std::nullopt;
  std::string target = FileIdentity::normalizedPath(FileIdentity::resolvingSymlinks(identity));
  if (target == identity) return std::nullopt;
  return target;
}

// The existing entries below `base` that spell `relative` with other case of ASCII letters in any
// component. The protected home entries name folders as a file system that ignores case finds
// them, where "~/projects" is "~/Projects"; here both are protected.
std::vector<std::string> otherSpellings(const std::string& base, std::string_view relative) {
  std::vector<std::string> current = {base};
  for (std::string_view part : PathRelation::components(relative)) {
    std::vector<std::string> next;
    for (const std::string& folder : current) {
      const auto names = DirectoryListing::namesIgnoringCase(folder, part);
      if (!names) continue;
      for (const std::string& name : *names) next.push_back(appendingPath(folder, name));
    }
    current = std::move(next);
  }
  const std::string exact = appendingPath(base, relative);
  std::erase(current, exact);
  return current;
}

void appendUnique(std::vector<std::string>& list, std::string path) {
  if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(std::move(path));
}

// "\" first, so that the escapes added for "[", "*" and "?" are not escaped again.
std::string escapedForGlob(std::string_view path) {
  std::string out;
  for (const char c : path) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '[':
        out += "[[]";
        break;
      case '*':
        out += "[*]";
        break;
      case '?':
        out += "[?]";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Where a volume's per-user Trash folder (".Trash-UID", or "UID" inside ".Trash") appears in a
// path: the index of that component, or none.
std::optional<std::size_t> volumeTrashComponent(const std::vector<std::string_view>& parts) {
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    if (part.size() > 7 && part.substr(0, 7) == ".Trash-" && allDigits(part.substr(7))) return i;
    if (part == ".Trash" && i + 1 < parts.size() && allDigits(parts[i + 1])) return i + 1;
  }
  return std::nullopt;
}

// The user's home Trash folders: the one of the guard's home and the user's own, each also
// where it finally leads.
std::vector<std::string> homeTrashFolders(const HomeFolder& home) {
  std::vector<std::string> folders;
  for (const std::string& folder :
       {TrashFolders::homeTrash(home.absolute), TrashFolders::homeTrash()}) {
    const std::string identity = FileIdentity::identityPath(folder);
    appendUnique(folders, identity);
    if (auto target = linkTarget(identity)) appendUnique(folders, *target);
  }
  return folders;
}

// The folders whose direct children are volumes.
std::vector<std::string> mountParents() {
  std::vector<std::string> parents = {"/Volumes"};
  for (std::string& parent : Supplement::mountParents()) parents.push_back(std::move(parent));
  return parents;
}

}  // namespace

const std::vector<std::string>& TrashGuard::forbiddenHomeTrees() {
  return TrashGuardTables::forbiddenHomeTrees();
}

const std::vector<std::string>& TrashGuard::forbiddenHomeGlobs() {
  return TrashGuardTables::forbiddenHomeGlobs();
}

std::vector<std::string> TrashGuard::forbiddenAbsoluteTrees() {
  return TrashGuardTables::forbiddenAbsoluteTrees();
}

std::vector<TrashGuard::Protected> TrashGuard::protectedLocations() const {
  const HomeFolder folder = homeFolder(home);
  std::vector<std::string> locations;
  for (const std::string& path : TrashGuardTables::protectedAbsolutePaths()) {
    locations.push_back(path);
  }
  for (const std::string& path : Supplement::temporaryFolders()) locations.push_back(path);
  for (const std::string& relative : TrashGuardTables::protectedHomePaths()) {
    locations.push_back(inHome(folder, relative));
  }
  for (const std::string& path : Supplement::protectedAbsolutePaths()) locations.push_back(path);
  for (const std::string& relative : Supplement::protectedHomePaths()) {
    locations.push_back(inHome(folder, relative));
  }
  // The folders where projects are searched for hold the user's source code, as ~/Projects
  // does: each is protected itself, whatever the tables above list.
  for (const std::string& relative : CacheCatalog::repositorySearchRoots()) {
    locations.push_back(inHome(folder, relative));
  }
  for (const auto* table : {&TrashGuardTables::protectedHomePaths(),
                            &Supplement::protectedHomePaths(),
                            &CacheCatalog::repositorySearchRoots()}) {
    for (const std::string& relative : *table) {
      if (relative.empty()) continue;
      for (std::string& path : otherSpellings(folder.physical, relative)) {
        locations.push_back(std::move(path));
      }
    }
  }
  for (const std::string& path : Supplement::userFolders(folder.physical)) {
    locations.push_back(path);
  }
  for (const auto* table :
       {&TrashGuardTables::protectedHomePaths(), &Supplement::protectedHomePaths()}) {
    for (const std::string& relative : *table) {
      if (auto moved = Supplement::relocatedToXdg(relative)) locations.push_back(*moved);
    }
  }
  // The Trash folders themselves: what is inside is refused as already in the Trash.
  for (const std::string& path :
       {TrashFolders::homeTrash(folder.absolute), TrashFolders::homeTrash()}) {
    locations.push_back(path);
  }

  std::vector<Protected> result;
  std::vector<std::string> seen;
  auto add = [&](const std::string& identity) {
    if (std::find(seen.begin(), seen.end(), identity) != seen.end()) return;
    seen.push_back(identity);
    result.push_back(Protected{identity, FileIdentity::identifier(identity)});
  };
  for (const std::string& location : locations) {
    const std::string identity = FileIdentity::identityPath(location);
    add(identity);
    // A linked location (a dotfile-managed folder) protects what it leads to as well.
    if (auto target = linkTarget(identity)) add(*target);
  }
  return result;
}

std::vector<std::string> TrashGuard::forbiddenTrees(bool includingShellSnapshots) const {
  const HomeFolder folder = homeFolder(home);
  std::vector<std::string> trees;
  for (const std::string& relative : TrashGuardTables::forbiddenHomeTrees()) {
    trees.push_back(FileIdentity::identityPath(inHome(folder, relative)));
  }
  if (includingShellSnapshots) {
    trees.push_back(
        FileIdentity::identityPath(inHome(folder, TrashGuardTables::shellSnapshotTree)));
  }
  for (const std::string& path : TrashGuardTables::forbiddenAbsoluteTrees()) {
    trees.push_back(FileIdentity::identityPath(path));
  }

  std::vector<std::string> more;
  for (const std::string& relative : Supplement::forbiddenHomeTrees()) {
    more.push_back(FileIdentity::identityPath(inHome(folder, relative)));
  }
  for (const auto* table :
       {&TrashGuardTables::forbiddenHomeTrees(), &Supplement::forbiddenHomeTrees()}) {
    for (const std::string& relative : *table) {
      if (auto moved = Supplement::relocatedToXdg(relative)) {
        more.push_back(FileIdentity::identityPath(*moved));
      }
    }
  }
  for (std::string& path : more) appendUnique(trees, std::move(path));
  // A linked tree (a dotfile-managed ~/.ssh) forbids what it leads to as well.
  const std::size_t count = trees.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (auto target = linkTarget(trees[i])) appendUnique(trees, *target);
  }
  return trees;
}

bool TrashGuard::matchesForbiddenGlob(std::string_view path) const {
  return forbiddenGlobMatcher().matches(path);
}

TrashGuard::GlobMatcher TrashGuard::forbiddenGlobMatcher() const {
  const HomeFolder folder = homeFolder(home);
  std::vector<std::string> homes = {folder.identity};
  appendUnique(homes, folder.resolved);
  GlobMatcher matcher;
  for (const std::string& base : homes) {
    const std::string escaped = escapedForGlob(base);
    for (const std::string& glob : TrashGuardTables::forbiddenHomeGlobs()) {
      // Joined without doubling the slash: a home at the root would match nothing.
      matcher.patterns.push_back(appendingPath(escaped, glob));
    }
  }
  return matcher;
}

bool TrashGuard::GlobMatcher::matches(std::string_view path) const {
  std::string candidate(path);
  while (candidate.size() >= 2) {
    for (const std::string& pattern : patterns) {
      if (::fnmatch(pattern.c_str(), candidate.c_str(), 0) == 0) return true;
    }
    candidate = parentPath(candidate);
  }
  return false;
}

TrashGuard::Surroundings TrashGuard::surroundings(
    const std::optional<std::vector<Protected>>& protectedList) const {
  const HomeFolder folder = homeFolder(home);
  return Surroundings{folder.identity,        folder.resolved,
                      protectedList ? *protectedList : protectedLocations(),
                      forbiddenTrees(false),  forbiddenTrees(true),
                      forbiddenGlobMatcher(), mountParents(),
                      homeTrashFolders(folder)};
}

std::optional<TrashError> TrashGuard::check(
    std::string_view url, std::string_view allowedRoot, bool allowRootItself,
    const std::optional<std::vector<Protected>>& protectedList,
    bool shellSnapshotRuleVerified) const {
  auto verdict = judge(url, allowedRoot, allowRootItself, protectedList, shellSnapshotRuleVerified);
  if (auto* refusal = std::get_if<TrashError>(&verdict)) return *refusal;
  return std::nullopt;
}

std::optional<TrashError> TrashGuard::check(std::string_view url, std::string_view allowedRoot,
                                            bool allowRootItself, const Surroundings& around,
                                            bool shellSnapshotRuleVerified) const {
  auto verdict = judge(url, allowedRoot, allowRootItself, std::nullopt, shellSnapshotRuleVerified,
                       {}, &around);
  if (auto* refusal = std::get_if<TrashError>(&verdict)) return *refusal;
  return std::nullopt;
}

std::variant<TrashError, TrashGuard::Approval> TrashGuard::judge(
    std::string_view url, std::string_view allowedRoot, bool allowRootItself,
    const std::optional<std::vector<Protected>>& protectedList, bool shellSnapshotRuleVerified,
    const PhysicalItem::FolderHook& onFolder) const {
  return judge(url, allowedRoot, allowRootItself, protectedList, shellSnapshotRuleVerified,
               onFolder, nullptr);
}

std::variant<TrashError, TrashGuard::Approval> TrashGuard::judge(
    std::string_view url, std::string_view allowedRoot, bool allowRootItself,
    const std::optional<std::vector<Protected>>& protectedList, bool shellSnapshotRuleVerified,
    const PhysicalItem::FolderHook& onFolder, const Surroundings* around) const {
  const std::string shown = PathCanonical::canonical(url);

  // No file name holds a NUL byte, and the system would cut the path at it: such a path names
  // nothing that could be judged.
  if (url.find('\0') != std::string_view::npos ||
      allowedRoot.find('\0') != std::string_view::npos) {
    return TrashError::missing(shown);
  }

  // A relative path would be judged against whatever folder the program runs in; no item
  // handed to the guard is one.
  if (url.empty() || url.front() != '/' || allowedRoot.empty() || allowedRoot.front() != '/') {
    return TrashError::outsideAllowedRoot(std::string(url));
  }

  // 1. The item as the kernel reaches it, judged once: every rule below looks at this path,
  // and it is the path that is acted on. Its identity is read in the same walk, from the folder
  // the walk opened, so a folder swapped for a link meanwhile cannot lend it another object's.
  // A dangling link exists.
  const std::optional<PhysicalItem> physical = PhysicalItem::lookUp(url, onFolder);
  if (!physical) return TrashError::missing(shown);
  const struct stat& status = physical->status;

  // 2. Its identity, and the home folder's.
  const std::string item = FileIdentity::normalizedPath(physical->path);
  const FileIdentifier identifier{static_cast<std::uint64_t>(status.st_dev),
                                  static_cast<std::uint64_t>(status.st_ino)};
  const HomeFolder folder = around ? HomeFolder{} : homeFolder(home);
  const std::string& homeIdentity = around ? around->homeIdentity : folder.identity;
  const std::string& homeResolved = around ? around->homeResolved : folder.resolved;

  // 3. The root of a volume (a link to one is judged by the other rules). Refused as such once
  // the rules that protect the location itself have had their say: a folder where another
  // volume is mounted may be anything, and the words say what is in the way.
  const bool mountPoint =
      !S_ISLNK(status.st_mode) &&
      MountRoot::isMountRootAt(physical->folder.get(), physical->name.c_str()).value_or(false);

  // 4. The home folder and every folder above it.
  if (PathRelation::isSameOrDescendant(homeIdentity, item) ||
      PathRelation::isSameOrDescendant(homeResolved, item)) {
    return TrashError::protectedPath(shown);
  }

  // 5. A direct child of a folder where volumes are mounted, by the path given and by the
  // path it leads to.
  const std::vector<std::string> parents = around ? std::vector<std::string>{} : mountParents();
  const std::vector<std::string>& parentsHere = around ? around->mountParents : parents;
  for (const std::string& parent : {parentPath(shown), parentPath(item)}) {
    if (std::find(parentsHere.begin(), parentsHere.end(), parent) != parentsHere.end()) {
      return TrashError::protectedPath(shown);
    }
  }

  // 6. A protected location, by path or by identifier.
  const std::vector<Protected> locations =
      around || protectedList ? std::vector<Protected>{} : protectedLocations();
  const std::vector<Protected>& protectedHere =
      around ? around->protectedLocations : protectedList ? *protectedList : locations;
  for (const Protected& location : protectedHere) {
    if (location.path == item || (location.identifier && *location.identifier == identifier)) {
      return TrashError::protectedPath(shown);
    }
  }

  if (mountPoint) return TrashError::mountPoint(shown);

  // 7. Inside, equal to or holding a forbidden tree.
  const std::vector<std::string> trees =
      around ? std::vector<std::string>{} : forbiddenTrees(!shellSnapshotRuleVerified);
  const std::vector<std::string>& treesHere =
      !around                     ? trees
      : shellSnapshotRuleVerified ? around->forbiddenTrees
                                  : around->forbiddenTreesWithShellSnapshots;
  for (const std::string& tree : treesHere) {
    if (PathRelation::overlaps(item, tree)) return TrashError::protectedPath(shown);
  }

  // 8. A forbidden file pattern, or inside something that matches one.
  if (around ? around->globs.matches(item) : matchesForbiddenGlob(item)) {
    return TrashError::protectedPath(shown);
  }

  // 9. Already in the Trash. The Trash folders themselves are protected.
  for (const std::string& base : {homeIdentity, homeResolved}) {
    if (PathRelation::isSameOrDescendant(item, appendingPath(base, ".Trash"))) {
      return TrashError::alreadyInTrash(shown);
    }
  }
  if (item.find("/.Trashes/") != std::string::npos) return TrashError::alreadyInTrash(shown);
  const std::vector<std::string> trashes =
      around ? std::vector<std::string>{} : homeTrashFolders(folder);
  for (const std::string& trash : around ? around->homeTrashFolders : trashes) {
    if (item == trash) return TrashError::protectedPath(shown);
    if (PathRelation::isSameOrDescendant(item, trash)) return TrashError::alreadyInTrash(shown);
  }
  const auto parts = PathRelation::components(item);
  if (auto trash = volumeTrashComponent(parts)) {
    if (*trash + 1 == parts.size()) return TrashError::protectedPath(shown);
    return TrashError::alreadyInTrash(shown);
  }

  // 10. Inside the folder it was found in (that folder itself only when allowed). Judged on
  // the identity paths and on the paths acted on as well: a "/private" folder of its own would
  // otherwise fold onto another folder's name.
  const std::string physicalRoot = PhysicalPath::resolve(allowedRoot).path;
  const std::string root = FileIdentity::normalizedPath(physicalRoot);
  if (!allowRootItself && (item == root || physical->path == physicalRoot)) {
    return TrashError::outsideAllowedRoot(shown);
  }
  if (!PathRelation::isSameOrDescendant(item, root) ||
      !PathRelation::isSameOrDescendant(physical->path, physicalRoot)) {
    return TrashError::outsideAllowedRoot(shown);
  }

  return Approval{physical->path, identifier, S_ISLNK(status.st_mode)};
}

}  // namespace hl
