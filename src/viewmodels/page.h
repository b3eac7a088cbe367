#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace hl {

// The window's pages, in the order of the rail and of the page commands. The raw value is the
// page's identity.
enum class Page { home, search, activity, history, settings };

inline constexpr std::array<Page, 5> allPages = {Page::home, Page::search, Page::activity,
                                                 Page::history, Page::settings};

// "home", "search", "activity", "history", "settings".
std::string_view rawValue(Page page);
// Exactly one of the raw values; any other text is no page.
std::optional<Page> pageFromRaw(std::string_view raw);
// The page's identity: its raw value.
inline std::string_view id(Page page) { return rawValue(page); }
// "Home", "Folder Scanner", "Activity", "History", "Settings".
std::string_view title(Page page);
// The name of the page's symbol.
std::string_view systemImage(Page page);

// The sections of the Settings page, in the order of its sidebar. The raw value is both the
// section's title and its identity.
enum class SettingsSection { general, customPaths, excluded };

inline constexpr std::array<SettingsSection, 3> allSettingsSections = {
    SettingsSection::general, SettingsSection::customPaths, SettingsSection::excluded};

// "General", "Custom paths", "Excluded paths".
std::string_view rawValue(SettingsSection section);
// Exactly one of the raw values; any other text is no section.
std::optional<SettingsSection> settingsSectionFromRaw(std::string_view raw);
inline std::string_view id(SettingsSection section) { return rawValue(section); }
inline std::string_view title(SettingsSection section) { return rawValue(section); }
std::string_view systemImage(SettingsSection section);

}  // namespace hl
