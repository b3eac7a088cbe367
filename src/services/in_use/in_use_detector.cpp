#include "services/in_use/in_use_detector.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "platform/folder_reader.h"
#include "platform/plain_file.h"
#include "platform/unique_fd.h"
#include "services/in_use/command_process_source.h"
#include "services/in_use/in_use_rules.h"
#include "services/in_use/worktree_in_use_rules.h"
#include "utilities/ascii_case.h"
#include "utilities/file_identity.h"
#include "utilities/in_parallel.h"
#include "utilities/path_canonical.h"
#include "utilities/path_extension.h"
#include "utilities/path_overlap_set.h"

namespace hl {
namespace {

constexpr std::string_view kSessionsFolder = ".claude/sessions";
constexpr std::string_view kDesktopSupport = "Library/Application Support/Claude";
constexpr std::string_view kDeskRegistry = "git-worktrees.json";

std::optional<QJsonObject> jsonObjectIn(const std::string& path) {
  const std::optional<std::string> content = PlainFile::read(path);
  if (!content) return std::nullopt;
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray(content->data(), static_cast<qsizetype>(content->size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  return document.object();
}

std::optional<std::string> stringIn(const QJsonObject& object, const char* key) {
  const QJsonValue value = object.value(QLatin1String(key));
  if (!value.isString()) return std::nullopt;
  const QByteArray bytes = value.toString().toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A process id written as a JSON number: a whole number from 1 up.
std::optional<std::int32_t> pidIn(const QJsonObject& object) {
  const QJsonValue value = object.value(QLatin1String("pid"));
  if (!value.isDouble()) return std::nullopt;
  const double number = value.toDouble();
  if (!std::isfinite(number) || std::trunc(number) != number || number < 1 ||
      number > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(number);
}

bool presentAndNotNull(const QJsonObject& object, const char* key) {
  return object.contains(QLatin1String(key)) && !object.value(QLatin1String(key)).isNull();
}

}  // namespace

std::string InUseDetector::claudeDesktopSupport() const {
  return appendingPath(home, kDesktopSupport);
}

InUseEvaluation InUseDetector::evaluate(const std::vector<CacheItem>& items, bool includeOpenFiles,
                                        std::stop_token stop) const {
  const InUseSnapshot snapshot =
      capture(InUseRules::scanRoots(items), includeOpenFiles, std::move(stop));
  InUseEvaluation evaluation;
  evaluation.reasons = reasons(items, snapshot);
  std::set<std::string> owners;
  for (const CacheItem& item : items) owners.insert(item.owners.begin(), item.owners.end());
  evaluation.runningOwners = snapshot.processes.runningOwners(owners);
  evaluation.summary = liveSummary(snapshot, evaluation.reasons, items);
  evaluation.verification = snapshot.verification;
  return evaluation;
}

InUseSnapshot InUseDetector::capture(const std::vector<std::string>& roots, bool includeOpenFiles,
                                     std::stop_token stop) const {
  const std::shared_ptr<const ProcessSource> from = source ? source : defaultProcessSource();
  auto processes =
      inParallel([from, run = runner, stop] { return ProcessSnapshot::capture(*from, run, stop); });
  OpenPaths open = std::map<std::string, std::int32_t>{};
  if (includeOpenFiles) open = openPathPrefixes(withWhereTheyLead(roots), *from, runner, stop);

  InUseSnapshot snapshot;
  snapshot.processes = processes.get();
  if (const auto* failure = std::get_if<CaptureFailure>(&open)) {
    snapshot.verification = VerificationState::unavailable(failure->reason);
  } else {
    snapshot.openPathOwners = std::move(std::get<std::map<std::string, std::int32_t>>(open));
    for (const auto& [path, pid] : snapshot.openPathOwners) {
      snapshot.openPathPrefixes.insert(snapshot.openPathPrefixes.end(), path);
    }
  }
  // A failed process picture outranks a failed open-files capture.
  if (snapshot.processes.failure) {
    snapshot.verification = VerificationState::unavailable(*snapshot.processes.failure);
  }
  snapshot.liveSessions = liveSessions(snapshot.processes);
  snapshot.desk = deskRegistry();
  return snapshot;
}

std::map<std::string, std::string> InUseDetector::reasons(const std::vector<CacheItem>& items,
                                                          const InUseSnapshot& snapshot) const {
  return InUseRules::reasons(items, snapshot, home, now);
}

std::vector<LiveSession> InUseDetector::liveSessions(const ProcessSnapshot& processes) const {
  const std::string folder = appendingPath(home, kSessionsFolder);
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return {};
  FolderListing listing(fd.get());
  std::vector<LiveSession> sessions;
  while (const char* name = listing.next()) {
    if (pathExtension(name) != "json") continue;
    const std::optional<QJsonObject> object = jsonObjectIn(appendingPath(folder, name));
    if (!object) continue;
    const std::optional<std::int32_t> pid = pidIn(*object);
    if (!pid || ::kill(*pid, 0) != 0) continue;
    // Only a process the picture knows, and knows as the agent, makes a session live.
    if (processes.executables.count(*pid) == 0) continue;
    const std::vector<std::string> names = processes.names(*pid);
    if (std::none_of(names.begin(), names.end(), [](const std::string& known) {
          return lowercasedAscii(known).find("claude") != std::string::npos;
        })) {
      continue;
    }
    LiveSession session;
    session.pid = *pid;
    session.sessionId = stringIn(*object, "sessionId");
    session.cwd = stringIn(*object, "cwd");
    if (session.cwd) session.cwd = canonical(*session.cwd);
    session.hostSessionId = stringIn(*object, "hostSessionId");
    sessions.push_back(std::move(session));
  }
  return sessions;
}

std::map<std::string, DeskState> InUseDetector::deskRegistry() const {
  std::map<std::string, DeskState> desk;
  const std::optional<QJsonObject> registry =
      jsonObjectIn(appendingPath(claudeDesktopSupport(), kDeskRegistry));
  if (!registry) return desk;
  const QJsonValue worktrees = registry->value(QLatin1String("worktrees"));
  if (!worktrees.isObject()) return desk;
  const QJsonObject entries = worktrees.toObject();
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    if (!entry.value().isObject()) continue;
    const QJsonObject fields = entry.value().toObject();
    const std::optional<std::string> path = stringIn(fields, "path");
    if (!path) continue;
    if (presentAndNotNull(fields, "leasedBy")) {
      desk[canonical(*path)] = DeskState::leased;
    } else if (presentAndNotNull(fields, "pooledAt") ||
               presentAndNotNull(fields, "parkedStateKey")) {
      desk[canonical(*path)] = DeskState::pooled;
    }
  }
  return desk;
}

std::optional<std::string> InUseDetector::timeRuleReason(const CacheItem& item, Date now) {
  return InUseRules::timeRuleReason(item, now);
}

InUseDetector::OpenPaths InUseDetector::openPathPrefixes(const std::vector<std::string>& roots,
                                                         const ProcessSource& source,
                                                         const ProcessRunner::Runner& runner,
                                                         std::stop_token stop) {
  std::set<std::string> canonicalRoots;
  for (const std::string& root : roots) {
    std::string path = canonical(root);
    if (path.size() >= 2) canonicalRoots.insert(std::move(path));
  }
  if (canonicalRoots.empty()) return std::map<std::string, std::int32_t>{};

  OpenFiles open = source.openFiles(canonicalRoots, runner, std::move(stop));
  if (open.failure) return CaptureFailure{*open.failure};
  // This program's own files and folder walks never make an item busy, nor those of the
  // commands it runs.
  const std::set<std::int32_t> own = ProcessSnapshot::ownFamily(open.parents);
  std::erase_if(open.files, [&own](const OpenFileRecord& file) { return own.contains(file.pid); });
  return foldOpenFiles(open.files, canonicalRoots);
}

std::map<std::string, std::int32_t> InUseDetector::parseOpenFiles(
    std::string_view text, const std::set<std::string>& roots) {
  return foldOpenFiles(CommandProcessSource::parseOpenFileRecords(text), roots);
}

std::map<std::string, std::int32_t> InUseDetector::foldOpenFiles(
    const std::vector<OpenFileRecord>& files, const std::set<std::string>& roots) {
  std::map<std::string, std::int32_t> owners;
  PathOverlapSet rootSet;
  for (const std::string& root : roots) rootSet.insert(root);
  for (const OpenFileRecord& file : files) {
    std::string path = canonical(file.path);
    if (!rootSet.holds(path)) continue;
    // Stops at the first folder already named: everything above it is named too.
    while (path.size() > 1 && owners.emplace(path, file.pid).second) path = parentPath(path);
  }
  return owners;
}

std::string InUseDetector::canonical(std::string_view path) {
  return FileIdentity::normalizedPath(path);
}

std::vector<std::string> InUseDetector::whereTheyLead(const std::vector<std::string>& paths) {
  // The folders many paths share are resolved once. A path that is itself a link is left as
  // named: removing it removes the link, never what it leads to.
  std::vector<std::string> resolved = FileIdentity::identityPaths(paths);
  for (std::string& path : resolved) path = canonical(path);
  return resolved;
}

std::vector<std::string> InUseDetector::withWhereTheyLead(const std::vector<std::string>& roots) {
  // The kernel names open files by where they really are, never through a link: a root that
  // leads elsewhere (itself a link, or below one) is looked in there as well. There is a root
  // for every project folder with a build folder, thousands in a large home, so the folders
  // they share are resolved once; only a root that is itself a link is followed on its own.
  std::vector<std::string> all = roots;
  const std::vector<std::string> throughFolders = FileIdentity::identityPaths(roots);
  for (std::size_t i = 0; i < roots.size(); ++i) {
    std::string resolved = FileIdentity::isSymbolicLink(roots[i])
                               ? canonical(FileIdentity::resolvingSymlinks(roots[i]))
                               : canonical(throughFolders[i]);
    if (resolved != canonical(roots[i])) all.push_back(std::move(resolved));
  }
  return all;
}

std::string InUseDetector::claudeProjectFolderName(std::string_view path) {
  return WorktreeInUseRules::claudeProjectFolderName(path);
}

}  // namespace hl
