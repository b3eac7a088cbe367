#include <gtest/gtest.h>

#include <functional>

#include "views/home/column_layout.h"
#include "views/home/item_row_texts.h"
#include "views/home/table_interactions.h"
#include "views/sample_items.h"

namespace hl {
namespace {

const std::string kHome = "/home/ada";

CacheItem item(const std::string& name, std::function<void(CacheItem&)> adjust = {}) {
  CacheItem result =
      test::sampleItem(kHome + "/" + name, CacheGroup::packageCaches, RiskLevel::safe, kHome);
  if (adjust) adjust(result);
  return result;
}

TEST(ColumnLayout, ColumnsAndWidthsFollowTheWidth) {
  struct Case {
    double width;
    bool modified;
    bool bar;
    int tags;
    double status;
    double name;
  };
  const std::vector<Case> cases = {
      {100, false, false, 1, 0, 0},         {400, false, false, 1, 120, 116},
      {520, false, false, 1, 136, 220},     {600, false, false, 1, 180, 256},
      {699, false, false, 1, 214, 321},     {700, false, true, 2, 185.6, 278.4},
      {819, false, true, 2, 233.2, 349.8},  {820, true, true, 2, 190.4, 285.6},
      {1094, true, true, 2, 300, 450},      {1600, true, true, 2, 300, 956},
  };
  for (const auto& c : cases) {
    const ColumnLayout layout(c.width);
    SCOPED_TRACE(c.width);
    EXPECT_EQ(layout.showModified, c.modified);
    EXPECT_EQ(layout.showSizeBar, c.bar);
    EXPECT_EQ(layout.maxTags, c.tags);
    EXPECT_NEAR(layout.status, c.status, 1e-9);
    EXPECT_NEAR(layout.name, c.name, 1e-9);
    EXPECT_EQ(layout.sizeColumn(), c.bar ? 148 : 76);
    if (c.width >= 164) {
      EXPECT_NEAR(layout.name + layout.status + ColumnLayout::fixedWidth(c.modified, c.bar),
                  c.width, 1e-9);
    }
  }
}

TEST(ItemRowTexts, LeadingCellSaysWhetherAndWhyARowCanBeTicked) {
  using Kind = ItemRowTexts::LeadingCell::Kind;
  struct Case {
    std::string name;
    CacheItem item;
    Kind kind;
    std::string text;
    std::optional<std::string> symbol;
  };
  const std::vector<Case> cases = {
      {"selectable", item("<b>x"), Kind::checkbox, "Include <b>x", std::nullopt},
      {"review folder, even when report only",
       item("a", [](CacheItem& i) {
         i.risk = RiskLevel::review;
         i.isReportOnly = true;
       }),
       Kind::reviewButton, "Review in File Manager", "eye"},
      {"report only",
       item("b", [](CacheItem& i) { i.isReportOnly = true; }), Kind::chartSymbol,
       "Safe: regenerated automatically; ticked by \u201cSelect all safe\u201d and Quick Clean.",
       "chart.bar"},
      {"in use, even when report only",
       item("c", [](CacheItem& i) {
         i.isReportOnly = true;
         i.inUseReason = "open by vim (pid 2)";
       }),
       Kind::lockSymbol, "In use: ~/c is open by vim (pid 2).", "lock.fill"},
      {"virtual review row",
       item("d", [](CacheItem& i) {
         i.kind = ItemKind::virtual_;
         i.risk = RiskLevel::review;
         i.name = "Unavailable simulators";
       }),
       Kind::lockSymbol,
       "Review only: Unavailable simulators is never selected here. Check it in your file manager.",
       "lock.fill"},
      {"unclean worktree",
       item("e", [](CacheItem& i) {
         i.risk = RiskLevel::moderate;
         i.worktree = WorktreeInfo{"/r", true, i.url, WorktreeStatus::dirty(true, 0)};
       }),
       Kind::lockSymbol, "Moderate: opt-in, never ticked automatically.", "lock.fill"},
  };
  for (const auto& c : cases) {
    const auto cell = ItemRowTexts::leadingCell(c.item, kHome);
    EXPECT_EQ(cell.kind, c.kind) << c.name;
    EXPECT_EQ(cell.text, c.text) << c.name;
    EXPECT_EQ(cell.symbol, c.symbol) << c.name;
  }
}

TEST(ItemRowTexts, SubtitleSizeAndHelpTexts) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const QTimeZone utc = QTimeZone::utc();
  const Date march2 = Date{std::chrono::seconds{1772452800}};  // 2026-03-02 12:00 UTC
  const CacheItem dated = item("cache", [&](CacheItem& i) {
    i.modified = march2 - std::chrono::hours(24 * 30);
    i.newestModification = march2;
  });
  struct Case {
    bool groupSelected;
    bool showModified;
    QString want;
  };
  for (const auto& c : std::vector<Case>{
           {false, false, "~/cache \u00b7 Package caches \u00b7 Mar 2"},
           {true, false, "~/cache \u00b7 Mar 2"},
           {false, true, "~/cache \u00b7 Package caches"},
           {true, true, "~/cache"}}) {
    EXPECT_EQ(ItemRowTexts::subtitle(dated, c.groupSelected, c.showModified, english, utc), c.want);
  }
  EXPECT_EQ(ItemRowTexts::subtitle(item("plain"), true, false, english, utc), "~/plain");
  EXPECT_EQ(ItemRowTexts::modifiedText(dated, english, utc), "2 Mar 2026");
  EXPECT_EQ(ItemRowTexts::modifiedText(item("plain"), english, utc), "");

  using Kind = ItemRowTexts::SizeCell::Kind;
  struct SizeCase {
    CacheItem item;
    bool needsAccess;
    Kind kind;
    std::string text;
  };
  const std::vector<SizeCase> sizes = {
      {item("a", [](CacheItem& i) { i.size = 1500000; }), false, Kind::text, "1.5 MB"},
      {item("b", [](CacheItem& i) {
         i.size = 1500000;
         i.isApproximate = true;
       }),
       false, Kind::text, "\u2248 1.5 MB"},
      {item("c", [](CacheItem& i) { i.size = -3; }), false, Kind::text, "0 bytes"},
      {item("d"), false, Kind::spinner, ""},
      {item("e", [](CacheItem& i) { i.kind = ItemKind::virtual_; }), false, Kind::dash, "\u2014"},
      {item("f", [](CacheItem& i) {
         i.size = 10;
         i.isUnreadable = true;
       }),
       false, Kind::noAccess, "No access"},
      {item("g", [](CacheItem& i) {
         i.group = CacheGroup::trash;
         i.size = 10;
       }),
       true, Kind::noAccess, "No access"},
      {item("h", [](CacheItem& i) {
         i.group = CacheGroup::trash;
         i.size = 10;
       }),
       false, Kind::text, "10 bytes"},
  };
  for (const auto& c : sizes) {
    const auto cell = ItemRowTexts::sizeCell(c.item, c.needsAccess);
    EXPECT_EQ(cell.kind, c.kind) << c.item.name;
    EXPECT_EQ(cell.text, c.text) << c.item.name;
    EXPECT_EQ(ItemRowTexts::showsAccessHint(c.item, c.needsAccess),
              c.needsAccess && c.item.group == CacheGroup::trash);
  }

  CacheItem virtualRow = item("v", [](CacheItem& i) {
    i.kind = ItemKind::virtual_;
    i.id = "virtual:simulators";
    i.subtitle = "3 unavailable devices";
  });
  EXPECT_EQ(ItemRowTexts::nameHelp(virtualRow), "3 unavailable devices");
  EXPECT_EQ(ItemRowTexts::nameHelp(item("p")), kHome + "/p");
  EXPECT_DOUBLE_EQ(ItemRowTexts::sizeFraction(item("s", [](CacheItem& i) { i.size = 50; }), 200), 0.25);
  EXPECT_DOUBLE_EQ(ItemRowTexts::sizeFraction(item("s"), 200), 0);
  EXPECT_DOUBLE_EQ(ItemRowTexts::sizeFraction(item("s", [](CacheItem& i) { i.size = 50; }), 0), 0);
}

TEST(TableInteractions, ClicksHighlightRowsLikeAList) {
  const std::vector<std::string> rows = {"r1", "r2", "r3", "r4", "r5", "r6", "r7"};
  using Set = std::set<std::string>;
  struct Case {
    std::string name;
    std::string clicked;
    Set before;
    bool command;
    bool shift;
    Set after;
    std::optional<std::string> details;
  };
  const std::vector<Case> cases = {
      {"plain click", "r2", {"r5"}, false, false, {"r2"}, "r2"},
      {"ctrl adds", "r2", {"r5"}, true, false, {"r2", "r5"}, std::nullopt},
      {"ctrl removes", "r5", {"r2", "r5"}, true, false, {"r2"}, std::nullopt},
      {"shift from the first highlighted row", "r5", {"r3", "r7"}, false, true,
       {"r3", "r4", "r5"}, std::nullopt},
      {"shift upwards", "r1", {"r3"}, false, true, {"r1", "r2", "r3"}, std::nullopt},
      {"shift with nothing highlighted", "r4", {}, false, true, {"r4"}, "r4"},
      {"shift on a row that is not listed", "gone", {"r3"}, false, true, {"gone"}, "gone"},
      {"ctrl wins over shift", "r6", {"r3"}, true, true, {"r3", "r6"}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto result = TableInteractions::select(c.clicked, rows, c.before, c.command, c.shift);
    EXPECT_EQ(result.selection, c.after) << c.name;
    EXPECT_EQ(result.showDetails, c.details) << c.name;
  }
  EXPECT_EQ(TableInteractions::contextIDs("r2", {"r2", "r3"}), (Set{"r2", "r3"}));
  EXPECT_EQ(TableInteractions::contextIDs("r4", {"r2", "r3"}), (Set{"r4"}));
}

TEST(TableInteractions, ContextMenuEntriesAndWhenTheyAreDisabled) {
  using Action = TableInteractions::MenuEntry::Action;
  const CacheItem folder = item("a");
  const CacheItem withTool = item("pnpm", [](CacheItem& i) {
    i.action = NativeAction{NativeAction::Tool::pnpm};
  });
  const CacheItem simulators = item("sim", [](CacheItem& i) {
    i.kind = ItemKind::virtual_;
    i.risk = RiskLevel::review;
    i.action = NativeAction{NativeAction::Tool::simctl};
  });
  struct Case {
    std::string name;
    std::size_t ids;
    std::vector<CacheItem> items;
    TableInteractions::MenuFacts facts;
    // Title and enabled state of each entry that is not a divider.
    std::vector<std::pair<std::string, bool>> want;
  };
  const TableInteractions::MenuFacts plain;
  TableInteractions::MenuFacts readOnly;
  readOnly.isReadOnly = true;
  TableInteractions::MenuFacts permanent;
  permanent.removalMode = RemovalMode::deletePermanently;
  TableInteractions::MenuFacts busy;
  busy.removalBusy = true;
  TableInteractions::MenuFacts pnpmRunning;
  pnpmRunning.runningActions = {"pnpm"};
  const std::string trash = "Move to Trash\u2026";
  const std::vector<Case> cases = {
      {"one folder", 1, {folder}, plain,
       {{"Open Containing Folder", true}, {"Copy Path", true}, {"Check", true}, {"Uncheck", true},
        {"Exclude", true}, {trash, true}}},
      {"two rows with tools: plural copy, no tool entry", 2, {withTool, withTool}, plain,
       {{"Open Containing Folder", true}, {"Copy Paths", true}, {"Check", true}, {"Uncheck", true},
        {"Exclude", true}, {trash, true}}},
      {"a virtual row with a tool", 1, {simulators}, plain,
       {{"Open Containing Folder", false}, {"Copy Path", true}, {"Check", false}, {"Uncheck", true},
        {"Prune with simctl\u2026", true}, {"Exclude", true}, {trash, false}}},
      {"read-only", 1, {withTool}, readOnly,
       {{"Open Containing Folder", true}, {"Copy Path", true}, {"Check", true}, {"Uncheck", true},
        {"Prune with pnpm\u2026", false}, {"Exclude", true}, {trash, false}}},
      {"the same tool already runs", 1, {withTool}, pnpmRunning,
       {{"Open Containing Folder", true}, {"Copy Path", true}, {"Check", true}, {"Uncheck", true},
        {"Prune with pnpm\u2026", false}, {"Exclude", true}, {trash, true}}},
      {"delete immediately", 1, {folder}, permanent,
       {{"Open Containing Folder", true}, {"Copy Path", true}, {"Check", true}, {"Uncheck", true},
        {"Exclude", true}, {"Delete Immediately\u2026", true}}},
      {"a removal would be refused", 1, {folder}, busy,
       {{"Open Containing Folder", true}, {"Copy Path", true}, {"Check", true}, {"Uncheck", true},
        {"Exclude", true}, {trash, false}}},
      {"ids without items", 2, {}, plain,
       {{"Open Containing Folder", false}, {"Copy Paths", true}, {"Check", false},
        {"Uncheck", true},
        {"Exclude", true}, {trash, false}}},
  };
  for (const auto& c : cases) {
    const auto entries = TableInteractions::menu(c.ids, c.items, c.facts);
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& entry : entries) {
      if (entry.action != Action::divider) got.emplace_back(entry.title, entry.enabled);
    }
    EXPECT_EQ(got, c.want) << c.name;
    EXPECT_EQ(entries.back().action, Action::remove);
    EXPECT_TRUE(entries.back().destructive);
  }
  // Dividers: after Copy, after Uncheck, after the tool entry, after Exclude.
  const auto entries = TableInteractions::menu(1, {withTool}, plain);
  std::vector<Action> actions;
  for (const auto& entry : entries) actions.push_back(entry.action);
  EXPECT_EQ(actions, (std::vector<Action>{Action::reveal, Action::copyPaths, Action::divider,
                                          Action::check, Action::uncheck, Action::divider,
                                          Action::nativeAction, Action::divider, Action::exclude,
                                          Action::divider, Action::remove}));
}

}  // namespace
}  // namespace hl
