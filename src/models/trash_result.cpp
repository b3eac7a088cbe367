#include "models/trash_result.h"

#include "utilities/byte_formatting.h"

namespace hl {

std::string TrashResult::summary() const {
  const std::size_t count = succeeded.size();
  std::string text = isPermanent(mode) ? "Deleted " : "Cleaned ";
  text += std::to_string(count);
  text += count == 1 ? " item (" : " items (";
  text += ByteFormatting::string(bytesFreed < 0 ? 0 : bytesFreed);
  text += ").";
  if (!failed.empty()) text += " " + std::to_string(failed.size()) + " failed.";
  return text;
}

}  // namespace hl
