#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "models/removal_mode.h"

namespace hl {

// The tray popover's texts and the decisions behind its labels and enabled states, from plain
// facts of the models, so they can be checked without a widget.
namespace PopoverTexts {

inline constexpr std::string_view title = "Harbor Lume";
inline constexpr std::string_view openWindowToolTip = "Open the Harbor Lume window";
inline constexpr std::string_view open = "Open";
inline constexpr std::string_view candidatesTitle = "Safe to clean now";
inline constexpr std::string_view preparing = "Checking running apps…";
inline constexpr std::string_view checkingInUse = "Checking that nothing is in use…";
inline constexpr std::string_view ok = "OK";
inline constexpr std::string_view rescan = "Rescan";
inline constexpr std::string_view quit = "Quit";
inline constexpr std::string_view checkForUpdates = "Check for Updates";

// "12.3 GB free".
std::string freeSpace(std::int64_t availableCapacity);

// The line shown while no group has anything to clean.
std::string noCandidates(bool isScanning);
// "1 item skipped: in use or owning app running"; none below 1.
std::optional<std::string> skippedLine(int inUseSkippedCount);
std::string policyLine(bool includesModerate);

// What the first-step Quick Clean button shows and whether it can be pressed.
struct IdleFacts {
  bool hasCandidates = false;
  std::int64_t candidatesSize = 0;
  bool isScanning = false;
  // The cleaner would refuse a new removal (`CleanerViewModel::isRemovalBusy`).
  bool removalBusy = false;
  // The reason while the in-use state cannot be verified.
  std::optional<std::string> unverifiableReason;
  bool isReadOnly = false;
};
struct IdleButton {
  bool enabled = false;
  std::string label;
  // None: the label stands alone.
  std::optional<std::string> symbol;
  // A spinner stands before the label.
  bool spinner = false;
  bool operator==(const IdleButton&) const = default;
};
IdleButton idleButton(const IdleFacts& facts);
// The red line under the idle button while the in-use state cannot be verified.
std::optional<std::string> unverifiableLine(const std::optional<std::string>& reason);

// The second-step button's label.
std::string confirmLabel(std::int64_t size, bool permanent);
// The line under it: "2 items · 1 skipped (in use or app running) · cancels in 5 s".
std::string confirmCaption(std::size_t count, int skippedForProcesses);
// Whether the second step may be confirmed at all (the button also waits to be armed).
bool canConfirm(std::size_t count, bool isReadOnly, bool removalBusy);

// "Moving to Trash… 3 of 10" once the removal reports a total; none before.
std::optional<std::string> progressLine(RemovalMode mode, int done, int total);

// Rescan waits while a scan or a removal runs.
bool canRescan(bool isScanning, bool isTrashing);
// "Version 2.1"; "Version ?" when the build has no version text.
std::string versionText(std::string_view shortVersion);

}  // namespace PopoverTexts

}  // namespace hl
