#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "models/cache_group.h"
#include "models/cache_item.h"
#include "models/risk_level.h"
#include "models/worktree_status.h"
#include "services/discovery/cache_catalog.h"
#include "services/in_use/in_use_detector.h"
#include "services/measurement/disk_scanner.h"
#include "utilities/walk_boundary.h"

namespace hl {

// The stricter judgement of what the user selected in the folder scanner. Those paths were never
// discovered by the catalog, so each one is refused, with one short reason, while the in-use
// state cannot be verified, when it is an AI tool's own state, in use, refused by the trash
// guard, a review-only location, owned by a running application, or when it holds a git
// checkout that is not clean or cannot be checked. It judges only; it removes nothing.
//
// A value; nothing is cached between calls. Every member blocks (walks, the in-use capture,
// git) and may run on any thread; several evaluations may run at once.
struct ScanTrashPolicy {
  // A git checkout inside a selected folder that removing the folder would destroy.
  struct Checkout {
    enum class Kind { linkedWorktree, repository, bareRepository };

    std::string url;
    Kind kind = Kind::repository;
    // For a linked worktree, the repository it belongs to when known.
    std::optional<std::string> repository;

    auto operator<=>(const Checkout&) const = default;
  };

  // Why a selected folder could not be inspected completely; nothing inside it may go.
  struct VerifyFailure {
    std::string reason;
    bool operator==(const VerifyFailure&) const = default;
  };

  using CheckoutList = std::variant<std::vector<Checkout>, VerifyFailure>;

  // The result of one evaluation.
  struct Verdict {
    // Canonical path of each refused location → why. An accepted location has no entry.
    std::map<std::string, std::string> refusals;
    // Canonical paths of accepted locations that touch the agent's shell-snapshots folder and
    // whose rule was verified, so the trash guard may let them pass.
    std::set<std::string> shellSnapshotsVerified;
    // Canonical path of an accepted location → the repositories of the clean linked worktrees
    // inside it, to prune after it is removed. No entry when there are none.
    std::map<std::string, std::set<std::string>> pruneRepositories;

    bool operator==(const Verdict&) const = default;
  };

  // How git is asked about a checkout: by default the git service with 5 seconds a query.
  struct GitQueries {
    std::function<WorktreeStatus(const std::string& gitRoot, std::stop_token)> worktreeStatus;
    std::function<WorktreeStatus(const std::string& repository, std::stop_token)> repositoryStatus;

    static GitQueries standard();
  };

  // Refusal texts. The status chips match them by lower-cased substrings, so their wording is a
  // contract.
  static constexpr std::string_view aiToolState = "AI tool state";
  static constexpr std::string_view reviewOnly =
      "review-only location: check it in your file manager";
  static constexpr std::string_view notDownloaded =
      "not downloaded from iCloud, so it cannot be inspected";
  static constexpr std::string_view notFullyInspected = "could not fully inspect this folder";
  static constexpr std::string_view tooLarge =
      "too large to verify contained worktrees; select a smaller folder";

  // `detector` absent: one over `home` with the current time and the standard command runner.
  explicit ScanTrashPolicy(std::string home, std::optional<InUseDetector> detector = std::nullopt);

  std::string home;
  InUseDetector detector;
  // Whether the in-use snapshot lists open files (slow); previews switch it off.
  bool includeOpenFiles = true;
  // The most directory entries the contained-checkout walk visits.
  std::int64_t maxEntriesToVerify = 400000;
  WalkBoundary boundary;
  GitQueries git = GitQueries::standard();
  // Failures a test cannot cause on a real disk when it runs with every permission.
  WalkFaults faults;

  // Judges every location (file paths) against the folder that was measured (`scanRoot`) and
  // the agent worktree roots the folder scanner found in its tree. Never fails: every problem
  // becomes a refusal. A requested stop makes the verdict meaningless; the caller drops it.
  Verdict evaluate(const std::vector<std::string>& urls, const std::string& scanRoot,
                   const std::set<std::string>& worktreeRoots, std::stop_token stop = {}) const;

  // Every git checkout that removing the selected folder would destroy (in the order found,
  // possibly twice), or why the folder could not be inspected completely.
  CheckoutList containedCheckouts(const std::string& url) const;

  // Whether the folder is a bare git repository: a "HEAD" that is not a folder, and "objects"
  // and "refs" folders.
  static bool isBareRepository(std::string_view folder);

  // The item that the catalog row claiming the location would have made; none when no row
  // claims it.
  std::optional<CacheItem> catalogItem(const std::string& url) const;

  // The identity paths of every location the catalog marks for manual review.
  std::vector<std::string> reviewLocations() const;

  // The root of the agent worktree holding `path` (canonical): a folder directly inside a
  // ".claude/worktrees" folder anywhere, or an agent's own worktree folder under `home`.
  static std::optional<std::string> worktreeRoot(std::string_view path, std::string_view home);

  // The AI tools' own state, relative to the home folder, macOS paths included.
  static const std::vector<std::string>& aiToolRoots();
  // Their Linux counterparts as absolute paths: "home/.config/X" for every
  // "Library/Application Support/X", and the same under XDG_CONFIG_HOME when that is set.
  static std::vector<std::string> linuxAiToolRoots(std::string_view home);

  // Checkouts by the canonical path of their folder.
  static bool checkoutOrder(const Checkout& a, const Checkout& b);
  // Linked worktrees and bare repositories before full repositories, then checkout order.
  static bool refusalOrder(const Checkout& a, const Checkout& b);

 private:
  CacheItem checkoutItem(const Checkout& checkout) const;
  std::optional<std::string> refusal(const Checkout& checkout,
                                     const std::optional<std::string>& inUse,
                                     std::stop_token stop) const;
  CacheItem makeItem(const std::string& url, CacheGroup group, const CacheSource& row,
                     RiskLevel risk) const;
  // One location of a catalog row, by its identity path.
  struct CatalogLocation {
    CacheGroup group;
    const CacheSource* row;
    RiskLevel risk;  // the row's, or its group's default
    std::string identity;
  };
  // Every location of the catalog for this home, in group and catalog order. Read once per
  // evaluation, whatever the number of locations judged.
  std::vector<CatalogLocation> catalogLocations() const;
  std::optional<CacheItem> catalogItem(const std::string& url,
                                       const std::vector<CatalogLocation>& locations) const;
  // Where a catalog path lies for this home; none for "$TMPDIR" without a private one.
  std::optional<std::string> location(const std::string& path, CacheGroup group) const;
  // What one folder of the checkout walk holds; true when the walk must not go below it.
  bool inspect(const std::string& folder, std::vector<Checkout>& found) const;
};

}  // namespace hl
