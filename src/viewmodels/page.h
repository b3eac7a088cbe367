#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace hl {

// The window's pages, in the order the rail and the menu list them. The raw value is the
// page's identity.
enum class Page { home, search, activity, history, settings };

inline constexpr std::array<Page, 5> allPages = {Page::home, Page::search, Page::activity,
                                                 Page::history, Page::settings};

constexpr std::string_view rawValue(Page page) {
  switch (page) {
    case Page::home: return "home";
    case Page::search: return "search";
    case Page::activity: return "activity";
    case Page::history: return "history";
    case Page::settings: return "settings";
  }
  return {};
}

// No page for any other text.
constexpr std::optional<Page> pageFromRaw(std::string_view raw) {
  for (Page page : allPages) {
    if (rawValue(page) == raw) return page;
  }
  return std::nullopt;
}

constexpr std::string_view id(Page page) { return rawValue(page); }

constexpr std::string_view title(Page page) {
  switch (page) {
    case Page::home: return "Home";
    case Page::search: return "Folder Scanner";
    case Page::activity: return "Activity";
    case Page::history: return "History";
    case Page::settings: return "Settings";
  }
  return {};
}

// The name of the page's symbol.
constexpr std::string_view systemImage(Page page) {
  switch (page) {
    case Page::home: return "house";
    case Page::search: return "magnifyingglass";
    case Page::activity: return "bell";
    case Page::history: return "doc.text";
    case Page::settings: return "gearshape";
  }
  return {};
}

// The Settings page's sections, in display order. The raw value is the section's title and
// identity.
enum class SettingsSection { general, customPaths, excluded };

inline constexpr std::array<SettingsSection, 3> allSettingsSections = {
    SettingsSection::general, SettingsSection::customPaths, SettingsSection::excluded};

constexpr std::string_view rawValue(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "General";
    case SettingsSection::customPaths: return "Custom paths";
    case SettingsSection::excluded: return "Excluded paths";
  }
  return {};
}

// No section for any other text.
constexpr std::optional<SettingsSection> settingsSectionFromRaw(std::string_view raw) {
  for (SettingsSection section : allSettingsSections) {
    if (rawValue(section) == raw) return section;
  }
  return std::nullopt;
}

constexpr std::string_view id(SettingsSection section) { return rawValue(section); }

constexpr std::string_view title(SettingsSection section) { return rawValue(section); }

// The name of the section's symbol.
constexpr std::string_view systemImage(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "slider.horizontal.3";
    case SettingsSection::customPaths: return "folder.badge.plus";
    case SettingsSection::excluded: return "eye.slash";
  }
  return {};
}

}  // namespace hl
