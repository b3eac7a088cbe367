#include <gtest/gtest.h>

#include <QToolButton>
#include <functional>

#include "shell_harness.h"
#include "views/shared/elided_label.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"
#include "views/shell/status_bar.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using test::ShellHarness;

// The cleaner's last in-use evaluation could not be verified.
void scanUnverified(ShellHarness& h) {
  h.cleaner().rescan(true);
  h.engine->send(CacheScanEvent::Discovered{{h.item("a", 100)}, {}});
  InUseEvaluation evaluation;
  evaluation.verification = VerificationState::unavailable("process list unreadable");
  h.engine->send(CacheScanEvent::InUse{evaluation});
  h.engine->send(CacheScanEvent::Finished{Seconds(1)});
  h.engine->end();
  h.settle();
}

TEST(StatusBar, TheLineFollowsTheFirstRuleThatApplies) {
  struct Row {
    const char* name;
    std::function<void(ShellHarness&)> arrange;
    // From the last scan to the moment the line is read.
    std::chrono::seconds elapsed;
    // Empty: the text the named view model gives.
    std::string expected;
    std::function<std::string(ShellHarness&)> expectedFrom = {};
  };
  const auto scanned = [](ShellHarness& h) { h.scanTwoItems(); };
  const std::vector<Row> rows = {
      {"never scanned", [](ShellHarness&) {}, 0s, "Idle"},
      {"59 seconds", scanned, 59s, "Idle \u00b7 last scan just now"},
      {"60 seconds", scanned, 60s, "Idle \u00b7 last scan 1 minute ago"},
      {"five minutes", scanned, 5min, "Idle \u00b7 last scan 5 minutes ago"},
      {"two days", scanned, 48h, "Idle \u00b7 last scan 2 days ago"},
      {"clock set back", scanned, -10min, "Idle \u00b7 last scan just now"},
      {"cleaner scanning", [](ShellHarness& h) { h.cleaner().rescan(true); }, 0s, "",
       [](ShellHarness& h) { return h.cleaner().statusText(); }},
      {"unverifiable while idle", scanUnverified, 0s, "",
       [](ShellHarness& h) { return h.cleaner().statusText(); }},
      {"folder scanner scanning on its page",
       [](ShellHarness& h) {
         h.scanTwoItems();
         h->setPage(Page::search);
         h.scanner().scan(h.folders.path());
       },
       0s, "", [](ShellHarness& h) { return h.scanner().statusText(); }},
      {"folder scanner scanning on another page",
       [](ShellHarness& h) {
         h.scanTwoItems();
         h.scanner().scan(h.folders.path());
       },
       0s, "Idle \u00b7 last scan just now"},
      {"folder scanner idle on its page",
       [](ShellHarness& h) {
         h.scanTwoItems();
         h->setPage(Page::search);
       },
       5min, "Idle \u00b7 last scan 5 minutes ago"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ShellHarness h;
    StatusBar bar(*h, h.wall.clock());
    row.arrange(h);
    h.wall.advance(row.elapsed);
    const std::string expected = row.expectedFrom ? row.expectedFrom(h) : row.expected;
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(bar.statusText(h.wall.clock()()), expected);
    // The bar shows the same line, read again as the ticker does.
    bar.refresh();
    EXPECT_EQ(bar.textLabel()->text().toStdString(), expected);
  }
}

TEST(StatusBar, BadgeIndicatorFreeSpaceAndRescanFollowTheModel) {
  ShellHarness h;
  StatusBar bar(*h, h.wall.clock());
  bar.resize(900, StatusBar::barHeight);
  bar.show();
  EXPECT_EQ(bar.height(), 28);
  EXPECT_EQ(bar.ticker().interval(), 30000);
  EXPECT_TRUE(bar.ticker().isActive());

  // Before the first volume reading there is no free-space text; the rest keeps its place.
  EXPECT_FALSE(bar.freeSpaceLabel()->isVisible());
  EXPECT_FALSE(bar.readOnlyBadge()->isVisible());
  EXPECT_TRUE(bar.idleMark()->isVisible());
  EXPECT_FALSE(bar.spinner()->isVisible());
  EXPECT_EQ(bar.rescanButton()->text(), QStringLiteral("Rescan"));
  EXPECT_EQ(bar.rescanButton()->toolTip(), plainToolTip(QStringLiteral("Rescan (Ctrl+R)")));

  h.freeSpace = {123'400'000'000};
  h->refreshVolume();
  h.settle();
  EXPECT_TRUE(bar.freeSpaceLabel()->isVisible());
  EXPECT_EQ(bar.freeSpaceLabel()->text(), QStringLiteral("123.4 GB free on Disk"));

  // Busy: the spinner instead of the check mark; a scan leaves Rescan usable, and pressing it
  // starts another scan that replaces the running one.
  h.cleaner().rescan(true);
  EXPECT_TRUE(bar.spinner()->isVisible());
  EXPECT_FALSE(bar.idleMark()->isVisible());
  EXPECT_TRUE(bar.rescanButton()->isEnabled());
  const int scans = h.scans();
  bar.rescanButton()->click();
  EXPECT_EQ(h.scans(), scans + 1);
  h.engine->end();
  h.settle();
  EXPECT_FALSE(bar.spinner()->isVisible());

  // A removal of either page disables Rescan.
  h.removing();
  EXPECT_FALSE(bar.rescanButton()->isEnabled());
  EXPECT_TRUE(bar.spinner()->isVisible());
  h.settle();
  EXPECT_FALSE(h.cleaner().isTrashing());
  EXPECT_TRUE(bar.rescanButton()->isEnabled());

  // Read-only: the badge with its explanation; Rescan still works, since scanning removes
  // nothing.
  h.cleaner().setTrashService(std::make_shared<test::FakeRemoval>(
      DestructiveGate{std::string("read-only mode (-HLMReadOnly)")}));
  EXPECT_TRUE(bar.readOnlyBadge()->isVisible());
  EXPECT_EQ(bar.readOnlyBadge()->text(), QStringLiteral("READ-ONLY"));
  EXPECT_TRUE(bar.readOnlyBadge()->toolTip().contains(QStringLiteral("-HLMReadOnly")));
  EXPECT_TRUE(bar.rescanButton()->isEnabled());
}

// The badge says why removals are blocked: the launch argument's text as it always read, or the
// settings file that did it and what is wrong with it, in its help and to a screen reader alike.
TEST(StatusBar, TheReadOnlyBadgeNamesTheSettingsFileThatSwitchedItOn) {
  const std::string blocked = "nothing is moved to the Trash or deleted, and no prune command runs.";
  struct Case {
    DestructiveGate gate;
    std::string help;
  };
  const std::vector<Case> cases = {
      {{"read-only mode (-HLMReadOnly)"}, "Launched with -HLMReadOnly (or hosting tests): " + blocked},
      {{"read-only while hosting tests"}, "Launched with -HLMReadOnly (or hosting tests): " + blocked},
      {{"read-only mode (the settings file /h/a.conf is damaged)",
        "the settings file /h/a.conf is damaged"},
       "Read-only because the settings file /h/a.conf is damaged: " + blocked},
      {{"read-only mode (the settings file /h/a.conf cannot be read)",
        "the settings file /h/a.conf cannot be read"},
       "Read-only because the settings file /h/a.conf cannot be read: " + blocked},
      {{"read-only mode (-HLMReadOnly)", "the settings file /etc/xdg/Harborlume.conf sets HLMReadOnly"},
       "Read-only because the settings file /etc/xdg/Harborlume.conf sets HLMReadOnly: " + blocked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.help);
    ShellHarness h;
    StatusBar bar(*h, h.wall.clock());
    h.cleaner().setTrashService(std::make_shared<test::FakeRemoval>(c.gate));
    ASSERT_TRUE(bar.readOnlyBadge()->isVisibleTo(&bar));
    EXPECT_EQ(bar.readOnlyBadge()->accessibleDescription().toStdString(), c.help);
    EXPECT_TRUE(bar.readOnlyBadge()->toolTip().contains(QString::fromStdString(c.help)));
  }
}

TEST(StatusBar, TheFolderScannersRemovalDisablesRescanOnEveryPage) {
  ShellHarness h;
  StatusBar bar(*h, h.wall.clock());
  h.folders.file("t/a.bin", 8000);
  h.scanFolder("t");
  h.scanner().requestTrash(std::set<std::string>{cleanPath(h.folders / "t/a.bin")});
  h.settle();
  ASSERT_TRUE(h.scanner().pendingPlan());
  h.wall.advance(1s);
  h.scanner().confirmTrash(*h.scanner().pendingPlan());
  ASSERT_TRUE(h.scanner().isTrashing());
  EXPECT_EQ(h->page(), Page::home);
  EXPECT_FALSE(bar.rescanButton()->isEnabled());
  EXPECT_TRUE(h->isBusy());
  // The text is the cleaner's while another page is shown.
  EXPECT_EQ(bar.textLabel()->text(), QStringLiteral("Idle"));
  test::waitUntil([&] {
    h.settle();
    return !h.scanner().isTrashing();
  });
  EXPECT_TRUE(bar.rescanButton()->isEnabled());
}

}  // namespace
}  // namespace hl
