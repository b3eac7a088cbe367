#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "models/file_node.h"
#include "models/removal_mode.h"
#include "views/home/table_interactions.h"
#include "views/shared/confirm_trash_sheet.h"

namespace hl {

// The words and figures of the folder scanner page, from plain facts so that each rule is
// tested without building the page. Counts called grouped use the locale's separators.
namespace ScannerTexts {

// "12,345" in the locale's integer format.
QString grouped(std::int64_t count);

// The Folder section's totals: "≈ 1.2 GB · 12,345 files".
QString folderTotals(std::int64_t size, std::int64_t fileCount, bool approximate);

// The Progress section's line and the scanning state's description: "12,345 items · ≈ 1.2 GB".
QString progressLine(std::int64_t itemsVisited, std::int64_t bytesScanned, bool approximate);

// The Selection section's line, the count in plain digits: "3 items · 1.2 GB".
QString selectionLine(std::size_t count, std::int64_t size);

// The Selection section's button: "Read-only mode", "Delete Selected Immediately…" or
// "Move Selected to Trash…".
QString selectionButtonTitle(bool readOnly, bool deletesImmediately);
// Off while no selected id names a row that still exists, while a removal runs and in
// read-only mode.
bool selectionButtonEnabled(std::size_t existingRows, bool isTrashing, bool readOnly);

// The empty state's description: why the last scan failed, else what the page does.
QString emptyDescription(const std::optional<std::string>& errorMessage);

// The header's size: the root's size, "≈ " first when approximate.
QString headerSize(std::int64_t size, bool approximate);

// The help of the header's "Select All".
QString selectAllHelp();

// The row menu for `idCount` ids: reveal, copy ("Copy Path", "Copy Paths" for any other count),
// a divider, and the removal entry titled by the mode, which is disabled in read-only mode and
// while a removal runs (a second one would be refused).
std::vector<TableInteractions::MenuEntry> menu(std::size_t idCount, bool isReadOnly,
                                               bool isTrashing, RemovalMode removalMode);

// The sheet's warning for `refused` selected nodes the plan leaves out; none for 0.
std::vector<std::string> lockedWarnings(int refused);

// What the sheet shows for a pending plan; the caller adds the two actions.
ConfirmTrashSheet::Contents sheetContents(const std::vector<FileNode>& plan, RemovalMode mode,
                                          int refusedCount, bool isReadOnly,
                                          const std::string& home);

// The sheet's identity for a plan: the node ids joined with "|" in plan order. A plan with
// other nodes is another sheet.
std::string planKey(const std::vector<FileNode>& plan);

// At most `limit` ids of the selection, in its order: what a selection change previews.
std::vector<std::string> previewIDs(const std::set<std::string>& selection,
                                    std::size_t limit = 50);

}  // namespace ScannerTexts

}  // namespace hl
