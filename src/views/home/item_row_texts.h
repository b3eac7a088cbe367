#pragma once

#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <cstdint>
#include <optional>
#include <string>

#include "models/cache_item.h"

namespace hl {

// What one row of the items table shows, decided from the item and plain facts of the table.
namespace ItemRowTexts {

// The header's column titles and the select-all box's texts.
inline constexpr const char* nameTitle = "Name";
inline constexpr const char* statusTitle = "Status";
inline constexpr const char* sizeTitle = "Size";
inline constexpr const char* modifiedTitle = "Modified";
inline constexpr const char* selectAllLabel = "Select all";
// The shortcut in this desktop's words (Ctrl+A).
inline constexpr const char* selectAllHelp =
    "Select or deselect every selectable row (Ctrl+A). Review, report-only and in-use rows are "
    "never selected.";

// What the row's leading cell holds.
struct LeadingCell {
  enum class Kind { checkbox, reviewButton, chartSymbol, lockSymbol };
  Kind kind;
  // The checkbox's accessible label, the button's help, or the symbol's help (the state chip's).
  std::string text;
  // The symbol drawn, none for the checkbox.
  std::optional<std::string> symbol;
};
LeadingCell leadingCell(const CacheItem& item, std::string_view home);

// The newest modification found inside, else the item's own date.
std::optional<Date> modifiedDate(const CacheItem& item);

// The line under the name: the subtitle, the group's name while no group is selected, and the
// date (month and day) while the Modified column is hidden; joined by " · ".
QString subtitle(const CacheItem& item, bool groupSelected, bool showModified,
                 const QLocale& locale = QLocale(), const QTimeZone& zone = QTimeZone::systemTimeZone());

// The Modified column: day, abbreviated month and year; empty without a date.
QString modifiedText(const CacheItem& item, const QLocale& locale = QLocale(),
                     const QTimeZone& zone = QTimeZone::systemTimeZone());

// The name's help: the subtitle of a virtual row, the canonical path of a folder.
std::string nameHelp(const CacheItem& item);

// What the Size cell shows.
struct SizeCell {
  enum class Kind { noAccess, spinner, dash, text };
  Kind kind;
  // "No access", "—" or the size; empty for the spinner.
  std::string text;
  // Drawn in the secondary colour.
  bool secondary = false;
};
SizeCell sizeCell(const CacheItem& item, bool needsFullDiskAccess);

// The size bar's share: the known size over the largest visible size.
double sizeFraction(const CacheItem& item, std::int64_t largest);

// A Trash row while Full Disk Access is missing shows the compact hint instead of its chips.
bool showsAccessHint(const CacheItem& item, bool needsFullDiskAccess);

}  // namespace ItemRowTexts

}  // namespace hl
