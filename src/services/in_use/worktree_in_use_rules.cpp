#include "services/in_use/worktree_in_use_rules.h"

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>

#include <QString>
#include <QTextBoundaryFinder>
#include <memory>

#include "models/in_use_reasons.h"
#include "platform/file_times.h"
#include "platform/folder_reader.h"
#include "platform/plain_file.h"
#include "platform/unique_fd.h"
#include "services/discovery/worktree_discovery.h"
#include "services/in_use/in_use_detector.h"
#include "services/system/process_runner.h"
#include "utilities/path_canonical.h"
#include "utilities/path_extension.h"
#include "utilities/text_lines.h"

namespace hl::WorktreeInUseRules {
namespace {

constexpr std::string_view kMention = ".claude/worktrees/";
// No file name is longer, so this much after a mention decides every search for a name.
constexpr std::size_t kNameMax = 255;
constexpr std::string_view kProjectsFolder = ".claude/projects";
constexpr std::string_view kTranscriptExtension = "jsonl";
constexpr double kTranscriptWindow = 86400;  // 24 hours
constexpr std::string_view kSkippedProjectSuffix = "-harbor-lume";
constexpr double kFreshFolderWindow = 7200;  // 2 hours

// Collects the mentions of one file as it streams by, across chunk boundaries.
class MentionScanner {
 public:
  void feed(std::string_view chunk) {
    window_.append(chunk);
    scan(false);
  }
  void finish() { scan(true); }
  std::set<std::string>& found() { return found_; }

 private:
  void scan(bool atEnd) {
    std::size_t from = 0;
    std::size_t keepFrom = 0;
    for (;;) {
      const std::size_t at = window_.find(kMention, from);
      if (at == std::string::npos) {
        // A mention may begin in the last few bytes and end in the next chunk.
        const std::size_t partial =
            window_.size() >= kMention.size() ? window_.size() - (kMention.size() - 1) : 0;
        keepFrom = std::max(from, partial);
        break;
      }
      const std::size_t following = at + kMention.size();
      if (!atEnd && window_.size() - following < kNameMax) {
        keepFrom = at;  // wait for the bytes after it
        break;
      }
      found_.insert(window_.substr(following, kNameMax));
      from = at + 1;
    }
    window_.erase(0, std::min(keepFrom, window_.size()));
  }

  std::string window_;
  std::set<std::string> found_;
};

// The status of what the path names, a final link followed.
std::optional<struct stat> statusOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return status;
}

}  // namespace

bool TranscriptMentions::mention(std::string_view worktreeName) const {
  if (worktreeName.size() > kNameMax) return false;
  // The following texts are sorted, so those that begin with the name come first from it.
  const auto candidate = following.lower_bound(std::string(worktreeName));
  return candidate != following.end() && candidate->starts_with(worktreeName);
}

TranscriptMentions readMentions(const std::vector<std::string>& files) {
  TranscriptMentions mentions;
  for (const std::string& file : files) {
    MentionScanner scanner;
    if (!PlainFile::readInChunks(file, [&](std::string_view chunk) { scanner.feed(chunk); })) {
      continue;
    }
    scanner.finish();
    mentions.following.merge(scanner.found());
  }
  return mentions;
}

std::string claudeProjectFolderName(std::string_view path) {
  const QString text = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
  std::string name;
  name.reserve(path.size());
  qsizetype start = 0;
  for (qsizetype end = characters.toNextBoundary(); end != -1; end = characters.toNextBoundary()) {
    const QChar first = text.at(start);
    const bool keep = end - start == 1 && first.unicode() < 0x80 &&
                      ((first >= u'A' && first <= u'Z') || (first >= u'a' && first <= u'z') ||
                       (first >= u'0' && first <= u'9'));
    name.push_back(keep ? static_cast<char>(first.unicode()) : '-');
    start = end;
  }
  return name;
}

namespace {

// Hands each entry of `folder` (its subtree when `recursive`, links never followed) whose
// extension is exactly `extension` to `found` with its content date, in listing order. False when
// the folder cannot be listed, or when it is not walked recursively and cannot be read to its end.
bool eachFile(const std::string& folder, std::string_view extension, bool recursive,
              const std::function<void(const std::string& path, Date changed)>& found) {
  struct Level {
    UniqueFd fd;
    std::unique_ptr<FolderListing> listing;
    std::string path;
  };
  const auto level = [](int fd, std::string path) {
    Level made{UniqueFd(fd), nullptr, std::move(path)};
    made.listing = std::make_unique<FolderListing>(made.fd.get());
    return made;
  };
  std::vector<Level> open;
  // The folder itself may be reached through a link; nothing below it is.
  const int top = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (top < 0) return false;
  open.push_back(level(top, folder));
  while (!open.empty()) {
    Level& current = open.back();
    const char* name = current.listing->next();
    if (name == nullptr) {
      // One level that cannot be read to its end counts as unlistable; deeper ones are passed
      // over, as a walk without an error handler does.
      if (current.listing->failed() && !recursive) return false;
      open.pop_back();
      continue;
    }
    const std::string path = appendingPath(current.path, name);
    EntryStatus status;
    if (!FolderAccess::status(current.fd.get(), name, status)) continue;
    if (pathExtension(name) == extension) found(path, contentModificationDate(status));
    if (recursive && status.kind == EntryStatus::Kind::folder) {
      const int child = FolderAccess::openFolder(current.fd.get(), name);
      if (child >= 0) open.push_back(level(child, path));
    }
  }
  return true;
}

}  // namespace

std::vector<std::string> recentFiles(const std::string& folder, std::string_view extension,
                                     double window, Date now, bool recursive) {
  std::vector<std::string> recent;
  const bool listed = eachFile(folder, extension, recursive, [&](const std::string& path, Date changed) {
    if (secondsBetween(changed, now) < window) recent.push_back(path);
  });
  if (!listed) return {};
  return recent;
}

std::optional<Date> newestOwnTranscript(const std::string& home, const std::string& folder) {
  const std::string sessions = appendingPath(appendingPath(home, kProjectsFolder),
                                             claudeProjectFolderName(cleanPath(folder)));
  std::optional<Date> newest;
  const bool listed = eachFile(sessions, kTranscriptExtension, false, [&](const std::string&, Date changed) {
    if (!newest || changed > *newest) newest = changed;
  });
  if (!listed) return std::nullopt;
  return newest;
}

std::vector<std::string> gitLockFiles(const std::string& gitRoot) {
  const std::string gitDir =
      PathCanonical::canonical(WorktreeDiscovery::gitdirTarget(gitRoot).value_or(appendingPath(gitRoot, ".git")));
  std::vector<std::string> locks;
  for (const char* lock : {"index.lock", "HEAD.lock"}) {
    const std::string path = appendingPath(gitDir, lock);
    if (statusOf(path)) locks.push_back(path);
  }
  return locks;
}

std::optional<std::string> worktreeReason(const CacheItem& item, const InUseSnapshot& snapshot,
                                          const std::string& home, Date now,
                                          TranscriptCache& transcripts) {
  const std::string folder = cleanPath(item.url);
  const std::string projects = appendingPath(home, kProjectsFolder);

  if (const auto desk = snapshot.desk.find(InUseDetector::canonical(folder));
      desk != snapshot.desk.end()) {
    return std::string(desk->second == DeskState::leased ? InUseReasons::keptByClaudeApp
                                                         : InUseReasons::claudeAppPool);
  }

  if (const std::optional<Date> newest = newestOwnTranscript(home, folder);
      newest && secondsBetween(*newest, now) < kTranscriptWindow) {
    return std::string(InUseReasons::recentOwnSession);
  }

  const WorktreeInfo& worktree = *item.worktree;
  if (worktree.repositoryURL) {
    const std::string repository = PathCanonical::canonical(*worktree.repositoryURL);
    auto cached = transcripts.find(repository);
    if (cached == transcripts.end()) {
      const std::string name = claudeProjectFolderName(repository);
      TranscriptMentions mentions;
      if (!name.ends_with(kSkippedProjectSuffix)) {
        mentions = readMentions(recentFiles(appendingPath(projects, name), kTranscriptExtension,
                                            kTranscriptWindow, now, true));
      }
      cached = transcripts.emplace(repository, std::move(mentions)).first;
    }
    if (cached->second.mention(lastPathComponent(item.url))) {
      return std::string(InUseReasons::namedInRecentSession);
    }
  }

  if (worktree.gitRoot && !gitLockFiles(*worktree.gitRoot).empty()) {
    return std::string(InUseReasons::gitOperationInProgress);
  }

  if (const std::optional<Date> changed = attributeModificationDate(folder);
      changed && secondsBetween(*changed, now) < kFreshFolderWindow) {
    return std::string(InUseReasons::createdInLast2h);
  }
  return std::nullopt;
}

}  // namespace hl::WorktreeInUseRules
