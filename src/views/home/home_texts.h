#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "models/cache_group.h"
#include "models/native_action.h"
#include "models/risk_level.h"
#include "viewmodels/cleaner/cleaner_view_model.h"

namespace hl {

// The Home page's words and the choices behind them, from plain facts: the header, the summary
// card, the sidebar card, the group details and the modal surfaces.
namespace HomeTexts {

using ContentState = CleanerViewModel::ContentState;

// --- Header ----------------------------------------------------------------------------------

// What the header shows at a width, in a state, on a tab.
struct HeaderLayout {
  // The selection controls at the end of the title row (else on a row of their own).
  bool wide = false;
  // The size beside the title (else at the start of the subtitle).
  bool medium = false;
  bool showActions = false;
};
HeaderLayout headerLayout(double width, ContentState state, HomeTab tab);
inline constexpr double wideWidth = 820;
inline constexpr double mediumWidth = 760;

// "All reclaimable", the group's name, or "Scanning …" while scanning.
std::string title(ContentState state, std::optional<CacheGroup> selected,
                  std::optional<CacheGroup> scanning);
// The scope's total "so far" while scanning, else `headingSize`.
std::string headingSizeText(ContentState state, std::int64_t scopeTotal,
                            const std::string& headingSize);
// The selected group's total (all groups: what is selectable), "≈ " when some item of the scope
// is approximate.
std::string headingSize(std::int64_t size, bool approximate);
// The line under the title: the size first when it is not beside the title, then what the
// scope holds.
std::string subtitle(bool medium, const std::string& headingSizeText,
                     std::optional<CacheGroup> selected, ContentState state);

inline constexpr const char* viewPickerLabel = "View";
inline constexpr const char* projectsPickerLabel = "Projects";
inline constexpr const char* projectsPickerHelp =
    "Stale: projects untouched for 60+ days, ranked by staleness \u00d7 size. All: every project.";
// The Projects group under "Stale" when it holds projects but none is stale.
inline constexpr const char* noStaleProjectsTitle = "No stale projects";
inline constexpr const char* noStaleProjectsMessage =
    "Every project here was touched in the last 60 days. Choose \u201cAll\u201d to list them.";
inline constexpr const char* selectSafeTitle = "Select all safe";
inline constexpr const char* selectSafeHelp =
    "Ticks safe items not modified in the last 7 days. Moderate items are opt-in; review items "
    "cannot be selected.";
inline constexpr const char* deselectTitle = "Deselect";

// --- Selection summary card ---------------------------------------------------------------------

// "3 items selected".
std::string countLine(std::size_t count);
// "1.2 GB · items go to the Trash" or "… · items are deleted permanently".
std::string sizeLine(std::int64_t size, bool permanent);
// "Read-only mode", "Delete Immediately" or "Move to Trash", and its symbol.
std::string removalButtonTitle(bool readOnly, bool permanent);
std::string removalButtonSymbol(bool readOnly);
// Off while nothing is ticked, in read-only mode, and while the cleaner would refuse a new
// removal (`CleanerViewModel::isRemovalBusy`).
bool removalButtonEnabled(std::size_t count, bool removalBusy, bool readOnly);

// --- Sidebar -----------------------------------------------------------------------------------

inline constexpr const char* sidebarTitle = "Caches";
inline constexpr const char* allReclaimableTitle = "All reclaimable";
inline constexpr const char* allReclaimableHelp =
    "Show all groups and tick every safe item that was not modified in the last 7 days";
// Under the card's headline: what was found so far, or what was found and what a click does.
std::string allReclaimableDetail(bool isScanning, std::int64_t totalFound);
// A group row's accessible name: the group's name and its size text.
std::string groupRowLabel(CacheGroup group, const std::string& sizeText);

// --- Group and item details -------------------------------------------------------------------

inline constexpr const char* allReclaimableParagraph =
    "\u201cAll reclaimable\u201d lists everything Harbor Lume found, largest first. The size in "
    "the heading is what can be selected; review, report-only and in-use items are listed but "
    "never selectable. Sizes are allocated size: reflinked copies and hard links may free less "
    "than shown.";
// The item's size, or "—" while it is not measured.
std::string detailSize(const std::optional<std::int64_t>& size);

// --- Modal surfaces -----------------------------------------------------------------------------

// The tool's confirmation: its title, its run button and its message; empty parts without an
// action.
std::string toolDialogTitle(const std::optional<NativeAction>& action);
std::string toolRunTitle(const std::optional<NativeAction>& action);
std::string toolMessage(const std::optional<NativeAction>& action);

}  // namespace HomeTexts

}  // namespace hl
