#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "models/removal_mode.h"
#include "models/trash_error.h"
#include "models/trash_result.h"
#include "platform/settings_file.h"
#include "services/removal/destructive_gate.h"
#include "services/discovery/exclusion_list.h"

using namespace hl;

TEST(DestructiveGate, FirstSourceThatHoldsGivesTheReason) {
  GateSources sources;
  EXPECT_FALSE(DestructiveGate::evaluate(sources).isReadOnly());

  sources.hostingTests = true;
  EXPECT_EQ(DestructiveGate::evaluate(sources).readOnlyReason, "read-only while hosting tests");

  sources.readOnlyDefault = true;
  EXPECT_EQ(DestructiveGate::evaluate(sources).readOnlyReason, "read-only mode (-HLMReadOnly)");
  // The settings file the switch was read from is named as the cause, for the one who must
  // mend it; the reason itself keeps its wording.
  EXPECT_EQ(DestructiveGate::evaluate(sources).settingsCause, std::nullopt);
  sources.readOnlyFile = "/etc/xdg/Harborlume.conf";
  EXPECT_EQ(DestructiveGate::evaluate(sources).readOnlyReason, "read-only mode (-HLMReadOnly)");
  EXPECT_EQ(DestructiveGate::evaluate(sources).settingsCause,
            "the settings file /etc/xdg/Harborlume.conf sets HLMReadOnly");

  GateSources argument = sources;
  argument.launchArguments = {"harborlume", "-HLMReadOnly"};
  argument.settingsDoubt = "the settings file /h/x.conf is damaged";
  EXPECT_EQ(DestructiveGate::evaluate(argument).readOnlyReason, "read-only mode (-HLMReadOnly)");
  EXPECT_EQ(DestructiveGate::evaluate(argument).settingsCause, std::nullopt);

  GateSources near;
  near.launchArguments = {"harborlume", "-HLMReadOnly=1", "HLMReadOnly"};
  near.readOnlyDefault = false;
  EXPECT_FALSE(DestructiveGate::evaluate(near).isReadOnly());
}

// The switch that forbids every removal reads any spelling of "on", and anything unclear, as on.
TEST(DestructiveGate, TheReadOnlyDefaultFailsClosed) {
  using namespace std::string_literals;
  const std::vector<std::pair<std::string, bool>> cases = {
      {"true", true},   {"1", true},      {"yes", true},   {"YES", true},  {"TRUE", true},
      {"On", true},     {"2", true},      {"-1", true},    {"0.5", true},  {"maybe", true},
      {"", true},       {"false", false}, {"FALSE", false}, {"No", false}, {"off", false},
      {"0", false},     {"0.0", false},   {" off ", false},
  };
  for (const auto& [text, on] : cases) {
    EXPECT_EQ(SettingsFile::parseFailingClosed(text), on) << "'" << text << "'";
  }

  // Read from the settings file as the running program reads it. A file that cannot be read as
  // text at all, or is damaged, may hold the switch: it reads as on, and the reason names the
  // file, not a launch argument nobody gave.
  const auto reasonNow = [] {
    GateSources sources = DestructiveGate::processGateSources()();
    sources.hostingTests = false;
    return DestructiveGate::evaluate(sources).readOnlyReason;
  };
  EXPECT_EQ(reasonNow(), std::nullopt);
  const std::string folder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Harborlume";
  const std::string file = folder + "/Harborlume.conf";
  const std::string byValue = "read-only mode (-HLMReadOnly)";
  const std::string unreadable = "read-only mode (the settings file " + file + " cannot be read)";
  const std::string damaged = "read-only mode (the settings file " + file + " is damaged)";
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[General]\nHLMReadOnly=false\n")) utf16 += std::string{c, '\0'};
  const std::vector<std::pair<std::string, std::optional<std::string>>> files = {
      {"[General]\nHLMReadOnly=YES\n", byValue},
      {"[General]\nHLMReadOnly=off\n", std::nullopt},
      {"[General]\nHLMReadOnly=off, on\n", byValue},
      {"[General]\nshowInMenuBar=false\n", std::nullopt},
      // Damage after the switch may hide a line that sets it again.
      {"[General]\nHLMReadOnly=false\n\x93\x01garbage\n", damaged},
      // Damage may have taken the switch's own line.
      {"[General]\nsidebarWidth=250\n\0\0\0\0ReadOnly=true\n"s, damaged},
      {utf16, unreadable},
      {std::string(64, '\0'), unreadable},
  };
  std::filesystem::create_directories(folder);
  for (const auto& [content, reason] : files) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    EXPECT_EQ(reasonNow(), reason) << content;
  }
  // So does one that cannot be read: a folder, or a link to a device, in its place.
  std::filesystem::remove(file);
  std::filesystem::create_symlink("/dev/null", file);
  EXPECT_EQ(reasonNow(), unreadable);
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_EQ(reasonNow(), unreadable);
}

TEST(DestructiveGate, TheTestProcessIsAlwaysReadOnly) {
  const DestructiveGate gate = DestructiveGate::current();
  EXPECT_TRUE(gate.isReadOnly());
  EXPECT_EQ(gate.readOnlyReason, "read-only while hosting tests");
  const DestructiveGate injected =
      DestructiveGate::current([] { return GateSources{{"x"}, std::nullopt, false, std::nullopt}; });
  EXPECT_FALSE(injected.isReadOnly());
}

TEST(RemovalMode, PermanentOnlyWhenBothAgree) {
  EXPECT_EQ(effectiveRemovalMode(RemovalMode::deletePermanently, RemovalMode::trash),
            RemovalMode::trash);
  EXPECT_EQ(effectiveRemovalMode(RemovalMode::trash, RemovalMode::deletePermanently),
            RemovalMode::trash);
  EXPECT_EQ(effectiveRemovalMode(RemovalMode::deletePermanently, RemovalMode::deletePermanently),
            RemovalMode::deletePermanently);
  EXPECT_EQ(removalModeFromRaw("deletePermanently"), RemovalMode::deletePermanently);
  EXPECT_EQ(removalModeFromRaw("Trash"), std::nullopt);
  EXPECT_EQ(reclaimNote(RemovalMode::trash).front(), ' ');
}

TEST(TrashResult, SummaryCountsSizesAndFailures) {
  TrashResult result;
  EXPECT_EQ(result.summary(), "Cleaned 0 items (0 bytes).");
  result.succeeded = {"/a"};
  result.bytesFreed = 1'200'000;
  EXPECT_EQ(result.summary(), "Cleaned 1 item (1.2 MB).");
  result.succeeded.push_back("/b");
  result.bytesFreed = -3;
  result.mode = RemovalMode::deletePermanently;
  result.failed.push_back({"/c", TrashError::missing("/c")});
  result.failed.push_back({"/d", FileSystemError{13, "Permission denied"}});
  EXPECT_EQ(result.summary(), "Deleted 2 items (0 bytes). 2 failed.");
}

TEST(TrashError, DescriptionsAndEquality) {
  EXPECT_EQ(TrashError::readOnly("read-only while hosting tests").description(),
            "Nothing is moved to the Trash or deleted: read-only while hosting tests.");
  EXPECT_EQ(TrashError::protectedPath("/Users/u").description(),
            "Refusing to remove protected location /Users/u.");
  EXPECT_EQ(TrashError::outsideAllowedRoot("/x").description(),
            "Refusing to remove /x: it is not inside the folder it was found in.");
  EXPECT_EQ(TrashError::alreadyInTrash("/t").description(), "/t is already in the Trash.");
  EXPECT_EQ(TrashError::missing("/m").description(), "/m no longer exists.");
  EXPECT_NE(TrashError::missing("/m"), TrashError::alreadyInTrash("/m"));
  EXPECT_NE(TrashError::missing("/m"), TrashError::missing("/n"));
  EXPECT_EQ(describe(FileSystemError{1, "Operation not permitted"}), "Operation not permitted");
  EXPECT_EQ(describe(StateChanged{"worktree is no longer clean"}),
            "Skipped: worktree is no longer clean");
}

TEST(ExclusionList, ExcludesByWholeComponents) {
  auto item = [](const std::string& path) {
    CacheItemInit init;
    init.url = path;
    init.home = "/Users/a";
    return CacheItem(init);
  };
  const std::vector<CacheItem> items = {item("/Users/a/Library/Caches/pip"),
                                        item("/Users/a/Library/CachesOld"),
                                        item("/Users/a/Library")};
  const ExclusionList list{{"/Users/a/Library/Caches/"}};
  const auto kept = list.filter(items);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].id, "/Users/a/Library/CachesOld");
  EXPECT_EQ(kept[1].id, "/Users/a/Library");
  EXPECT_EQ(ExclusionList{}.filter(items), items);
  EXPECT_TRUE(list.isExcluded("/Users/a/Library/Caches"));
}
