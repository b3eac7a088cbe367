// Read-only mode switched on in the settings holds against every settings file an attacker or an
// accident can leave: the program's gate, read from this process's real settings files, stays
// closed, and a confirmed removal and Quick Clean remove nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cleaner_harness.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test;

namespace {

// The gate as the running program makes it; only the test host's own reason is left out.
DestructiveGate programGate() {
  return DestructiveGate::current([] {
    GateSources sources = DestructiveGate::processGateSources()();
    sources.hostingTests = false;
    return sources;
  });
}

void writeAt(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace

TEST(ReadOnlySettings, NothingIsRemovedWhereverTheSwitchWasSetOn) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string config = std::getenv("XDG_CONFIG_HOME");
  const std::string system = std::getenv("XDG_CONFIG_DIRS");
  const std::string user = config + "/Harborlume/Harborlume.conf";
  const std::string byValue = "read-only mode (-HLMReadOnly)";
  struct Case {
    std::string name;
    std::string file;
    std::string content;  // empty: a link to /dev/null
    std::string reason;
    // The file and what is wrong with it or what it says, as the read-only badge explains it.
    std::string cause;
  };
  const std::string organisation = config + "/Harborlume.conf";
  const std::string systemFile = system + "/Harborlume/Harborlume.conf";
  const std::vector<Case> cases = {
      {"a damaged header over keys that turn it off", user,
       "[General]\nHLMReadOnly=true\n[Gen\377ral]\nHLMReadOnly=false\ndeleteImmediately=true\n",
       "read-only mode (the settings file " + user + " is damaged)",
       "the settings file " + user + " is damaged"},
      {"a byte-order mark before the key", user, "[General]\n" + bom + "HLMReadOnly=true\n",
       byValue, "the settings file " + user + " sets HLMReadOnly"},
      {"a quote left open over the key", user,
       "[General]\nexcludedPaths=\"~/.cache/foo\nHLMReadOnly=true\n",
       "read-only mode (the settings file " + user + " is damaged)",
       "the settings file " + user + " is damaged"},
      {"the organisation's file", organisation, "[General]\nHLMReadOnly=true\n", byValue,
       "the settings file " + organisation + " sets HLMReadOnly"},
      {"the system's file", systemFile, "[General]\nHLMReadOnly=true\n", byValue,
       "the settings file " + systemFile + " sets HLMReadOnly"},
      {"a damaged system's file", systemFile, "[General]\nHLMReadOnly=\"off\n",
       "read-only mode (the settings file " + systemFile + " is damaged)",
       "the settings file " + systemFile + " is damaged"},
      {"the settings file a link to /dev/null", user, "",
       "read-only mode (the settings file " + user + " cannot be read)",
       "the settings file " + user + " cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(c.file);
    if (c.content.empty()) {
      std::filesystem::create_directories(std::filesystem::path(c.file).parent_path());
      std::filesystem::create_symlink("/dev/null", c.file);
    } else {
      writeAt(c.file, c.content);
    }
    const DestructiveGate gate = programGate();
    EXPECT_EQ(gate.readOnlyReason, c.reason);

    OwnHomeCleaner own(gate, SettingsStore::standardDefaults());
    CleanerViewModel& cleaner = *own.cleaner;
    EXPECT_FALSE(own.settings.deleteImmediately());
    const std::string pip = own.home.text(".cache/pip/http/blob", std::string(12000, 'x'));
    own.scan();
    const std::string id = cleanPath(own.home / ".cache/pip");
    ASSERT_TRUE(cleaner.item(id));
    EXPECT_TRUE(cleaner.isReadOnly());
    EXPECT_EQ(cleaner.readOnlySettingsCause(), c.cause);

    // Quick Clean offers nothing to confirm.
    cleaner.armQuickClean();
    EXPECT_FALSE(cleaner.quickClean().confirming());

    // The sheet's plan, confirmed: refused with the reason, nothing touched.
    cleaner.requestTrash(std::set<std::string>{id});
    waitFor(cleaner, &CleanerViewModel::isPreparingTrashChanged,
            [&] { return !cleaner.isPreparingTrash(); });
    if (const std::optional<TrashPlan> plan = cleaner.pendingPlan()) {
      own.wall.advance(std::chrono::seconds(2));
      cleaner.confirmTrash(*plan, own.wall.now());
      waitFor(cleaner, &CleanerViewModel::isTrashingChanged,
              [&] { return !cleaner.isTrashing(); });
    }
    EXPECT_EQ(cleaner.resultMessage(),
              "Nothing was moved to the Trash or deleted: " + c.reason + ".");
    EXPECT_EQ(readFile(pip), std::string(12000, 'x'));
    EXPECT_FALSE(existsNoFollow(own.home / ".local/share/Trash/files"));
    std::filesystem::remove(c.file);
  }
}
