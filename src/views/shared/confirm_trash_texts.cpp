#include "views/shared/confirm_trash_texts.h"

#include "utilities/byte_formatting.h"

namespace hl::ConfirmTrashTexts {

namespace {

std::string items(std::size_t count) {
  return std::to_string(count) + " item" + (count == 1 ? "" : "s");
}

}  // namespace

std::string title(std::size_t count, bool permanent) {
  if (permanent) return "Delete " + items(count) + " permanently?";
  return "Move " + items(count) + " to the Trash?";
}

std::string summaryLine(std::size_t rows, std::int64_t totalSize, bool approximate) {
  return items(rows) + " \u00b7 " + ByteFormatting::string(totalSize, approximate);
}

std::string rowSize(const std::optional<std::int64_t>& size) {
  return size ? ByteFormatting::string(*size) : "\u2014";
}

bool isApproximate(const std::vector<std::optional<std::int64_t>>& sizes) {
  for (const auto& size : sizes) {
    if (!size) return true;
  }
  return false;
}

std::string confirmLabel(std::size_t rows, bool readOnly, bool permanent) {
  if (readOnly) return "Read-only mode";
  if (permanent) return "Delete " + items(rows);
  return "Move " + items(rows) + " to Trash";
}

std::string confirmSymbol(bool readOnly) { return readOnly ? "lock.fill" : "trash"; }

std::string modeLine(bool permanent) {
  if (permanent) {
    return "Items are deleted immediately and cannot be recovered. Turn off \u201cDelete "
           "immediately\u201d in Settings to use the Trash instead.";
  }
  return "Items are moved to the Trash, not deleted. Disk space is reclaimed when you empty the "
         "Trash.";
}

std::string modeSymbol(bool permanent) {
  return permanent ? "exclamationmark.triangle.fill" : "arrow.uturn.backward.circle";
}

}  // namespace hl::ConfirmTrashTexts
