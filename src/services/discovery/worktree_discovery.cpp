#include "services/discovery/worktree_discovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <unordered_set>

#include "platform/directory_listing.h"
#include "services/discovery/search_roots.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "platform/plain_file.h"

namespace hl {
namespace {

// A ".git" file or "gitdir" record holds one short line. Anything larger is not one, and
// reading it whole could stall the scan.
constexpr std::size_t kMaxRecordBytes = 64 * 1024;

// The whole content of a small regular file; none when it cannot be read, is not a regular
// file (a FIFO would block the scan) or is too large to be a git record.
std::optional<std::string> readRecord(const std::string& path) {
  return PlainFile::read(path, kMaxRecordBytes);
}

// One decoded character of UTF-8 text and where its bytes lie.
struct Character {
  char32_t code;
  std::size_t begin;
  std::size_t end;
};

// The text's characters; none when it is not valid UTF-8 (the record then reads as unreadable).
std::optional<std::vector<Character>> decode(std::string_view text) {
  std::vector<Character> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
      minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    out.push_back({code, i, i + length});
    i += length;
  }
  return out;
}

bool isLineBreak(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Tabs and the space separators.
bool isBlank(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isBlankOrLineBreak(char32_t c) { return isBlank(c) || isLineBreak(c); }

// The non-empty lines of the text; CR LF counts as one break.
std::vector<std::string_view> lines(std::string_view text, const std::vector<Character>& chars) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t k = 0; k < chars.size(); ++k) {
    if (!isLineBreak(chars[k].code)) continue;
    if (chars[k].begin > start) out.push_back(text.substr(start, chars[k].begin - start));
    if (chars[k].code == 0x0D && k + 1 < chars.size() && chars[k + 1].code == 0x0A) ++k;
    start = chars[k].end;
  }
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

// The text with the characters the predicate accepts removed at both ends.
template <typename Predicate>
std::string_view trimmed(std::string_view text, Predicate drop) {
  const auto chars = decode(text);
  if (!chars || chars->empty()) return text;
  std::size_t first = 0;
  std::size_t last = chars->size();
  while (first < last && drop((*chars)[first].code)) ++first;
  while (last > first && drop((*chars)[last - 1].code)) --last;
  if (first == last) return {};
  return text.substr((*chars)[first].begin, (*chars)[last - 1].end - (*chars)[first].begin);
}

// A record's path: absolute as written, else relative to the folder that holds the record.
std::string resolvedAgainst(std::string_view folder, std::string_view value) {
  if (!value.empty() && value.front() == '/') return cleanPath(value);
  return cleanPath(appendingPath(folder, value));
}

// The walks look for folders only: the other entries need no status of their own.
bool onlyFolders(const std::vector<ListedEntry>&) { return false; }

// The path by which two records pointing at one ".git" entry compare equal.
std::string resolvedIdentity(std::string_view path) {
  return FileIdentity::normalizedPath(FileIdentity::resolvingSymlinks(cleanPath(path)));
}

// Whether the repository's worktree record `record` names the worktree's ".git" entry.
bool pointsBack(const std::string& record, const std::string& dotGit) {
  const auto target = WorktreeDiscovery::recordTarget(record);
  return target && resolvedIdentity(*target) == resolvedIdentity(dotGit);
}

}  // namespace

std::optional<std::string> WorktreeDiscovery::recordTarget(std::string_view record) {
  const auto content = readRecord(appendingPath(record, "gitdir"));
  if (!content || !decode(*content)) return std::nullopt;
  const std::string_view text = trimmed(*content, isBlankOrLineBreak);
  if (text.empty()) return std::nullopt;
  return resolvedAgainst(record, text);
}

std::vector<std::string> WorktreeDiscovery::childDirectories(
    std::string_view folder, bool skipHidden, std::optional<VolumeIdentifier> rootVolume) const {
  if (boundary.isDataless && boundary.isDataless(folder)) return {};
  const auto listing = DirectoryListing::entries(folder, onlyFolders);
  if (!listing) return {};
  return directoriesIn(folder, *listing, skipHidden, rootVolume);
}

std::vector<std::string> WorktreeDiscovery::directoriesIn(
    std::string_view folder, const std::vector<ListedEntry>& listing, bool skipHidden,
    std::optional<VolumeIdentifier> rootVolume) const {
  std::vector<std::string> names;
  for (const ListedEntry& entry : listing) {
    if (skipHidden && !entry.name.empty() && entry.name.front() == '.') continue;
    // Packages (bundles) do not exist here, so no directory is one.
    if (!entry.hasValues || !entry.isDirectory || entry.isSymbolicLink) continue;
    if (DirectoryListing::skipReason(boundary, entry, rootVolume)) continue;
    names.push_back(entry.name);
  }
  // Plain code-point order: byte order of UTF-8 names.
  std::stable_sort(names.begin(), names.end());
  std::vector<std::string> children;
  children.reserve(names.size());
  for (const std::string& name : names) children.push_back(appendingPath(folder, name));
  return children;
}

std::vector<std::string> WorktreeDiscovery::repositoriesWithClaudeWorktrees() const {
  RepositoryWalk walk(*this);
  walkTogether({&walk}, spread);
  return walk.repositories();
}

WorktreeDiscovery::RepositoryWalk::RepositoryWalk(const WorktreeDiscovery& discovery)
    : discovery_(discovery) {
  const std::vector<std::string> roots = searchRootFolders(discovery.home, discovery.searchRoots);
  found_.resize(roots.size());
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (discovery.boundary.isDataless && discovery.boundary.isDataless(roots[i])) continue;
    level_.push_back(
        {roots[i], 0, false, i, DirectoryListing::rootVolume(discovery.boundary, roots[i])});
  }
  visited_.resize(level_.size());
}

bool WorktreeDiscovery::RepositoryWalk::finished() const {
  return level_.empty() || discovery_.stop.stop_requested();
}

bool WorktreeDiscovery::RepositoryWalk::wantsListing(std::size_t folder) const {
  const Entry& entry = level_[folder];
  const WalkBoundary& boundary = discovery_.boundary;
  return entry.depth < discovery_.maxDepth && !entry.insideRepository &&
         !(boundary.isDataless && boundary.isDataless(entry.path));
}

std::optional<std::vector<ListedEntry>> WorktreeDiscovery::RepositoryWalk::list(
    std::size_t folder) {
  return DirectoryListing::entries(level_[folder].path, onlyFolders);
}

void WorktreeDiscovery::RepositoryWalk::visit(
    std::size_t folder, const std::optional<std::vector<ListedEntry>>& listing) {
  const Entry& entry = level_[folder];
  Visited& visited = visited_[folder];
  // A name the folder's listing lacks is not looked up: it would not be found. Another walk's
  // listing of a folder this walk does not list serves that too.
  const auto listed = [&listing](std::string_view name) {
    return !listing || std::any_of(listing->begin(), listing->end(),
                                   [name](const ListedEntry& e) { return e.name == name; });
  };
  visited.holdsWorktrees =
      listed(".claude") &&
      DirectoryListing::isDirectory(appendingPath(entry.path, ".claude/worktrees"));
  if (!wantsListing(folder) || !listing) return;
  const bool hasGit = entry.depth > 0 && listed(".git") &&
                      DirectoryListing::exists(appendingPath(entry.path, ".git"));
  for (std::string& child :
       discovery_.directoriesIn(entry.path, *listing, true, entry.rootVolume)) {
    if (CacheCatalog::worktreeSkippedNames().count(lastPathComponent(child)) > 0) continue;
    visited.children.push_back(
        {std::move(child), entry.depth + 1, hasGit, entry.root, entry.rootVolume});
  }
}

// Breadth first, one level of every root at a time, the findings taken back in the level's
// order: the order of a walk with one queue for each root, roots in their order.
void WorktreeDiscovery::RepositoryWalk::advance() {
  std::vector<Entry> next;
  for (std::size_t k = 0; k < level_.size(); ++k) {
    if (visited_[k].holdsWorktrees) found_[level_[k].root].push_back(level_[k].path);
    for (Entry& child : visited_[k].children) next.push_back(std::move(child));
  }
  level_ = std::move(next);
  visited_.assign(level_.size(), Visited{});
}

std::vector<std::string> WorktreeDiscovery::RepositoryWalk::repositories() {
  std::vector<std::string> results;
  for (std::vector<std::string>& repositories : found_) {
    for (std::string& repository : repositories) results.push_back(std::move(repository));
  }
  return results;
}

std::vector<CacheItem> WorktreeDiscovery::discover() const {
  return discover(repositoriesWithClaudeWorktrees());
}

std::vector<CacheItem> WorktreeDiscovery::discover(
    const std::vector<std::string>& repositories) const {
  // What becomes one item: the worktree, the folder it was found in and the repository it is
  // expected to belong to, in the order found.
  struct Found {
    std::string worktree;
    std::string folder;
    std::optional<std::string> repository;
  };
  auto hasGit = [](const std::string& folder) {
    return DirectoryListing::exists(appendingPath(folder, ".git"));
  };

  const auto inRepository = [this](const std::string& repository) {
    std::vector<Found> found;
    const std::string folder = appendingPath(repository, ".claude/worktrees");
    for (std::string& child : childDirectories(folder, false, std::nullopt)) {
      found.push_back({std::move(child), folder, repository});
    }
    return found;
  };
  const auto inToolFolder = [this, &hasGit](const std::string& name) {
    std::vector<Found> found;
    const std::string folder = appendingPath(home, name);
    for (std::string& child : childDirectories(folder, false, std::nullopt)) {
      if (hasGit(child)) {
        found.push_back({std::move(child), folder, std::nullopt});
        continue;
      }
      std::vector<std::string> nested;
      for (std::string& grandchild : childDirectories(child, false, std::nullopt)) {
        if (hasGit(grandchild)) nested.push_back(std::move(grandchild));
      }
      if (nested.empty()) {
        found.push_back({std::move(child), folder, std::nullopt});
      } else {
        for (std::string& worktree : nested) found.push_back({std::move(worktree), child, {}});
      }
    }
    return found;
  };

  std::vector<Found> all;
  for (std::vector<Found>& found :
       mapInOrder(spread, repositories, inRepository)) {
    for (Found& each : found) all.push_back(std::move(each));
  }
  for (std::vector<Found>& found : mapInOrder(spread, toolFolders, inToolFolder)) {
    for (Found& each : found) all.push_back(std::move(each));
  }

  // Each worktree's records are read side by side; the first item of an id wins, as found.
  std::vector<CacheItem> made = mapInOrder(spread, all, [this](const Found& found) {
    return makeItem(found.worktree, found.folder, found.repository);
  });
  std::vector<CacheItem> items;
  std::unordered_set<std::string> seen;
  for (CacheItem& item : made) {
    if (seen.insert(item.id).second) items.push_back(std::move(item));
  }
  return items;
}

std::optional<std::string> WorktreeDiscovery::gitRoot(std::string_view folder) const {
  auto hasGit = [](std::string_view path) {
    return DirectoryListing::exists(appendingPath(path, ".git"));
  };
  if (hasGit(folder)) return std::string(folder);
  const std::vector<std::string> children = childDirectories(folder, false, std::nullopt);
  for (const std::string& child : children) {
    if (hasGit(child)) return child;
  }
  for (const std::string& child : children) {
    for (const std::string& grandchild : childDirectories(child, false, std::nullopt)) {
      if (hasGit(grandchild)) return grandchild;
    }
  }
  return std::nullopt;
}

std::optional<std::string> WorktreeDiscovery::gitdirTarget(std::string_view folder) {
  const std::string dotGit = appendingPath(folder, ".git");
  struct stat st {};
  if (::stat(cleanPath(dotGit).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  const auto content = readRecord(dotGit);
  if (!content) return std::nullopt;
  const auto chars = decode(*content);
  if (!chars) return std::nullopt;
  constexpr std::string_view kPrefix = "gitdir:";
  for (std::string_view line : lines(*content, *chars)) {
    if (line.substr(0, kPrefix.size()) != kPrefix) continue;
    return resolvedAgainst(folder, trimmed(line.substr(kPrefix.size()), isBlank));
  }
  return std::nullopt;
}

WorktreeInfo WorktreeDiscovery::inspect(std::string_view gitRoot,
                                        const std::optional<std::string>& expectedRepository) {
  std::optional<std::string> repository = expectedRepository;
  std::vector<std::string> candidates;
  if (auto target = gitdirTarget(gitRoot)) {
    candidates.push_back(*target);
    if (!repository) {
      const std::string record = parentPath(*target);
      const std::string dotGit = parentPath(record);
      if (lastPathComponent(record) == "worktrees" && lastPathComponent(dotGit) == ".git") {
        repository = parentPath(dotGit);
      }
    }
  }
  if (repository) {
    candidates.push_back(
        appendingPath(*repository, ".git/worktrees/" + lastPathComponent(gitRoot)));
  }
  const std::string dotGit = appendingPath(gitRoot, ".git");
  const bool registered =
      std::any_of(candidates.begin(), candidates.end(),
                  [&](const std::string& record) { return pointsBack(record, dotGit); });
  // The status starts unknown; git fills it in later.
  WorktreeInfo info;
  info.repositoryURL = std::move(repository);
  info.isRegistered = registered;
  info.gitRoot = std::string(gitRoot);
  return info;
}

CacheItem WorktreeDiscovery::makeItem(const std::string& worktree, const std::string& folder,
                                      const std::optional<std::string>& expectedRepository) const {
  WorktreeInfo info;
  if (auto root = gitRoot(worktree)) {
    info = inspect(*root, expectedRepository);
  } else {
    info.repositoryURL = expectedRepository;
    info.isRegistered = false;
    info.status = WorktreeStatus::error("no .git");
  }
  CacheItemInit init;
  init.url = worktree;
  init.subtitle = info.repositoryName().value_or("Unknown repository") + " · " +
                  abbreviatedPath(worktree, home);
  init.group = CacheGroup::aiWorktrees;
  init.risk = RiskLevel::moderate;
  init.kind = ItemKind::path;
  init.isReportOnly = false;
  init.discoveryRoot = folder;
  init.modified = DirectoryListing::modificationDate(worktree);
  init.worktree = std::move(info);
  init.home = home;
  return CacheItem(std::move(init));
}

}  // namespace hl
