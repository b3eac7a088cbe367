#include "viewmodels/page.h"

namespace hl {

std::string_view rawValue(Page page) {
  switch (page) {
    case Page::home: return "home";
    case Page::search: return "search";
    case Page::activity: return "activity";
    case Page::history: return "history";
    case Page::settings: return "settings";
  }
  return {};
}

std::optional<Page> pageFromRaw(std::string_view raw) {
  for (Page page : allPages) {
    if (rawValue(page) == raw) return page;
  }
  return std::nullopt;
}

std::string_view title(Page page) {
  switch (page) {
    case Page::home: return "Home";
    case Page::search: return "Folder Scanner";
    case Page::activity: return "Activity";
    case Page::history: return "History";
    case Page::settings: return "Settings";
  }
  return {};
}

std::string_view systemImage(Page page) {
  switch (page) {
    case Page::home: return "house";
    case Page::search: return "magnifyingglass";
    case Page::activity: return "bell";
    case Page::history: return "doc.text";
    case Page::settings: return "gearshape";
  }
  return {};
}

std::string_view rawValue(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "General";
    case SettingsSection::customPaths: return "Custom paths";
    case SettingsSection::excluded: return "Excluded paths";
  }
  return {};
}

std::optional<SettingsSection> settingsSectionFromRaw(std::string_view raw) {
  for (SettingsSection section : allSettingsSections) {
    if (rawValue(section) == raw) return section;
  }
  return std::nullopt;
}

std::string_view systemImage(SettingsSection section) {
  switch (section) {
    case SettingsSection::general: return "slider.horizontal.3";
    case SettingsSection::customPaths: return "folder.badge.plus";
    case SettingsSection::excluded: return "eye.slash";
  }
  return {};
}

}  // namespace hl
