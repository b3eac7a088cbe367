#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hl {

// The words of the removal confirmation sheet, shared by every page that asks before removing.
namespace ConfirmTrashTexts {

// "Move 2 items to the Trash?" or "Delete 1 item permanently?".
std::string title(std::size_t count, bool permanent);

// Under the title: the number of rows and the total, "≈ " before the total when `approximate`.
std::string summaryLine(std::size_t rows, std::int64_t totalSize, bool approximate);

// A row's size: "—" while it is not measured.
std::string rowSize(const std::optional<std::int64_t>& size);

// The total is approximate when any row is not measured: it then counts only measured sizes.
bool isApproximate(const std::vector<std::optional<std::int64_t>>& sizes);

// The confirm button: "Read-only mode", "Delete 3 items" or "Move 3 items to Trash", and its
// symbol.
std::string confirmLabel(std::size_t rows, bool readOnly, bool permanent);
std::string confirmSymbol(bool readOnly);

// The line that says where the items go, and its symbol.
std::string modeLine(bool permanent);
std::string modeSymbol(bool permanent);

}  // namespace ConfirmTrashTexts

}  // namespace hl
