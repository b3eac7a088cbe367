#include "viewmodels/settings_store.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "platform/settings_file.h"
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

// The settings file keeps text: a value read back from disk is a string (or a list of strings
// for a comma-separated value), while a value written earlier in this process keeps its type.
// Both forms are accepted, nothing else.

std::optional<bool> storedBool(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  if (value.typeId() == QMetaType::QString) {
    return SettingsFile::parseBool(value.toString().toStdString());
  }
  return std::nullopt;
}

std::optional<double> storedNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
      const double number = value.toDouble();
      if (std::isfinite(number)) return number;
      return std::nullopt;
    }
    case QMetaType::QString: return SettingsFile::parseNumber(value.toString().toStdString());
    default: return std::nullopt;
  }
}

// In this format a one-element list is written as plain text, so a plain text is a list of
// one; an empty text is no path at all and reads as the empty list.
std::vector<std::string> storedList(const QVariant& value) {
  std::vector<std::string> list;
  switch (value.typeId()) {
    case QMetaType::QStringList:
      for (const QString& text : value.toStringList()) list.push_back(text.toStdString());
      return list;
    case QMetaType::QVariantList:
      for (const QVariant& element : value.toList()) {
        if (element.typeId() != QMetaType::QString) return {};
        list.push_back(element.toString().toStdString());
      }
      return list;
    case QMetaType::QString:
      if (!value.toString().isEmpty()) list.push_back(value.toString().toStdString());
      return list;
    default: return {};
  }
}

bool readBool(QSettings& defaults, const char* key, bool fallback) {
  return storedBool(defaults.value(QString::fromLatin1(key))).value_or(fallback);
}

template <typename T>
bool assign(T& field, T value) {
  const bool changed = !(field == value);
  field = std::move(value);
  return changed;
}

}  // namespace

std::unique_ptr<QSettings> SettingsStore::standardDefaults() {
  return std::make_unique<QSettings>(
      QString::fromUtf8(SettingsFile::organization.data(),
                        static_cast<qsizetype>(SettingsFile::organization.size())),
      QString::fromUtf8(SettingsFile::application.data(),
                        static_cast<qsizetype>(SettingsFile::application.size())));
}

SettingsStore::SettingsStore(std::unique_ptr<QSettings> defaults, QObject* parent)
    : QObject(parent), defaults_(std::move(defaults)) {
  QSettings& d = *defaults_;
  const double width =
      storedNumber(d.value(QString::fromLatin1(kSidebarWidth))).value_or(kDefaultSidebarWidth);
  sidebarWidth_ = width <= kMinimumSidebarWidth   ? kMinimumSidebarWidth
                  : width > kMaximumSidebarWidth ? kMaximumSidebarWidth
                                                  : width;
  extraPaths_ = storedList(d.value(QString::fromLatin1(kExtraPaths)));
  excludedPaths_ = storedList(d.value(QString::fromLatin1(kExcludedPaths)));
  pruneWorktreesAfterTrash_ = readBool(d, kPruneWorktrees, true);
  showInMenuBar_ = readBool(d, kShowInMenuBar, true);
  quickCleanIncludesModerate_ = readBool(d, kQuickCleanModerate, false);
  deleteImmediately_ = readBool(d, kDeleteImmediately, false);
  checkForUpdatesAutomatically_ = readBool(d, kCheckForUpdates, true);
}

bool SettingsStore::storedCheckForUpdatesAutomatically(QSettings& defaults) {
  return readBool(defaults, kCheckForUpdates, true);
}

void SettingsStore::writeBool(const char* key, bool value) {
  defaults_->setValue(QString::fromLatin1(key), value);
  defaults_->sync();
}

void SettingsStore::writeNumber(const char* key, double value) {
  defaults_->setValue(QString::fromLatin1(key), value);
  defaults_->sync();
}

void SettingsStore::writeList(const char* key, const std::vector<std::string>& list) {
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(list.size()));
  for (const std::string& text : list) texts.append(QString::fromStdString(text));
  defaults_->setValue(QString::fromLatin1(key), texts);
  defaults_->sync();
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
