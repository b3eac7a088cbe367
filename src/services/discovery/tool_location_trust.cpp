#include "services/discovery/tool_location_trust.h"

#include <algorithm>

#include "platform/directory_listing.h"
#include "platform/plain_file.h"
#include "services/discovery/cache_catalog.h"
#include "services/discovery/search_roots.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::ToolLocationTrust {
namespace {

// The marker every cache directory tag begins with (the cache directory tagging convention).
constexpr std::string_view kCacheTag = "Signature: 8a477f597d28d172789f06886806bc55";
constexpr std::string_view kGoBuildReadme =
    "This directory holds cached build artifacts from the Go build system.";

bool isDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  });
}

// "v3", "v10": the store's layout version.
bool isLayoutVersion(std::string_view name) {
  return name.size() > 1 && name.front() == 'v' && isDigits(name.substr(1));
}

// "wheels-v5", "archive-v0": one of uv's versioned buckets.
bool isVersionedBucket(std::string_view name) {
  const std::size_t dash = name.rfind("-v");
  return dash != std::string_view::npos && dash > 0 && isDigits(name.substr(dash + 2));
}

bool isFolder(const std::string& folder, std::string_view name) {
  return DirectoryListing::isDirectory(appendingPath(folder, name));
}

bool anyEntry(const std::string& folder, bool (*matches)(const ListedEntry&)) {
  const auto entries = DirectoryListing::entries(folder);
  return entries && std::any_of(entries->begin(), entries->end(), matches);
}

bool beginsWith(const std::string& file, std::string_view text) {
  const std::optional<std::string> content = PlainFile::read(file, 4096);
  return content && content->starts_with(text);
}

bool holdsNpmCache(const std::string& folder) {
  return isFolder(folder, "index-v5") || isFolder(folder, "content-v2");
}

// The tool a location belongs to and what of it the location is, for the notes.
struct Naming {
  std::string_view tool;
  std::string_view what;
};

Naming naming(ToolLocationKey key) {
  switch (key) {
    case ToolLocationKey::pnpmStore: return {"pnpm", "store"};
    case ToolLocationKey::uvCache: return {"uv", "cache"};
    case ToolLocationKey::goModCache: return {"go", "module cache"};
    case ToolLocationKey::goBuildCache: return {"go", "build cache"};
    case ToolLocationKey::brewCache: return {"brew", "cache"};
    case ToolLocationKey::npmCacache: return {"npm", "cache"};
    case ToolLocationKey::npmNpx: return {"npm", "npx folder"};
  }
  return {"a tool", "cache"};
}

}  // namespace

bool holdsLayout(ToolLocationKey key, const std::string& location) {
  const std::string folder = cleanPath(location);
  switch (key) {
    case ToolLocationKey::pnpmStore:
      return isLayoutVersion(lastPathComponent(folder)) && isFolder(folder, "files");
    case ToolLocationKey::uvCache:
      return beginsWith(appendingPath(folder, "CACHEDIR.TAG"), kCacheTag) &&
             anyEntry(folder, [](const ListedEntry& entry) {
               return entry.isDirectory && isVersionedBucket(entry.name);
             });
    case ToolLocationKey::goModCache:
      return isFolder(folder, "download");
    case ToolLocationKey::goBuildCache:
      return beginsWith(appendingPath(folder, "README"), kGoBuildReadme);
    case ToolLocationKey::brewCache:
      return DirectoryListing::exists(appendingPath(folder, "api/formula.jws.json")) ||
             DirectoryListing::exists(appendingPath(folder, "api/cask.jws.json")) ||
             anyEntry(appendingPath(folder, "downloads"), [](const ListedEntry& entry) {
               // Homebrew names a download by the digest of its address and its file name.
               const std::string_view name = entry.name;
               return name.size() > 66 && name.substr(64, 2) == "--" && isHex(name.substr(0, 64));
             });
    case ToolLocationKey::npmCacache:
      return holdsNpmCache(folder);
    case ToolLocationKey::npmNpx:
      return holdsNpmCache(appendingPath(parentPath(folder), "_cacache"));
  }
  return false;
}

std::vector<std::string> searchedFolders(const std::string& home) {
  std::vector<std::string> folders;
  for (const std::string& root :
       searchRootFolders(home, CacheCatalog::repositorySearchRoots())) {
    folders.push_back(FileIdentity::identityPath(root));
  }
  for (const std::string& relative : CacheCatalog::toolWorktreeFolders()) {
    folders.push_back(FileIdentity::identityPath(appendingPath(home, relative)));
  }
  return folders;
}

std::optional<std::string> objection(ToolLocationKey key, const std::string& location,
                                     const std::vector<TrashGuard::Protected>& protectedLocations,
                                     const std::vector<std::string>& searched) {
  if (location.empty() || location.front() != '/') return "it is not an absolute path";
  const std::string identity = FileIdentity::identityPath(location);
  const std::optional<FileIdentifier> identifier = FileIdentity::identifier(identity);
  for (const TrashGuard::Protected& place : protectedLocations) {
    if (place.path == identity || (identifier && place.identifier == identifier)) {
      return "it is a protected location";
    }
  }
  for (const TrashGuard::Protected& place : protectedLocations) {
    if (PathRelation::isSameOrDescendant(place.path, identity)) {
      return "it holds a protected location";
    }
  }
  for (const std::string& folder : searched) {
    if (PathRelation::isSameOrDescendant(folder, identity)) {
      return "it is or holds a folder searched for projects or worktrees";
    }
  }
  if (!holdsLayout(key, location)) {
    const Naming name = naming(key);
    return "it does not hold " + std::string(name.tool) + "'s " + std::string(name.what);
  }
  return std::nullopt;
}

TrustedToolLocations vet(const std::map<ToolLocationKey, std::string>& reported,
                         const std::string& home) {
  TrustedToolLocations trusted;
  std::optional<std::vector<TrashGuard::Protected>> protectedLocations;
  std::vector<std::string> searched;
  for (const auto& [key, location] : reported) {
    const bool absolute = !location.empty() && location.front() == '/';
    if (absolute && !FileIdentity::existsWithoutFollowing(location)) continue;
    // Read once, and only when a location is there to be judged.
    if (!protectedLocations) {
      protectedLocations = TrashGuard{home}.protectedLocations();
      searched = searchedFolders(home);
    }
    if (auto reason = objection(key, location, *protectedLocations, searched)) {
      const Naming name = naming(key);
      trusted.notes.push_back("Set aside the " + std::string(name.what) + " location " +
                              std::string(name.tool) + " gave, " +
                              (absolute ? abbreviatedPath(location, home) : location) + ": " +
                              *reason + "; the usual location is used instead.");
      continue;
    }
    trusted.accepted.emplace(key, location);
  }
  return trusted;
}

}  // namespace hl::ToolLocationTrust
