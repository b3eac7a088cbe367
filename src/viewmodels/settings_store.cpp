#include "viewmodels/settings_store.h"

#include <algorithm>

#include "platform/settings_file.h"
#include "utilities/path_canonical.h"
#include "viewmodels/updater_box.h"

namespace hl {
namespace {

constexpr const char* kExtraPaths = "extraPaths";
constexpr const char* kExcludedPaths = "excludedPaths";
constexpr const char* kPruneWorktrees = "pruneWorktreesAfterTrash";
constexpr const char* kShowInMenuBar = "showInMenuBar";
constexpr const char* kQuickCleanModerate = "quickCleanIncludesModerate";
constexpr const char* kDeleteImmediately = "deleteImmediately";
constexpr const char* kCheckForUpdates = "checkForUpdatesAutomatically";
constexpr const char* kSidebarWidth = "sidebarWidth";

constexpr double kDefaultSidebarWidth = 240;
constexpr double kMinimumSidebarWidth = 220;
constexpr double kMaximumSidebarWidth = 300;

constexpr const char* kWindowFrame = "Main";

template <typename T>
bool assign(T& field, T value) {
  const bool changed = !(field == value);
  field = std::move(value);
  return changed;
}

}  // namespace

SettingsFile::Location SettingsStore::standardDefaults() { return SettingsFile::standardLocation(); }

SettingsStore::SettingsStore(SettingsFile::Location location, QObject* parent, WallClock clock)
    : QObject(parent), path_(location.path), clock_(std::move(clock)) {
  const IniDocument document = SettingsFile::readAll(location).document();
  const double width =
      SettingsFile::numberValue(document, kSidebarWidth).value_or(kDefaultSidebarWidth);
  sidebarWidth_ = width <= kMinimumSidebarWidth   ? kMinimumSidebarWidth
                  : width > kMaximumSidebarWidth ? kMaximumSidebarWidth
                                                  : width;
  extraPaths_ = SettingsFile::listValue(document, kExtraPaths);
  excludedPaths_ = SettingsFile::listValue(document, kExcludedPaths);
  const auto readBool = [&](const char* key, bool fallback) {
    return SettingsFile::boolValue(document, key).value_or(fallback);
  };
  pruneWorktreesAfterTrash_ = readBool(kPruneWorktrees, true);
  showInMenuBar_ = readBool(kShowInMenuBar, true);
  quickCleanIncludesModerate_ = readBool(kQuickCleanModerate, false);
  deleteImmediately_ = readBool(kDeleteImmediately, false);
  checkForUpdatesAutomatically_ = readBool(kCheckForUpdates, true);
  if (const auto frame = SettingsFile::bytesValue(document, kWindowFrame)) {
    windowFrame_ = QByteArray(frame->data(), static_cast<qsizetype>(frame->size()));
  }
}

bool SettingsStore::storedCheckForUpdatesAutomatically(const SettingsFile::Location& location) {
  return SettingsFile::boolValue(SettingsFile::readAll(location).document(), kCheckForUpdates)
      .value_or(true);
}

void SettingsStore::write(const char* key, std::string encoded) {
  unsaved_[key] = std::move(encoded);
  const SettingsFile::WriteOutcome outcome = SettingsFile::write(path_, unsaved_, clock_());
  if (outcome.keptCopy) {
    emit errorOccurred("Settings file was damaged; kept its bytes as " +
                       lastPathComponent(*outcome.keptCopy) + " and rewrote it");
  }
  if (outcome.failure) {
    emit errorOccurred("Could not save settings: " + *outcome.failure);
    return;
  }
  unsaved_.clear();
}

void SettingsStore::writeBool(const char* key, bool value) {
  write(key, IniDocument::encodeText(value ? "true" : "false"));
}

void SettingsStore::writeNumber(const char* key, double value) {
  write(key, IniDocument::encodeText(SettingsFile::formatNumber(value)));
}

void SettingsStore::writeList(const char* key, const std::vector<std::string>& list) {
  write(key, IniDocument::encodeList(list));
}

void SettingsStore::setWindowFrame(const QByteArray& frame) {
  windowFrame_ = frame;
  write(kWindowFrame, IniDocument::encodeBytes(std::string_view(
                          frame.constData(), static_cast<std::size_t>(frame.size()))));
}

void SettingsStore::setExtraPaths(std::vector<std::string> paths) {
  const bool changed = assign(extraPaths_, std::move(paths));
  writeList(kExtraPaths, extraPaths_);
  if (changed) emit extraPathsChanged();
}

void SettingsStore::setExcludedPaths(std::vector<std::string> paths) {
  const bool changed = assign(excludedPaths_, std::move(paths));
  writeList(kExcludedPaths, excludedPaths_);
  if (changed) emit excludedPathsChanged();
}

void SettingsStore::setPruneWorktreesAfterTrash(bool value) {
  const bool changed = assign(pruneWorktreesAfterTrash_, value);
  writeBool(kPruneWorktrees, value);
  if (changed) emit pruneWorktreesAfterTrashChanged();
}

void SettingsStore::setShowInMenuBar(bool value) {
  const bool changed = assign(showInMenuBar_, value);
  writeBool(kShowInMenuBar, value);
  if (changed) emit showInMenuBarChanged();
}

void SettingsStore::setQuickCleanIncludesModerate(bool value) {
  const bool changed = assign(quickCleanIncludesModerate_, value);
  writeBool(kQuickCleanModerate, value);
  if (changed) emit quickCleanIncludesModerateChanged();
}

void SettingsStore::setDeleteImmediately(bool value) {
  const bool changed = assign(deleteImmediately_, value);
  writeBool(kDeleteImmediately, value);
  if (changed) emit deleteImmediatelyChanged();
}

void SettingsStore::setCheckForUpdatesAutomatically(bool value) {
  const bool changed = assign(checkForUpdatesAutomatically_, value);
  writeBool(kCheckForUpdates, value);
  if (auto updater = Updater::box().current()) updater->setAutomaticallyChecksForUpdates(value);
  if (changed) emit checkForUpdatesAutomaticallyChanged();
}

void SettingsStore::setSidebarWidth(double width) {
  const bool changed = assign(sidebarWidth_, width);
  writeNumber(kSidebarWidth, width);
  if (changed) emit sidebarWidthChanged();
}

RemovalMode SettingsStore::removalMode() const {
  return deleteImmediately_ ? RemovalMode::deletePermanently : RemovalMode::trash;
}

ExclusionList SettingsStore::exclusions() const {
  return ExclusionList{excludedPaths_};
}

void SettingsStore::addExtraPath(const std::string& path) {
  if (std::find(extraPaths_.begin(), extraPaths_.end(), path) != extraPaths_.end()) return;
  extraPaths_.push_back(path);
  writeList(kExtraPaths, extraPaths_);
  emit extraPathsChanged();
}

void SettingsStore::removeExtraPath(const std::string& path) {
  std::erase(extraPaths_, path);
  writeList(kExtraPaths, extraPaths_);
  emit extraPathsChanged();
}

void SettingsStore::exclude(const std::set<std::string>& paths) {
  std::vector<std::string> list = excludedPaths_;
  for (const std::string& path : paths) {
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
  }
  std::sort(list.begin(), list.end());
  setExcludedPaths(std::move(list));
}

void SettingsStore::include(const std::string& path) {
  std::erase(excludedPaths_, path);
  writeList(kExcludedPaths, excludedPaths_);
  emit excludedPathsChanged();
}

}  // namespace hl
