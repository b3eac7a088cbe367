#include "views/home/home_texts.h"

#include "utilities/byte_formatting.h"

namespace hl::HomeTexts {

namespace {

std::string text(std::string_view value) { return std::string(value); }

std::string plural(std::size_t count, const char* singular) {
  return std::to_string(count) + " " + singular + (count == 1 ? "" : "s");
}

}  // namespace

HeaderLayout headerLayout(double width, ContentState state, HomeTab tab) {
  return {width >= wideWidth, width >= mediumWidth,
          tab == HomeTab::items && state != ContentState::scanning};
}

std::string title(ContentState state, std::optional<CacheGroup> selected,
                  std::optional<CacheGroup> scanning) {
  if (state != ContentState::scanning) {
    return selected ? text(displayName(*selected)) : "All reclaimable";
  }
  std::string scope = "caches";
  if (selected) {
    scope = text(displayName(*selected));
  } else if (scanning) {
    scope = text(displayName(*scanning));
  }
  return "Scanning " + scope + "\u2026";
}

std::string headingSizeText(ContentState state, std::int64_t scopeTotal,
                            const std::string& headingSize) {
  if (state == ContentState::scanning) return ByteFormatting::string(scopeTotal) + " so far";
  return headingSize;
}

std::string headingSize(std::int64_t size, bool approximate) {
  return ByteFormatting::string(size, approximate);
}

std::string subtitle(bool medium, const std::string& headingSizeText,
                     std::optional<CacheGroup> selected, ContentState state) {
  std::string line = medium ? "" : headingSizeText + " \u00b7 ";
  if (selected) return line + text(summary(*selected));
  return line + (state == ContentState::scanning
                     ? "Rows appear as they are measured."
                     : "Everything found on this computer, largest first.");
}

std::string countLine(std::size_t count) { return plural(count, "item") + " selected"; }

std::string sizeLine(std::int64_t size, bool permanent) {
  return ByteFormatting::string(size) + " \u00b7 " +
         (permanent ? "items are deleted permanently" : "items go to the Trash");
}

std::string removalButtonTitle(bool readOnly, bool permanent) {
  if (readOnly) return "Read-only mode";
  return text(actionTitle(permanent ? RemovalMode::deletePermanently : RemovalMode::trash));
}

std::string removalButtonSymbol(bool readOnly) { return readOnly ? "lock.fill" : "trash"; }

bool removalButtonEnabled(std::size_t count, bool removalBusy, bool readOnly) {
  return count >= 1 && !removalBusy && !readOnly;
}

std::string allReclaimableDetail(bool isScanning, std::int64_t totalFound) {
  const std::string found = CleanerViewModel::approximate(totalFound);
  if (isScanning) return "Scanning\u2026 " + found + " so far";
  return found + " found \u00b7 click to select safe items";
}

std::string groupRowLabel(CacheGroup group, const std::string& sizeText) {
  return text(displayName(group)) + ", " + sizeText;
}

std::string detailSize(const std::optional<std::int64_t>& size) {
  return size ? ByteFormatting::string(*size) : "\u2014";
}

std::string toolDialogTitle(const std::optional<NativeAction>& action) {
  return action ? action->title() : "";
}

std::string toolRunTitle(const std::optional<NativeAction>& action) {
  return "Run " + (action ? action->commandLine() : std::string());
}

std::string toolMessage(const std::optional<NativeAction>& action) {
  return (action ? text(action->explanation()) : std::string()) +
         " The tool deletes files itself; they do not go to the Trash. Output appears on the "
         "Activity page.";
}

}  // namespace hl::HomeTexts
