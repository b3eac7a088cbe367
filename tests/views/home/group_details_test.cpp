#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <deque>

#include "views/home/group_details_view.h"
#include "views/home/home_fixture.h"
#include "views/screenshot_support.h"
#include "views/shared/elided_label.h"

namespace hl {
namespace {

using test::HomeHarness;

// Evidence jobs wait until the test runs them.
struct HeldJobs {
  ItemEvidence::Runner runner() {
    return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
  }
  void runAll() {
    while (!jobs.empty()) {
      auto job = std::move(jobs.front());
      jobs.pop_front();
      job();
    }
    QApplication::processEvents();
  }
  std::deque<std::function<void()>> jobs;
};

class GroupDetailsTest : public ::testing::Test {
 protected:
  void show() {
    view = std::make_unique<GroupDetailsView>(*h, h.settings);
    view->setEvidenceRunner(held.runner());
    view->setHome(h.scratch);
    view->setClock(h.wall.clock());
    test::showAt(*view, 900, 700);
  }

  HomeHarness h;
  HeldJobs held;
  std::unique_ptr<GroupDetailsView> view;
};

TEST(GroupDetailsGroups, AChosenGroupAloneElseEveryListedGroup) {
  const std::vector<CacheGroup> listed = {CacheGroup::projects, CacheGroup::trash};
  EXPECT_EQ(GroupDetailsView::groups(std::nullopt, listed), listed);
  // Chosen, even a group the sidebar does not list.
  EXPECT_EQ(GroupDetailsView::groups(CacheGroup::custom, listed),
            std::vector<CacheGroup>{CacheGroup::custom});
}

TEST_F(GroupDetailsTest, CardsFollowTheChosenGroupAndTheExtraPaths) {
  show();
  // Every group the sidebar lists: Xcode holds nothing in this home.
  EXPECT_EQ(view->groupCards().size(), 7u);
  for (const GroupDetailCard* card : view->groupCards()) {
    EXPECT_NE(card->group(), CacheGroup::xcode);
  }
  EXPECT_FALSE(view->paragraph()->isHidden());
  EXPECT_EQ(view->itemCard(), nullptr);
  h.settings.addExtraPath("/data/big");
  EXPECT_EQ(view->groupCards().size(), 8u);
  EXPECT_EQ(view->groupCards().back()->group(), CacheGroup::custom);
  h->setSelectedGroup(CacheGroup::trash);
  ASSERT_EQ(view->groupCards().size(), 1u);
  EXPECT_EQ(view->groupCards().front()->group(), CacheGroup::trash);
  EXPECT_TRUE(view->paragraph()->isHidden());
  // The trash group's card names what it never touches; the worktrees' card its paths.
  const QList<QLabel*> labels = view->groupCards().front()->findChildren<QLabel*>();
  const auto hasText = [&](const QString& text) {
    return std::any_of(labels.begin(), labels.end(),
                       [&](const QLabel* label) { return label->text() == text; });
  };
  EXPECT_TRUE(hasText("About sizes"));
  EXPECT_TRUE(hasText("Paths"));
  EXPECT_TRUE(hasText("Risk"));
  EXPECT_TRUE(hasText("Regenerates"));
}

TEST_F(GroupDetailsTest, NativeCleanupOncePerToolAndOffWhileItRunsOrReadOnly) {
  CacheItem first = HomeHarness::item("/c/pnpm-a", 900);
  first.action = NativeAction{NativeAction::Tool::pnpm};
  CacheItem second = HomeHarness::item("/c/pnpm-b", 800);
  second.action = NativeAction{NativeAction::Tool::pnpm};
  CacheItem npm = HomeHarness::item("/c/npm", 700);
  npm.action = NativeAction{NativeAction::Tool::npm};
  CacheItem build = HomeHarness::item("/c/build", 600, CacheGroup::buildTools);
  h.scan({first, second, npm, build});
  EXPECT_EQ(h.ids(GroupDetailCard::actionItems(h->includedItems(), CacheGroup::packageCaches)),
            (std::vector<std::string>{"/c/pnpm-a", "/c/npm"}));
  EXPECT_TRUE(GroupDetailCard::actionItems(h->includedItems(), CacheGroup::buildTools).empty());

  show();
  h->setSelectedGroup(CacheGroup::packageCaches);
  GroupDetailCard* card = view->groupCards().front();
  ASSERT_EQ(card->actionButtons().size(), 2u);
  QPushButton* pnpm = card->actionButtons()[0];
  EXPECT_EQ(pnpm->text(), "Prune with pnpm");
  EXPECT_TRUE(pnpm->isEnabled());
  QTest::mouseClick(pnpm, Qt::LeftButton);
  h.executor->settle();
  ASSERT_TRUE(h->pendingAction());
  EXPECT_EQ(h->pendingAction()->id, "/c/pnpm-a");
  // While the command runs its button is off; the other tool's is not.
  h->runAction(*h->pendingAction());
  ASSERT_TRUE(h->runningActions().contains("pnpm"));
  EXPECT_FALSE(card->actionButtons()[0]->isEnabled());
  EXPECT_TRUE(card->actionButtons()[1]->isEnabled());
  h.executor->settle();
  EXPECT_TRUE(view->groupCards().front()->actionButtons()[0]->isEnabled());
}

TEST(GroupDetailsReadOnly, EveryNativeCleanupButtonIsOff) {
  HomeHarness h(DestructiveGate{"read-only mode (-HLMReadOnly)"});
  CacheItem npm = HomeHarness::item("/c/npm", 700);
  npm.action = NativeAction{NativeAction::Tool::npm};
  h.scan({npm});
  GroupDetailsView view(*h, h.settings);
  h->setSelectedGroup(CacheGroup::packageCaches);
  ASSERT_EQ(view.groupCards().front()->actionButtons().size(), 1u);
  EXPECT_FALSE(view.groupCards().front()->actionButtons()[0]->isEnabled());
}

TEST_F(GroupDetailsTest, TheOpenedItemsCardShowsItsFactsAndEvidenceAndGoesBack) {
  CacheItem simulators = HomeHarness::item("/c/sims", std::nullopt, CacheGroup::xcode);
  simulators.kind = ItemKind::virtual_;
  simulators.id = "virtual:simulators";
  simulators.name = "Unavailable simulators";
  simulators.subtitle = "3 simulators";
  h.scan({HomeHarness::item("/c/cache", 1'500'000), simulators});
  show();
  h->setDetailItemID("/c/cache");
  h->setTab(HomeTab::details);
  ItemDetailCard* card = view->itemCard();
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->findChild<ElidedLabel*>("name")->text(), "cache");
  EXPECT_EQ(card->findChild<QLabel*>("size")->text(), "1.5 MB");
  EXPECT_EQ(card->findChild<QLineEdit*>("location")->text(), "/c/cache");
  // No heading before the evidence has come.
  EXPECT_EQ(card->evidenceHeading(), nullptr);
  held.runAll();
  EXPECT_EQ(card->evidence(), std::vector<std::string>{"Found in: /c/cache."});
  ASSERT_NE(card->evidenceHeading(), nullptr);
  EXPECT_EQ(card->evidenceHeading()->text(), "EVIDENCE");

  // A virtual row shows where it stands for, and "—" while unmeasured.
  h->setDetailItemID("virtual:simulators");
  EXPECT_EQ(card->findChild<QLineEdit*>("location")->text(), "3 simulators");
  EXPECT_EQ(card->findChild<QLabel*>("size")->text(), "\u2014");

  QTest::mouseClick(card->backButton(), Qt::LeftButton);
  EXPECT_FALSE(h->detailItemID());
  EXPECT_EQ(h->tab(), HomeTab::items);
  EXPECT_EQ(view->itemCard(), nullptr);
}

// An item's name, its path and its evidence never push the pane wider than the window gives it:
// the name is shortened in the middle (its tooltip has it whole), paths break where they must.
TEST_F(GroupDetailsTest, ALongNameOrPathNeverRunsPastThePane) {
  const std::string name(80, 'n');
  CacheItem item = HomeHarness::item("/c/" + std::string(60, 'p') + "/" + name, 900);
  item.inUseReason = "open by node (pid 4)";
  h.scan({item});
  show();
  view->resize(440, 700);
  h->setDetailItemID(item.id);
  held.runAll();
  ASSERT_NE(view->itemCard(), nullptr);
  ASSERT_FALSE(view->itemCard()->evidence().empty());
  test::grabSettled(*view);
  const int pane = view->viewport()->width();
  for (const QWidget* part : view->widget()->findChildren<QWidget*>()) {
    if (!part->isVisible()) continue;
    const QRect placed(part->mapTo(view->viewport(), QPoint(0, 0)), part->size());
    EXPECT_LE(placed.right(), pane) << part->metaObject()->className();
  }
  auto* shown = view->itemCard()->findChild<ElidedLabel*>("name");
  EXPECT_TRUE(shown->shownText().contains(QChar(0x2026)));
  EXPECT_TRUE(shown->toolTip().contains(QString::fromStdString(name)));
  EXPECT_TRUE(view->itemCard()->backButton()->isVisible());
}

TEST_F(GroupDetailsTest, EvidenceForAnItemNoLongerShownIsDropped) {
  h.scan({HomeHarness::item("/c/a", 900), HomeHarness::item("/c/b", 800)});
  show();
  h->setDetailItemID("/c/a");
  h->setDetailItemID("/c/b");
  ASSERT_EQ(held.jobs.size(), 2u);
  // The answer for the first item arrives while the second is shown.
  auto first = std::move(held.jobs.front());
  held.jobs.pop_front();
  first();
  QApplication::processEvents();
  EXPECT_TRUE(view->itemCard()->evidence().empty());
  held.runAll();
  EXPECT_EQ(view->itemCard()->evidence(), std::vector<std::string>{"Found in: /c/b."});
  // An item that a rescan removed has no card; the group cards stay.
  h.scan({HomeHarness::item("/c/a", 900)});
  EXPECT_EQ(view->itemCard(), nullptr);
  EXPECT_EQ(view->groupCards().size(), 7u);
}

}  // namespace
}  // namespace hl
