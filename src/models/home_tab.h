#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace hl {

// The Home page's tabs, in display order; the raw value is the tab's title.
enum class HomeTab { items, details, excluded };

inline constexpr std::array<HomeTab, 3> allHomeTabs = {HomeTab::items, HomeTab::details,
                                                       HomeTab::excluded};

constexpr std::string_view rawValue(HomeTab tab) {
  switch (tab) {
    case HomeTab::items: return "Items";
    case HomeTab::details: return "Details";
    case HomeTab::excluded: return "Excluded";
  }
  return {};
}

constexpr std::optional<HomeTab> homeTabFromRaw(std::string_view raw) {
  for (HomeTab tab : allHomeTabs) {
    if (rawValue(tab) == raw) return tab;
  }
  return std::nullopt;
}

}  // namespace hl
