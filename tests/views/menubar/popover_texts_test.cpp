#include <gtest/gtest.h>

#include "models/volume_info.h"
#include "views/menubar/popover_texts.h"

namespace hl {
namespace {

using PopoverTexts::IdleButton;
using PopoverTexts::IdleFacts;

IdleFacts facts(bool candidates, bool scanning, bool trashing, bool unverifiable, bool readOnly) {
  IdleFacts f;
  f.hasCandidates = candidates;
  f.candidatesSize = candidates ? 3'400'000 : 0;
  f.isScanning = scanning;
  f.removalBusy = trashing;
  if (unverifiable) f.unverifiableReason = "ps failed";
  f.isReadOnly = readOnly;
  return f;
}

TEST(PopoverTexts, TheIdleButtonTakesTheFirstRuleThatApplies) {
  struct Case {
    const char* name;
    IdleFacts facts;
    IdleButton button;
  };
  const IdleButton readOnly{false, "Read-only mode", "lock.fill", false};
  const IdleButton scanning{false, "Scanning…", std::nullopt, true};
  const IdleButton cannotVerify{false, "Can't verify — disabled", "lock.fill", false};
  const std::vector<Case> cases = {
      {"ready", facts(true, false, false, false, false),
       {true, "Quick Clean (3.4 MB)", "trash", false}},
      {"nothing to clean", facts(false, false, false, false, false),
       {false, "Nothing safe to clean", std::nullopt, false}},
      // A removal from the window keeps the label and only disables the button.
      {"removing", facts(true, false, true, false, false),
       {false, "Quick Clean (3.4 MB)", "trash", false}},
      {"scanning with candidates", facts(true, true, false, false, false), scanning},
      {"scanning without candidates", facts(false, true, false, false, false), scanning},
      {"unverifiable", facts(true, false, false, true, false), cannotVerify},
      {"unverifiable while scanning", facts(true, true, false, true, false), scanning},
      {"read-only before everything", facts(true, true, true, true, true), readOnly},
      {"read-only alone", facts(true, false, false, false, true), readOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PopoverTexts::idleButton(c.facts), c.button);
  }
  EXPECT_EQ(PopoverTexts::unverifiableLine(std::string("ps failed")),
            "Cannot verify in-use state (ps failed). Quick Clean is disabled.");
  EXPECT_EQ(PopoverTexts::unverifiableLine(std::nullopt), std::nullopt);
}

TEST(PopoverTexts, CountsTakeTheSingularOnlyForOne) {
  struct Case {
    std::size_t count;
    int skipped;
    std::string caption;
  };
  const std::vector<Case> cases = {
      {1, 0, "1 item · cancels in 5 s"},
      {2, 0, "2 items · cancels in 5 s"},
      {0, 3, "0 items · 3 skipped (in use or app running) · cancels in 5 s"},
      {1, 1, "1 item · 1 skipped (in use or app running) · cancels in 5 s"},
      {1200, -1, "1200 items · cancels in 5 s"},
  };
  for (const Case& c : cases) EXPECT_EQ(PopoverTexts::confirmCaption(c.count, c.skipped), c.caption);

  EXPECT_EQ(PopoverTexts::skippedLine(0), std::nullopt);
  EXPECT_EQ(PopoverTexts::skippedLine(-2), std::nullopt);
  EXPECT_EQ(PopoverTexts::skippedLine(1), "1 item skipped: in use or owning app running");
  EXPECT_EQ(PopoverTexts::skippedLine(2), "2 items skipped: in use or owning app running");
  EXPECT_EQ(PopoverTexts::skippedLine(1000), "1000 items skipped: in use or owning app running");
}

TEST(PopoverTexts, SecondStepAndProgressSayWhatHappensToTheItems) {
  EXPECT_EQ(PopoverTexts::confirmLabel(2'500'000, false), "Confirm — move 2.5 MB to Trash");
  EXPECT_EQ(PopoverTexts::confirmLabel(2'500'000, true), "Confirm — delete 2.5 MB permanently");
  EXPECT_EQ(PopoverTexts::confirmLabel(-4, false), "Confirm — move 0 bytes to Trash");
  EXPECT_TRUE(PopoverTexts::canConfirm(1, false, false));
  EXPECT_FALSE(PopoverTexts::canConfirm(0, false, false));
  EXPECT_FALSE(PopoverTexts::canConfirm(3, true, false));
  EXPECT_FALSE(PopoverTexts::canConfirm(3, false, true));

  EXPECT_EQ(PopoverTexts::progressLine(RemovalMode::trash, 0, 0), std::nullopt);
  EXPECT_EQ(PopoverTexts::progressLine(RemovalMode::deletePermanently, 3, 10), "Deleting… 3 of 10");
  EXPECT_EQ(PopoverTexts::progressLine(RemovalMode::trash, 0, 4), "Moving to Trash… 0 of 4");
  EXPECT_EQ(PopoverTexts::progressLine(RemovalMode::trash, 1500, 2000),
            "Moving to Trash… 1500 of 2000");
}

TEST(PopoverTexts, VolumeCandidatesAndFooter) {
  EXPECT_EQ(PopoverTexts::freeSpace(120'400'000'000), "120.4 GB free");
  EXPECT_EQ(PopoverTexts::freeSpace(-1), "0 bytes free");
  EXPECT_FALSE(VolumeInfo::isNearlyFull(0.9));
  EXPECT_TRUE(VolumeInfo::isNearlyFull(0.9000001));
  EXPECT_FALSE(VolumeInfo::isNearlyFull(0));

  EXPECT_EQ(PopoverTexts::noCandidates(true), "Measuring…");
  EXPECT_EQ(PopoverTexts::noCandidates(false), "Nothing safe to clean right now.");
  EXPECT_EQ(PopoverTexts::policyLine(false),
            "Safe items only, skipping anything modified in the last 7 days or in use.");
  EXPECT_EQ(PopoverTexts::policyLine(true),
            "Safe and moderate items, skipping anything modified in the last 7 days or in use.");

  EXPECT_TRUE(PopoverTexts::canRescan(false, false));
  EXPECT_FALSE(PopoverTexts::canRescan(true, false));
  EXPECT_FALSE(PopoverTexts::canRescan(false, true));
  EXPECT_EQ(PopoverTexts::versionText("2.1"), "Version 2.1");
  EXPECT_EQ(PopoverTexts::versionText(""), "Version ?");
}

}  // namespace
}  // namespace hl
