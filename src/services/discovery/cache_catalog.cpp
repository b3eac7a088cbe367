#include "services/discovery/cache_catalog.h"

#include <algorithm>
#include <functional>

#include "utilities/path_canonical.h"

namespace hl {
namespace {

using Tool = NativeAction::Tool;
using Key = ToolLocationKey;

constexpr auto moderate = RiskLevel::moderate;
constexpr auto review = RiskLevel::review;
constexpr auto none = std::nullopt;

const std::string LC = "Library/Caches/";
const std::string AS = "Library/Application Support/";
const std::string DX = "Library/Developer/Xcode/";
const std::string CS = "Library/Developer/CoreSimulator/";

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

// A location in the home's "Library", a folder only macOS fills.
bool inMacLibrary(std::string_view path) { return path.starts_with("Library/"); }

// One coverage line of a row: the paths shown, then "/{allowed}" or "/*" for a children row.
std::string rowLine(const CacheSource& source, const std::vector<std::string>& paths) {
  std::vector<std::string> shown;
  for (const std::string& path : paths) {
    shown.push_back(!path.empty() && path.front() == '$' ? path : "~/" + path);
  }
  std::string line = joined(shown, " or ");
  if (source.isChildren()) {
    line += "/";
    if (source.allowedChildren) {
      // A std::set iterates in ascending byte order.
      const std::vector<std::string> names(source.allowedChildren->begin(),
                                           source.allowedChildren->end());
      line += "{" + joined(names, ", ") + "}";
    } else {
      line += "*";
    }
  }
  return line;
}

}  // namespace

CacheSource CacheSource::itself(std::string path, std::optional<RiskLevel> risk, bool reportOnly,
                                std::optional<ToolLocationKey> toolKey,
                                std::optional<NativeAction::Tool> action,
                                std::vector<std::string> owners,
                                std::optional<GuardRule> guardRule,
                                std::optional<std::string> note) {
  CacheSource source;
  source.paths = {std::move(path)};
  source.mode = Itself{};
  source.risk = risk;
  source.isReportOnly = reportOnly;
  source.toolKey = toolKey;
  source.action = action;
  source.owners = std::move(owners);
  source.guardRule = guardRule;
  source.note = std::move(note);
  return source;
}

CacheSource CacheSource::children(std::string path, bool directoriesOnly,
                                  std::optional<RiskLevel> risk,
                                  std::optional<std::set<std::string>> allowed,
                                  std::optional<std::vector<std::string>> allowedPrefixes,
                                  std::set<std::string> excluded,
                                  std::set<std::string> reviewChildren,
                                  std::vector<std::string> owners, int keepNewestVersions,
                                  std::optional<GuardRule> guardRule) {
  CacheSource source;
  source.paths = {std::move(path)};
  source.mode = Children{directoriesOnly};
  source.risk = risk;
  source.allowedChildren = std::move(allowed);
  source.allowedPrefixes = std::move(allowedPrefixes);
  source.excludedChildren = std::move(excluded);
  source.reviewChildren = std::move(reviewChildren);
  source.owners = std::move(owners);
  source.keepNewestVersions = keepNewestVersions;
  source.guardRule = guardRule;
  return source;
}

bool CacheSource::directoriesOnly() const {
  const auto* children = std::get_if<Children>(&mode);
  return children != nullptr && children->directoriesOnly;
}

std::size_t CacheSource::hash() const {
  std::size_t seed = 0;
  auto mix = [&seed](std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
  };
  auto mixText = [&mix](const std::string& text) { mix(std::hash<std::string>{}(text)); };
  auto mixOptional = [&mix](bool present, std::size_t value) {
    mix(present ? 1 : 0);
    if (present) mix(value);
  };
  for (const std::string& path : paths) mixText(path);
  mix(mode.index());
  mix(directoriesOnly() ? 1 : 0);
  mixOptional(risk.has_value(), risk ? static_cast<std::size_t>(rawValue(*risk)) : 0);
  mix(allowedChildren ? 1 : 0);
  if (allowedChildren) {
    for (const std::string& name : *allowedChildren) mixText(name);
  }
  mix(allowedPrefixes ? 1 : 0);
  if (allowedPrefixes) {
    for (const std::string& prefix : *allowedPrefixes) mixText(prefix);
  }
  for (const std::string& name : excludedChildren) mixText(name);
  mixOptional(guardRule.has_value(), guardRule ? static_cast<std::size_t>(*guardRule) : 0);
  mix(note ? 1 : 0);
  if (note) mixText(*note);
  for (const std::string& name : reviewChildren) mixText(name);
  mix(isReportOnly ? 1 : 0);
  mixOptional(toolKey.has_value(), toolKey ? static_cast<std::size_t>(*toolKey) : 0);
  mixOptional(action.has_value(), action ? static_cast<std::size_t>(*action) : 0);
  for (const std::string& owner : owners) mixText(owner);
  mix(static_cast<std::size_t>(keepNewestVersions));
  return seed;
}

namespace CacheCatalog {

const std::set<std::string>& worktreeSkippedNames() {
  static const std::set<std::string> names = {"node_modules", ".git", "Library"};
  return names;
}

const std::set<std::string>& modelCacheNames() {
  static const std::set<std::string> names = {"huggingface", "lm-studio", "torch", "ollama"};
  return names;
}

const std::vector<std::string>& repositorySearchRoots() {
  static const std::vector<std::string> roots = {"Documents", "Developer", "Projects", "code",
                                                 "src",       "repos",     "work"};
  return roots;
}

const std::vector<std::string>& toolWorktreeFolders() {
  static const std::vector<std::string> folders = {".grok/worktrees", ".codex/worktrees",
                                                   ".cursor/worktrees"};
  return folders;
}

const std::vector<std::string>& claudeOwners() {
  static const std::vector<std::string> owners = {"claude", "Claude.app"};
  return owners;
}

const std::vector<std::string>& codexOwners() {
  static const std::vector<std::string> owners = {"codex", "Codex.app"};
  return owners;
}

const std::vector<CacheSource>& packageCaches() {
  static const std::vector<CacheSource> rows = [] {
    std::vector<CacheSource> r;
    r.push_back(CacheSource::itself(".npm/_cacache", none, false, Key::npmCacache, Tool::npm,
                                    {"node", "npm"}));
    r.push_back(CacheSource::itself(".npm/_npx", none, false, Key::npmNpx, none, {"node", "npx"}));
    CacheSource pnpm;
    pnpm.paths = {"Library/pnpm/store", ".local/share/pnpm/store"};
    pnpm.mode = CacheSource::Itself{};
    pnpm.toolKey = Key::pnpmStore;
    pnpm.action = Tool::pnpm;
    pnpm.owners = {"pnpm", "node"};
    r.push_back(std::move(pnpm));
    r.push_back(CacheSource::itself(LC + "Yarn", none, false, none, none, {"node", "yarn"}));
    r.push_back(CacheSource::itself(".yarn/berry/cache", none, false, none, none, {"node", "yarn"}));
    r.push_back(CacheSource::itself(".bun/install/cache", none, false, none, none, {"bun"}));
    r.push_back(CacheSource::itself(LC + "pip"));
    r.push_back(CacheSource::itself(".cache/uv", none, false, Key::uvCache, Tool::uv, {"uv"}));
    r.push_back(CacheSource::itself(LC + "uv", none, false, none, Tool::uv, {"uv"}));
    r.push_back(CacheSource::itself(".cargo/registry/cache", none, false, none, none, {"cargo"}));
    r.push_back(CacheSource::itself(".cargo/registry/src", none, false, none, none, {"cargo"}));
    r.push_back(CacheSource::itself("go/pkg/mod/cache", none, false, Key::goModCache, Tool::go,
                                    {"go", "gopls"}));
    r.push_back(CacheSource::itself(LC + "go-build", none, false, Key::goBuildCache, none,
                                    {"go", "gopls"}));
    r.push_back(CacheSource::itself(LC + "Homebrew", none, false, Key::brewCache, Tool::brew,
                                    {"brew"}));
    r.push_back(CacheSource::itself(LC + "CocoaPods"));
    r.push_back(CacheSource::itself(LC + "org.swift.swiftpm"));
    r.push_back(CacheSource::itself(".gradle/caches", none, false, none, none, {"java"}));
    r.push_back(CacheSource::itself(".m2/repository", moderate, false, none, none, {"java"}));
    r.push_back(CacheSource::itself(".composer/cache"));
    r.push_back(CacheSource::itself(".gem/specs"));
    r.push_back(CacheSource::itself(".cache/pre-commit"));
    r.push_back(CacheSource::itself(".cache/huggingface", review));
    r.push_back(CacheSource::itself(".cache/whisper", moderate));
    r.push_back(CacheSource::children(
        ".cache/codex-runtimes", true, moderate, none,
        std::vector<std::string>{"codex-runtime-install-", "install-"}, {}, {}, codexOwners(), 0,
        GuardRule::codexNotRunning));
    r.push_back(CacheSource::itself(".nvm/.cache", none, false, none, none, {"node", "nvm"}));
    r.push_back(CacheSource::itself(".cache/puppeteer"));
    r.push_back(CacheSource::itself(".cache/ms-playwright"));
    r.push_back(CacheSource::children(".cache", false, none, none, none, {"codex-runtimes"},
                                      modelCacheNames()));
    return r;
  }();
  return rows;
}

const std::vector<CacheSource>& buildTools() {
  static const std::vector<CacheSource> rows = [] {
    std::vector<CacheSource> r;
    r.push_back(CacheSource::children(
        ".codex", true, moderate,
        std::set<std::string>{"log", "cache", ".tmp", "tmp", "packages"}, none, {}, {},
        codexOwners(), 0, GuardRule::codexNotRunning));
    r.push_back(CacheSource::itself(".claude/cache", moderate, false, none, none, claudeOwners()));
    r.push_back(
        CacheSource::itself(".claude/paste-cache", moderate, false, none, none, claudeOwners()));
    r.push_back(CacheSource::itself(".claude/shell-snapshots", moderate, false, none, none,
                                    claudeOwners(), GuardRule::claudeShellSnapshots));
    r.push_back(CacheSource::itself(".claude/debug", moderate, false, none, none, claudeOwners()));
    r.push_back(
        CacheSource::itself(".claude/downloads", moderate, false, none, none, claudeOwners()));
    r.push_back(CacheSource::itself(LC + "ms-playwright"));
    r.push_back(
        CacheSource::itself(AS + "Code/Cache", none, false, none, none, {"Code", "Electron"}));
    r.push_back(
        CacheSource::itself(AS + "Code/CachedData", none, false, none, none, {"Code", "Electron"}));
    r.push_back(CacheSource::itself(AS + "Cursor/Cache", none, false, none, none, {"Cursor"}));
    r.push_back(
        CacheSource::itself(AS + "Cursor/CachedData", none, false, none, none, {"Cursor"}));
    r.push_back(CacheSource::itself(LC + "JetBrains"));
    r.push_back(
        CacheSource::itself(LC + "Google/Chrome", none, false, none, none, {"Google Chrome"}));
    return r;
  }();
  return rows;
}

const std::vector<CacheSource>& xcode() {
  static const std::vector<CacheSource> rows = [] {
    std::vector<CacheSource> r;
    r.push_back(CacheSource::children(DX + "DerivedData", false, none, none, none, {}, {},
                                      {"Xcode"}));
    r.push_back(CacheSource::children(DX + "Archives", false, review));
    r.push_back(CacheSource::children(DX + "iOS DeviceSupport", false, none, none, none, {}, {},
                                      {"Xcode"}, 2));
    r.push_back(CacheSource::itself(DX + "UserData/Previews", none, false, none, none, {"Xcode"}));
    r.push_back(CacheSource::itself(LC + "com.apple.dt.Xcode", none, false, none, none, {"Xcode"}));
    r.push_back(CacheSource::itself(CS + "Caches", none, false, none, none,
                                    {"Simulator", "com.apple.CoreSimulator.CoreSimulatorService"}));
    r.push_back(CacheSource::itself(CS + "Devices", review));
    return r;
  }();
  return rows;
}

const std::vector<CacheSource>& largeBackups() {
  static const std::vector<CacheSource> rows = [] {
    std::vector<CacheSource> r;
    r.push_back(CacheSource::itself(AS + "MobileSync/Backup", review));
    r.push_back(CacheSource::itself(AS + "Claude/vm_bundles", review, true, none, none, {}, none,
                                    "Cowork VM — managed by the Claude app"));
    r.push_back(CacheSource::itself("miniconda3/pkgs", review, true, none, Tool::conda,
                                    {"conda", "python"}));
    r.push_back(CacheSource::itself(".asdf/installs", review, true));
    r.push_back(CacheSource::itself("Library/Android/sdk", review, true));
    r.push_back(CacheSource::itself("Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
                                    moderate, true, none, Tool::docker,
                                    {"Docker", "com.docker.backend"}));
    return r;
  }();
  return rows;
}

const std::vector<CacheSource>& systemCaches() {
  static const std::vector<CacheSource> rows = [] {
    std::vector<CacheSource> r;
    r.push_back(CacheSource::children("Library/Caches"));
    r.push_back(CacheSource::children("Library/Logs"));
    r.push_back(CacheSource::children(AS + "Caches", false, none, none, none, {}, {}, {}, 0,
                                      GuardRule::updaterDownload));
    r.push_back(CacheSource::children("$TMPDIR", false, moderate, none, none, {}, {}, {}, 0,
                                      GuardRule::temporaryFiles));
    return r;
  }();
  return rows;
}

const std::vector<CacheSource>& trash() {
  static const std::vector<CacheSource> rows = {
      CacheSource::itself(std::string(homeTrashPath), review, true)};
  return rows;
}

const std::vector<CacheSource>& sources(CacheGroup group) {
  static const std::vector<CacheSource> empty;
  switch (group) {
    case CacheGroup::packageCaches:
      return packageCaches();
    case CacheGroup::buildTools:
      return buildTools();
    case CacheGroup::xcode:
      return xcode();
    case CacheGroup::systemCaches:
      return systemCaches();
    case CacheGroup::largeBackups:
      return largeBackups();
    case CacheGroup::trash:
      return trash();
    case CacheGroup::aiWorktrees:
    case CacheGroup::projects:
    case CacheGroup::custom:
      break;
  }
  return empty;
}

bool isMacOnly(const CacheSource& source) {
  return !source.paths.empty() &&
         std::all_of(source.paths.begin(), source.paths.end(),
                     [](const std::string& path) { return inMacLibrary(path); });
}

bool coversOnlyMacLocations(CacheGroup group) {
  const std::vector<CacheSource>& rows = sources(group);
  return !rows.empty() && std::all_of(rows.begin(), rows.end(),
                                      [](const CacheSource& row) { return isMacOnly(row); });
}

std::vector<std::string> coveredPaths(CacheGroup group, const std::vector<std::string>& extraPaths,
                                      std::string_view home, const std::vector<CacheItem>& found) {
  std::vector<std::string> lines;
  switch (group) {
    case CacheGroup::custom:
      return extraPaths;
    case CacheGroup::projects:
      for (const std::string& root : repositorySearchRoots()) {
        lines.push_back("~/" + root +
                        "/**/{node_modules, target, .next, dist, build, .build, .gradle, .venv, "
                        "venv, __pycache__} (depth ≤ 5)");
      }
      return lines;
    case CacheGroup::aiWorktrees:
      for (const std::string& root : repositorySearchRoots()) {
        lines.push_back("~/" + root + "/**/.claude/worktrees/* (depth ≤ 4)");
      }
      for (const std::string& folder : toolWorktreeFolders()) {
        lines.push_back("~/" + folder + "/*");
      }
      return lines;
    default:
      break;
  }
  std::set<std::string> foundRoots;
  for (const CacheItem& item : found) {
    if (item.group == group) foundRoots.insert(cleanPath(item.discoveryRoot));
  }
  for (const CacheSource& source : sources(group)) {
    std::vector<std::string> paths;
    for (const std::string& path : source.paths) {
      if (!inMacLibrary(path) || foundRoots.contains(cleanPath(appendingPath(home, path)))) {
        paths.push_back(path);
      }
    }
    if (!paths.empty()) lines.push_back(rowLine(source, paths));
  }
  return lines;
}

}  // namespace CacheCatalog

}  // namespace hl
