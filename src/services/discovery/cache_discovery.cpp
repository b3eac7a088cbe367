#include "services/discovery/cache_discovery.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "platform/directory_listing.h"
#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "services/discovery/tool_location_trust.h"
#include "services/removal/trash_guard.h"
#include "utilities/file_identity.h"
#include "utilities/name_order.h"
#include "utilities/path_canonical.h"
#include "utilities/path_overlap_set.h"
#include "utilities/path_relation.h"

namespace hl {
namespace {

constexpr std::string_view kCloneName = "com.google.Chrome.code_sign_clone";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The home folder of a named user from the password database; none for an unknown name.
std::optional<std::string> homeOfUser(const std::string& name) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

// Standard tilde expansion: "~" and "~/…" name the user's home folder, "~name/…" that user's.
// A path that cannot be expanded is returned as written.
std::string expandingTilde(const std::string& path) {
  if (path.empty() || path.front() != '~') return path;
  const std::size_t slash = path.find('/');
  const std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
  const std::string rest = slash == std::string::npos ? std::string() : path.substr(slash);
  const std::optional<std::string> base = user.empty() ? homeDirectory() : homeOfUser(user);
  if (!base) return path;
  std::string expanded = *base;
  while (expanded.size() > 1 && expanded.back() == '/') expanded.pop_back();
  return rest.empty() ? expanded : expanded + rest;
}

// The digits as a number; none when there are none or they do not fit.
std::optional<std::int64_t> number(std::string_view digits) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::size_t digitRun(std::string_view text, std::size_t from) {
  std::size_t end = from;
  while (end < text.size() && isDigit(text[end])) ++end;
  return end;
}

}  // namespace

CacheDiscovery::Walks CacheDiscovery::walk() const {
  const Date now = clock ? clock() : systemWallClock()();
  // Both walks start from the same search roots and look at most of the same folders: walked
  // together, each folder is listed once. The project walk lists first, as its listings read
  // all that the repository walk needs.
  ProjectDiscovery::Walk projectWalk(projects, now);
  WorktreeDiscovery::RepositoryWalk repositoryWalk(worktrees);
  walkTogether({&projectWalk, &repositoryWalk}, spread);
  Walks walks;
  walks.projects = projectWalk.items();
  walks.worktrees = worktrees.discover(repositoryWalk.repositories());
  return walks;
}

DiscoveryResult CacheDiscovery::discover() const {
  // The catalog's rows of every group the claim reaches through the catalog, in claim order.
  struct Row {
    CacheGroup group;
    const CacheSource* source;
  };
  std::vector<Row> rows;
  for (const CacheGroup group : claimOrder) {
    if (group == CacheGroup::aiWorktrees || group == CacheGroup::projects ||
        group == CacheGroup::custom) {
      continue;
    }
    for (const CacheSource& source : CacheCatalog::sources(group)) rows.push_back({group, &source});
  }

  // A tool's answer names a cache only where it holds that tool's cache and nothing the guard
  // protects; the others are set aside, once per scan, with a note.
  TrustedToolLocations trusted = ToolLocationTrust::vet(tools.locations, home);

  // Everything the claim looks at, found side by side before it: the worktree walk, the project
  // walk, and the catalog's rows with the custom paths and the browser's clones. None of them
  // depends on a claim.
  Walks walks;
  std::vector<std::pair<std::vector<CacheItem>, std::optional<std::string>>> rowItems;
  std::vector<CacheItem> customItems;
  std::optional<CacheItem> clones;
  spread(2, [&](std::size_t part) {
    if (part == 0) {
      walks = earlyWalks ? earlyWalks() : walk();
    } else {
      rowItems = mapInOrder(spread, rows, [this, &trusted](const Row& row) {
        return items(*row.source, row.group, trusted.accepted);
      });
      customItems = customPathItems();
      clones = chromeClonesItem();
    }
  });

  // The candidates in claim order, with the notes of the rows in the same order.
  DiscoveryResult result;
  result.notes = std::move(trusted.notes);
  std::vector<CacheItem> candidates;
  const auto take = [&candidates](std::vector<CacheItem>& items) {
    for (CacheItem& item : items) candidates.push_back(std::move(item));
  };
  std::size_t row = 0;
  for (const CacheGroup group : claimOrder) {
    switch (group) {
      case CacheGroup::aiWorktrees: take(walks.worktrees); break;
      case CacheGroup::projects: take(walks.projects); break;
      case CacheGroup::custom: take(customItems); break;
      default:
        for (; row < rows.size() && rows[row].group == group; ++row) {
          take(rowItems[row].first);
          if (rowItems[row].second) result.notes.push_back(std::move(*rowItems[row].second));
        }
        if (group == CacheGroup::buildTools && clones) candidates.push_back(std::move(*clones));
        break;
    }
  }

  // What the claim asks of each candidate's place on disk: its identity path (the candidates
  // share their folders, which are resolved once), and, read side by side, whether that lies in
  // or holds a forbidden tree or matches a forbidden pattern.
  const TrashGuard guard{home};
  PathOverlapSet forbidden;
  for (const std::string& tree : guard.forbiddenTrees(false)) forbidden.insert(tree);
  const TrashGuard::GlobMatcher globs = guard.forbiddenGlobMatcher();
  struct Place {
    std::string identity;
    bool forbidden = false;
  };
  std::vector<Place> places(candidates.size());
  {
    std::vector<std::string> located;
    for (const CacheItem& item : candidates) {
      if (item.kind != ItemKind::virtual_) located.push_back(item.url);
    }
    std::vector<std::string> identities = FileIdentity::identityPaths(located);
    for (std::size_t k = 0, next = 0; k < candidates.size(); ++k) {
      if (candidates[k].kind != ItemKind::virtual_) places[k].identity = std::move(identities[next++]);
    }
  }
  spread(places.size(), [&](std::size_t k) {
    if (candidates[k].kind == ItemKind::virtual_) return;
    places[k].forbidden =
        forbidden.overlaps(places[k].identity) || globs.matches(places[k].identity);
  });

  // The claim, one candidate after another: the first claim of a path wins.
  PathOverlapSet claimedIds;
  // The same folder reached through a symbolic link has another id but the same identity:
  // claiming identities too keeps one folder from becoming two items.
  PathOverlapSet claimedIdentities;
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    CacheItem& item = candidates[k];
    if (claimedIds.overlaps(item.id)) continue;
    if (item.kind == ItemKind::virtual_) {
      claimedIds.insert(item.id);
      result.items.push_back(std::move(item));
      continue;
    }
    const Place& place = places[k];
    if (claimedIdentities.overlaps(place.identity)) continue;
    if (!item.isReportOnly && place.forbidden) continue;
    claimedIds.insert(item.id);
    claimedIdentities.insert(place.identity);
    result.items.push_back(std::move(item));
  }
  return result;
}

std::vector<CacheItem> CacheDiscovery::customPathItems() const {
  std::vector<CacheItem> found;
  for (const std::string& extra : extraPaths) {
    const std::string path = expandingTilde(extra);
    // A relative path would name a folder depending on the working folder of the moment.
    if (path.empty() || path.front() != '/') continue;
    if (!FileIdentity::existsWithoutFollowing(path)) continue;
    CacheItemInit init;
    init.url = path;
    init.subtitle = abbreviatedPath(path, home);
    init.group = CacheGroup::custom;
    init.risk = RiskLevel::moderate;
    init.kind = ItemKind::path;
    init.discoveryRoot = path;
    init.modified = modificationDate(path);
    init.home = home;
    found.emplace_back(std::move(init));
  }
  return found;
}

std::pair<std::vector<CacheItem>, std::optional<std::string>> CacheDiscovery::items(
    const CacheSource& source, CacheGroup group,
    const std::map<ToolLocationKey, std::string>& locations) const {
  std::vector<std::string> candidates;
  if (source.toolKey) {
    const auto reported = locations.find(*source.toolKey);
    // A tool's answer that is not an absolute path names no definite folder.
    if (reported != locations.end() && reported->second.starts_with("/")) {
      candidates.push_back(reported->second);
    }
  }
  for (const std::string& path : source.paths) {
    if (path == "$TMPDIR") {
      if (temporaryDirectory) candidates.push_back(*temporaryDirectory);
    } else if (group == CacheGroup::trash && path == CacheCatalog::homeTrashPath) {
      candidates.push_back(TrashFolders::homeTrash(home));
    } else if (path.starts_with("/")) {
      candidates.push_back(path);
    } else {
      candidates.push_back(appendingPath(home, path));
    }
  }
  const auto found = std::find_if(candidates.begin(), candidates.end(), [](const std::string& p) {
    return FileIdentity::existsWithoutFollowing(p);
  });
  if (found == candidates.end()) return {{}, std::nullopt};
  const std::string root = *found;
  if (auto link = symlinkComponent(root)) {
    return {{}, "skipped: symlink root " + abbreviatedPath(*link, home)};
  }

  const RiskLevel risk = source.risk.value_or(defaultRisk(group));
  std::vector<std::string> owners;
  if (group == CacheGroup::xcode) {
    owners = {"Xcode", "Simulator", "com.apple.CoreSimulator.CoreSimulatorService"};
  }
  owners.insert(owners.end(), source.owners.begin(), source.owners.end());
  std::optional<NativeAction> action;
  if (source.action && tools.available.count(*source.action) > 0) {
    action = NativeAction{*source.action};
  }

  if (!source.isChildren()) {
    CacheItemInit init;
    init.url = root;
    init.subtitle = subtitle(root, source.note);
    init.group = group;
    init.risk = risk;
    init.kind = ItemKind::path;
    init.isReportOnly = source.isReportOnly;
    init.discoveryRoot = root;
    init.modified = modificationDate(root);
    init.owners = std::move(owners);
    init.action = action;
    init.home = home;
    CacheItem item(std::move(init));
    item.guardRule = source.guardRule;
    return {{std::move(item)}, std::nullopt};
  }

  const auto parentIdentity = FileIdentity::identifier(root);
  if (!parentIdentity) return {{}, std::nullopt};
  const auto listing = DirectoryListing::entries(root);
  if (!listing) return {{}, std::nullopt};

  std::vector<CacheItem> children;
  for (const ListedEntry& entry : *listing) {
    const std::string& name = entry.name;
    if (name == ".DS_Store") continue;
    if (source.allowedChildren && source.allowedChildren->count(name) == 0) continue;
    if (source.allowedPrefixes &&
        std::none_of(source.allowedPrefixes->begin(), source.allowedPrefixes->end(),
                     [&](const std::string& prefix) { return name.starts_with(prefix); })) {
      continue;
    }
    if (source.excludedChildren.count(name) > 0) continue;
    if (source.directoriesOnly() &&
        (!entry.hasValues || !entry.isDirectory || entry.isSymbolicLink)) {
      continue;
    }
    // Only what really lives in the listed folder.
    const auto parent =
        FileIdentity::identifier(FileIdentity::resolvingSymlinks(parentPath(entry.path)));
    if (!parent || *parent != *parentIdentity) continue;

    CacheItemInit init;
    init.url = entry.path;
    init.subtitle = subtitle(entry.path, source.note);
    init.group = group;
    init.risk = source.reviewChildren.count(name) > 0 ? RiskLevel::review : risk;
    init.kind = ItemKind::path;
    init.isReportOnly = source.isReportOnly;
    init.discoveryRoot = root;
    init.modified = entry.modified;
    init.owners = owners;
    init.home = home;
    CacheItem item(std::move(init));
    item.guardRule = source.guardRule;
    children.push_back(std::move(item));
  }

  std::vector<std::size_t> order(children.size());
  std::vector<std::string_view> names;
  names.reserve(children.size());
  for (std::size_t i = 0; i < children.size(); ++i) {
    order[i] = i;
    names.push_back(children[i].name);
  }
  stableSortByName(order, names);
  std::vector<CacheItem> sorted;
  sorted.reserve(children.size());
  for (std::size_t i : order) sorted.push_back(std::move(children[i]));

  if (source.keepNewestVersions > 0 && !sorted.empty()) {
    std::vector<std::size_t> byVersion(sorted.size());
    std::vector<std::vector<std::int64_t>> keys;
    keys.reserve(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      byVersion[i] = i;
      keys.push_back(versionKey(sorted[i].name));
    }
    std::stable_sort(byVersion.begin(), byVersion.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    const std::size_t keep =
        std::min(sorted.size(), static_cast<std::size_t>(source.keepNewestVersions));
    for (std::size_t k = sorted.size() - keep; k < sorted.size(); ++k) {
      sorted[byVersion[k]].keepNewest = true;
    }
  }
  return {std::move(sorted), std::nullopt};
}

std::optional<CacheItem> CacheDiscovery::chromeClonesItem() const {
  if (chromeRunning || !chromeCloneFolder) return std::nullopt;
  const auto listing = DirectoryListing::entries(*chromeCloneFolder);
  if (!listing) return std::nullopt;

  std::vector<std::string> members;
  for (const ListedEntry& entry : *listing) {
    if (!entry.name.starts_with(kCloneName)) continue;
    // Read fresh: the listing may be older than the link.
    if (FileIdentity::isSymbolicLink(entry.path)) continue;
    if (entry.name != kCloneName) {
      members.push_back(entry.path);
      continue;
    }
    const auto inner = DirectoryListing::entries(entry.path);
    if (!inner) {
      members.push_back(entry.path);
      continue;
    }
    for (const ListedEntry& member : *inner) {
      if (member.name == ".DS_Store" || (member.hasValues && member.isSymbolicLink)) continue;
      members.push_back(member.path);
    }
  }
  if (members.empty()) return std::nullopt;
  std::sort(members.begin(), members.end(), [](const std::string& a, const std::string& b) {
    return cleanPath(a) < cleanPath(b);
  });

  const std::size_t count = members.size();
  CacheItemInit init;
  init.url = *chromeCloneFolder;
  init.id = "aggregate:chrome-code-sign-clones";
  init.name = "Chrome code-sign clones";
  init.subtitle = std::to_string(count) + " copy-on-write clone" + (count == 1 ? "" : "s") +
                  " of Chrome.app · size over-estimated";
  init.group = CacheGroup::buildTools;
  init.risk = RiskLevel::safe;
  init.kind = ItemKind::path;
  init.discoveryRoot = *chromeCloneFolder;
  init.owners = {"Google Chrome"};
  init.home = home;
  CacheItem item(std::move(init));
  item.members = std::move(members);
  return item;
}

std::optional<std::string> CacheDiscovery::symlinkComponent(std::string_view path) const {
  const std::string h = cleanPath(home);
  std::string current(path);
  for (;;) {
    const std::string canonical = cleanPath(current);
    if (canonical == h || !PathRelation::isSameOrDescendant(canonical, h)) return std::nullopt;
    if (FileIdentity::isSymbolicLink(current)) return current;
    current = parentPath(current);
  }
}

std::string CacheDiscovery::subtitle(std::string_view path,
                                     const std::optional<std::string>& note) const {
  std::string text = abbreviatedPath(path, home);
  if (note) text += " · " + *note;
  return text;
}

std::optional<Date> CacheDiscovery::modificationDate(std::string_view path) {
  return DirectoryListing::modificationDate(path);
}

std::vector<std::int64_t> CacheDiscovery::versionKey(std::string_view name) {
  // The first match of (\d+)\.(\d+)(?:\.(\d+))? : the first run of digits followed by "." and
  // another digit. A match can only begin where a run of digits begins.
  std::size_t i = 0;
  while (i < name.size()) {
    if (!isDigit(name[i])) {
      ++i;
      continue;
    }
    const std::size_t majorEnd = digitRun(name, i);
    if (majorEnd + 1 < name.size() && name[majorEnd] == '.' && isDigit(name[majorEnd + 1])) {
      const std::size_t minorEnd = digitRun(name, majorEnd + 1);
      std::string_view patch = "0";
      if (minorEnd + 1 < name.size() && name[minorEnd] == '.' && isDigit(name[minorEnd + 1])) {
        patch = name.substr(minorEnd + 1, digitRun(name, minorEnd + 1) - (minorEnd + 1));
      }
      std::vector<std::int64_t> key;
      for (std::string_view part : {name.substr(i, majorEnd - i),
                                    name.substr(majorEnd + 1, minorEnd - (majorEnd + 1)), patch}) {
        if (auto value = number(part)) key.push_back(*value);
      }
      return key;
    }
    i = majorEnd;
  }
  return {};
}

}  // namespace hl
