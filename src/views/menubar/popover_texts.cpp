#include "views/menubar/popover_texts.h"

#include "utilities/byte_formatting.h"

namespace hl::PopoverTexts {

namespace {

std::string itemCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

}  // namespace

std::string freeSpace(std::int64_t availableCapacity) {
  return ByteFormatting::string(availableCapacity) + " free";
}

std::string noCandidates(bool isScanning) {
  return isScanning ? "Measuring…" : "Nothing safe to clean right now.";
}

std::optional<std::string> skippedLine(int inUseSkippedCount) {
  if (inUseSkippedCount < 1) return std::nullopt;
  return itemCount(static_cast<std::size_t>(inUseSkippedCount)) +
         " skipped: in use or owning app running";
}

std::string policyLine(bool includesModerate) {
  return includesModerate
             ? "Safe and moderate items, skipping anything modified in the last 7 days or in use."
             : "Safe items only, skipping anything modified in the last 7 days or in use.";
}

IdleButton idleButton(const IdleFacts& facts) {
  IdleButton button;
  button.enabled = facts.hasCandidates && !facts.isScanning && !facts.removalBusy &&
                   !facts.unverifiableReason && !facts.isReadOnly;
  if (facts.isReadOnly) {
    button.label = "Read-only mode";
    button.symbol = "lock.fill";
  } else if (facts.isScanning) {
    button.label = "Scanning…";
    button.spinner = true;
  } else if (facts.unverifiableReason) {
    button.label = "Can't verify — disabled";
    button.symbol = "lock.fill";
  } else if (!facts.hasCandidates) {
    button.label = "Nothing safe to clean";
  } else {
    button.label = "Quick Clean (" + ByteFormatting::string(facts.candidatesSize) + ")";
    button.symbol = "trash";
  }
  return button;
}

std::optional<std::string> unverifiableLine(const std::optional<std::string>& reason) {
  if (!reason) return std::nullopt;
  return "Cannot verify in-use state (" + *reason + "). Quick Clean is disabled.";
}

std::string confirmLabel(std::int64_t size, bool permanent) {
  const std::string bytes = ByteFormatting::string(size);
  return permanent ? "Confirm — delete " + bytes + " permanently"
                   : "Confirm — move " + bytes + " to Trash";
}

std::string confirmCaption(std::size_t count, int skippedForProcesses) {
  std::string caption = itemCount(count);
  if (skippedForProcesses >= 1) {
    caption += " · " + std::to_string(skippedForProcesses) + " skipped (in use or app running)";
  }
  return caption + " · cancels in 5 s";
}

bool canConfirm(std::size_t count, bool isReadOnly, bool removalBusy) {
  return count > 0 && !isReadOnly && !removalBusy;
}

std::optional<std::string> progressLine(RemovalMode mode, int done, int total) {
  if (total == 0) return std::nullopt;
  return std::string(progressTitle(mode)) + "… " + std::to_string(done) + " of " +
         std::to_string(total);
}

bool canRescan(bool isScanning, bool isTrashing) { return !isScanning && !isTrashing; }

std::string versionText(std::string_view shortVersion) {
  return "Version " + (shortVersion.empty() ? std::string("?") : std::string(shortVersion));
}

}  // namespace hl::PopoverTexts
