#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "state/cleaner/guarded_fakes.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/menubar/popover_buttons.h"
#include "views/menubar/popover_parts.h"
#include "views/shared/palette_colors.h"
#include "views/shared/size_bar.h"
#include "views/shared/spinner.h"

namespace hl {
namespace {

using test::Guarded;
using test::makeItem;

QStringList rowTexts(QWidget* rows) {
  QStringList texts;
  for (QWidget* row : rows->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QStringList line;
    for (QLabel* label : row->findChildren<QLabel*>()) line.append(label->text());
    texts.append(line.join(QLatin1Char('|')));
  }
  return texts;
}

bool shown(const QWidget* widget, const QWidget* in) { return widget->isVisibleTo(in); }

TEST(PopoverCandidates, ListsWhatQuickCleanWouldTakeByGroup) {
  Guarded h;
  CandidatesBlock block(*h);
  block.show();
  EXPECT_EQ(block.totalLabel()->text(), "0 bytes");
  EXPECT_EQ(block.emptyLabel()->text(), "Nothing safe to clean right now.");
  EXPECT_TRUE(shown(block.emptyLabel(), &block));
  EXPECT_FALSE(shown(block.groupRows(), &block));
  EXPECT_FALSE(shown(block.skippedLabel(), &block));
  EXPECT_EQ(block.policyLabel()->text(),
            "Safe items only, skipping anything modified in the last 7 days or in use.");

  h->rescan(true);
  EXPECT_EQ(block.emptyLabel()->text(), "Measuring…");

  CacheItem held = makeItem("/c/held", CacheGroup::packageCaches, RiskLevel::safe, 50);
  held.inUseReason = "open by vim";
  h.scan({makeItem("/c/a", CacheGroup::packageCaches, RiskLevel::safe, 1000), held,
          makeItem("/c/b", CacheGroup::buildTools, RiskLevel::safe, 4000),
          makeItem("/c/m", CacheGroup::projects, RiskLevel::moderate, 9000)});
  EXPECT_EQ(block.totalLabel()->text(), "5 KB");
  EXPECT_FALSE(shown(block.emptyLabel(), &block));
  EXPECT_EQ(rowTexts(block.groupRows()),
            (QStringList{"Build & dev tools|4 KB", "Package caches|1 KB"}));
  EXPECT_EQ(block.skippedLabel()->text(), "1 item skipped: in use or owning app running");
  EXPECT_TRUE(shown(block.skippedLabel(), &block));

  h.settings.setQuickCleanIncludesModerate(true);
  EXPECT_EQ(block.totalLabel()->text(), "14 KB");
  EXPECT_EQ(rowTexts(block.groupRows()).first(), "Projects|9 KB");
  EXPECT_EQ(block.policyLabel()->text(),
            "Safe and moderate items, skipping anything modified in the last 7 days or in use.");
}

TEST(PopoverVolume, ShowsFreeSpaceAndTurnsRedAboveNineTenths) {
  VolumeBlock block;
  EXPECT_TRUE(block.isHidden());
  struct Case {
    std::int64_t total, available;
    QString free;
    bool red;
  };
  const std::vector<Case> cases = {
      {100'000'000'000, 10'000'000'000, "10 GB free", false},  // exactly nine tenths used
      {100'000'000'000, 9'900'000'000, "9.9 GB free", true},
      {100'000'000'000, 60'000'000'000, "60 GB free", false},
  };
  for (const Case& c : cases) {
    block.setVolume(VolumeInfo{"/home/u", "Debian", c.total, c.available});
    EXPECT_FALSE(block.isHidden());
    EXPECT_EQ(block.nameLabel()->text(), "Debian");
    EXPECT_EQ(block.freeLabel()->text(), c.free);
    // The fill's left end is drawn in red or in the accent colour.
    block.bar()->resize(200, 6);
    QImage drawn(200, 6, QImage::Format_ARGB32);
    drawn.fill(Qt::white);
    block.bar()->render(&drawn);
    const QColor expected = c.red ? PaletteColors::red(block.palette())
                                  : PaletteColors::accent(block.palette());
    EXPECT_NEAR(drawn.pixelColor(2, 3).hueF(), expected.hueF(), 0.04) << c.free.toStdString();
  }
  block.setVolume(std::nullopt);
  EXPECT_TRUE(block.isHidden());
}

TEST(PopoverHeaderRow, OpensTheWindowAndSpinsWhileBusy) {
  int opened = 0;
  PopoverHeader header([&] { ++opened; });
  header.resize(300, 40);
  header.show();
  EXPECT_FALSE(shown(header.spinner(), &header));
  header.setBusy(true);
  EXPECT_TRUE(shown(header.spinner(), &header));
  // The spinner stands where the label would end, 8 px after the button's label.
  EXPECT_EQ(header.width() - header.spinner()->mapTo(&header, QPoint(header.spinner()->width(), 0)).x(),
            PopoverHeaderButton::horizontalBleed);
  QTest::mouseClick(header.button(), Qt::LeftButton);
  EXPECT_EQ(opened, 1);
  header.setBusy(false);
  EXPECT_FALSE(shown(header.spinner(), &header));
}

TEST(PopoverFooterRow, RescanQuitAndUpdatesFollowTheirModels) {
  Guarded h;
  UpdaterBox box;
  int volumeReads = 0;
  int quits = 0;
  PopoverFooter footer(*h, box, {[&] { ++volumeReads; }, [&] { ++quits; }});
  footer.show();
  EXPECT_EQ(footer.versionLabel()->text(), "Version 0.1.0");

  // No updater: no check.
  EXPECT_FALSE(footer.updatesButton()->isEnabled());
  auto updater = std::make_shared<FakeUpdater>();
  box.setCurrent(updater);
  EXPECT_TRUE(footer.updatesButton()->isEnabled());
  QTest::mouseClick(footer.updatesButton(), Qt::LeftButton);
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 1);
  updater->setCanCheckForUpdates(false);
  EXPECT_FALSE(footer.updatesButton()->isEnabled());

  EXPECT_TRUE(footer.rescanButton()->isEnabled());
  EXPECT_TRUE(footer.rescanButton()->isAccent());
  EXPECT_FALSE(footer.quitButton()->isAccent());
  QTest::mouseClick(footer.rescanButton(), Qt::LeftButton);
  EXPECT_TRUE(h->isScanning());
  EXPECT_EQ(volumeReads, 1);
  // While scanning, Rescan waits; Quit never does.
  EXPECT_FALSE(footer.rescanButton()->isEnabled());
  QTest::mouseClick(footer.rescanButton(), Qt::LeftButton);
  EXPECT_EQ(volumeReads, 1);
  h.endRun();
  h.executor->settle();
  EXPECT_TRUE(footer.rescanButton()->isEnabled());

  QTest::mouseClick(footer.quitButton(), Qt::LeftButton);
  EXPECT_EQ(quits, 1);
  box.setCurrent(nullptr);
}

}  // namespace
}  // namespace hl
