#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "support/manual_clock.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/confirm_trash_texts.h"
#include "views/shared/elided_label.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using Row = ConfirmTrashSheet::Row;

struct Harness {
  explicit Harness(ConfirmTrashSheet::Contents contents) {
    contents.onConfirm = [this] { ++confirms; };
    contents.onCancel = [this] { ++cancels; };
    sheet = std::make_unique<ConfirmTrashSheet>(std::move(contents), clock.clock());
    sheet->show();
  }
  void wait(std::chrono::milliseconds by) {
    clock.advance(by);
    sheet->refreshArming();
  }

  test::ManualMonotonicClock clock;
  std::unique_ptr<ConfirmTrashSheet> sheet;
  int confirms = 0;
  int cancels = 0;
};

ConfirmTrashSheet::Contents contents(std::vector<Row> rows, bool readOnly = false,
                                     bool permanent = false) {
  ConfirmTrashSheet::Contents c;
  c.title = ConfirmTrashTexts::title(rows.size(), permanent);
  c.rows = std::move(rows);
  c.totalSize = 3000;
  c.isReadOnly = readOnly;
  c.isPermanent = permanent;
  return c;
}

std::vector<Row> rows(int count) {
  std::vector<Row> result;
  for (int i = 0; i < count; ++i) {
    result.push_back(Row{"/h/item" + std::to_string(i), "item" + std::to_string(i),
                         "~/item" + std::to_string(i), 1000, {}});
  }
  return result;
}

TEST(ConfirmTrashTexts, TitlesLabelsAndSummariesCountRows) {
  struct Case {
    std::size_t count;
    bool permanent;
    std::string title;
    std::string label;
  };
  const std::vector<Case> cases = {
      {1, false, "Move 1 item to the Trash?", "Move 1 item to Trash"},
      {2, false, "Move 2 items to the Trash?", "Move 2 items to Trash"},
      {0, false, "Move 0 items to the Trash?", "Move 0 items to Trash"},
      {1, true, "Delete 1 item permanently?", "Delete 1 item"},
      {12, true, "Delete 12 items permanently?", "Delete 12 items"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConfirmTrashTexts::title(c.count, c.permanent), c.title);
    EXPECT_EQ(ConfirmTrashTexts::confirmLabel(c.count, false, c.permanent), c.label);
    EXPECT_EQ(ConfirmTrashTexts::confirmLabel(c.count, true, c.permanent), "Read-only mode");
  }
  EXPECT_EQ(ConfirmTrashTexts::summaryLine(1, 1500000, false), "1 item \u00b7 1.5 MB");
  EXPECT_EQ(ConfirmTrashTexts::summaryLine(3, 1500000, true), "3 items \u00b7 \u2248 1.5 MB");
  EXPECT_EQ(ConfirmTrashTexts::summaryLine(0, -5, false), "0 items \u00b7 0 bytes");
  EXPECT_EQ(ConfirmTrashTexts::rowSize(std::nullopt), "\u2014");
  EXPECT_EQ(ConfirmTrashTexts::rowSize(-1), "0 bytes");
  EXPECT_EQ(ConfirmTrashTexts::rowSize(2000), "2 KB");
  EXPECT_FALSE(ConfirmTrashTexts::isApproximate({1, 0, 5}));
  EXPECT_TRUE(ConfirmTrashTexts::isApproximate({1, std::nullopt}));
  EXPECT_FALSE(ConfirmTrashTexts::isApproximate({}));
}

TEST(ConfirmTrashSheet, ArmsOneSecondAfterItIsShown) {
  Harness h(contents(rows(2)));
  EXPECT_EQ(h.sheet->windowModality(), Qt::WindowModal);
  EXPECT_FALSE(h.sheet->confirmButton()->isEnabled());

  // Return and clicks do nothing before the second is up.
  QTest::keyClick(h.sheet.get(), Qt::Key_Return);
  QTest::mouseClick(h.sheet->confirmButton(), Qt::LeftButton);
  h.wait(999ms);
  EXPECT_FALSE(h.sheet->isArmed());
  QTest::keyClick(h.sheet.get(), Qt::Key_Return);
  EXPECT_EQ(h.confirms, 0);

  h.wait(1ms);
  EXPECT_TRUE(h.sheet->isArmed());
  EXPECT_TRUE(h.sheet->confirmButton()->isEnabled());
  QTest::keyClick(h.sheet.get(), Qt::Key_Return);
  EXPECT_EQ(h.confirms, 1);
  QTest::mouseClick(h.sheet->confirmButton(), Qt::LeftButton);
  EXPECT_EQ(h.confirms, 2);
  EXPECT_EQ(h.cancels, 0);
  // It never closes itself.
  EXPECT_TRUE(h.sheet->isVisible());
  h.sheet->dismiss();
  EXPECT_FALSE(h.sheet->isVisible());
}

// The keyboard starts on the list of rows, named for them, never on Cancel (where Return
// cancels) nor on an unarmed button; from the list, Return confirms once the button is armed.
TEST(ConfirmTrashSheet, TheKeyboardStartsOnTheListOfRows) {
  for (const int count : {2, 20}) {
    SCOPED_TRACE(count);
    Harness h(contents(rows(count)));
    QApplication::setActiveWindow(h.sheet.get());
    auto* list = h.sheet->findChild<QScrollArea*>(QStringLiteral("rows"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(h.sheet->focusWidget(), list);
    EXPECT_EQ(list->accessibleName(), QStringLiteral("Items"));
    h.wait(1s);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(h.confirms, 1);
    EXPECT_EQ(h.cancels, 0);
  }
}

// Return and Enter answer the button that has the keyboard: on Cancel they cancel, armed or not;
// Escape cancels from anywhere.
TEST(ConfirmTrashSheet, ReturnOnCancelCancels) {
  for (const bool armed : {false, true}) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      SCOPED_TRACE(std::string(armed ? "armed " : "unarmed ") + std::to_string(key));
      Harness h(contents(rows(1)));
      QApplication::setActiveWindow(h.sheet.get());
      if (armed) h.wait(1s);
      h.sheet->cancelButton()->setFocus(Qt::TabFocusReason);
      QTest::keyClick(h.sheet->cancelButton(), key);
      EXPECT_EQ(h.cancels, 1);
      EXPECT_EQ(h.confirms, 0);
      // Leaving Cancel gives Return back to the confirm button.
      h.sheet->rowList()->setFocus(Qt::TabFocusReason);
      QTest::keyClick(h.sheet->rowList(), key);
      EXPECT_EQ(h.confirms, armed ? 1 : 0);
    }
  }
  Harness h(contents(rows(1)));
  QTest::keyClick(h.sheet.get(), Qt::Key_Escape);
  EXPECT_EQ(h.cancels, 1);
  EXPECT_TRUE(h.sheet->isVisible());
  QTest::mouseClick(h.sheet->cancelButton(), Qt::LeftButton);
  EXPECT_EQ(h.cancels, 2);
  h.sheet->close();
  EXPECT_EQ(h.cancels, 3);
  EXPECT_EQ(h.confirms, 0);
}

TEST(ConfirmTrashSheet, ReadOnlyNeverArmsTheConfirmButton) {
  for (bool permanent : {false, true}) {
    Harness h(contents(rows(2), true, permanent));
    h.wait(5s);
    EXPECT_FALSE(h.sheet->confirmButton()->isEnabled());
    EXPECT_EQ(h.sheet->confirmButton()->text(), QStringLiteral("Read-only mode"));
    QTest::keyClick(h.sheet.get(), Qt::Key_Return);
    QTest::mouseClick(h.sheet->confirmButton(), Qt::LeftButton);
    EXPECT_EQ(h.confirms, 0);
    QTest::keyClick(h.sheet.get(), Qt::Key_Escape);
    EXPECT_EQ(h.cancels, 1);
  }
}

TEST(ConfirmTrashSheet, ShowsRowsTotalsAndMessagesAsWritten) {
  std::vector<Row> list = {
      {"/h/<b>x", "<b>x", "~/<b>x", std::nullopt,
       StatusGrammar::tags(std::string_view("contains worktree a (dirty)"))},
      {"/h/y", "y", "~/y", 2000, {}},
  };
  auto c = contents(list);
  c.totalSize = 2000;
  c.warnings = {"2 worktree(s) are not clean <now>."};
  c.notes = {"1 clean registered worktree(s) go to the Trash."};
  Harness h(std::move(c));

  // The unmeasured row reads "—" and makes the total approximate.
  EXPECT_EQ(h.sheet->summaryLabel()->text(), QStringLiteral("2 items \u00b7 \u2248 2 KB"));
  QWidget* first = h.sheet->findChild<QWidget*>(QStringLiteral("/h/<b>x"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->findChild<QLabel*>(QStringLiteral("size"))->text(), QStringLiteral("\u2014"));
  EXPECT_EQ(first->findChild<ElidedLabel*>(QStringLiteral("name"))->text(), QStringLiteral("<b>x"));
  QWidget* second = h.sheet->findChild<QWidget*>(QStringLiteral("/h/y"));
  EXPECT_EQ(second->findChild<QLabel*>(QStringLiteral("size"))->text(), QStringLiteral("2 KB"));

  std::vector<QString> texts;
  for (auto* label : h.sheet->findChildren<QLabel*>()) {
    if (label->textFormat() == Qt::PlainText && !label->text().isEmpty()) texts.push_back(label->text());
  }
  const auto has = [&](const QString& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_TRUE(has(QStringLiteral("2 worktree(s) are not clean <now>.")));
  EXPECT_TRUE(has(QStringLiteral("1 clean registered worktree(s) go to the Trash.")));
  EXPECT_TRUE(has(QStringLiteral("Items are moved to the Trash, not deleted. Disk space is "
                                 "reclaimed when you empty the Trash.")));
  EXPECT_TRUE(has(QStringLiteral("Move 2 items to the Trash?")));
  EXPECT_EQ(h.sheet->width(), 580);
}

TEST(ConfirmTrashSheet, TheRowListStaysBetween160And300High) {
  for (const auto& [count, height] : std::vector<std::pair<int, int>>{{3, 160}, {40, 300}}) {
    Harness h(contents(rows(count)));
    auto* list = h.sheet->findChild<QScrollArea*>(QStringLiteral("rows"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->height(), height) << count;
  }
}

}  // namespace
}  // namespace hl

namespace hl {
namespace {

// The rows' chips stand in one column whatever their sizes read, "—" as much as "123.45 GB".
TEST(ConfirmTrashSheet, ChipsLineUpWhateverTheSizeReads) {
  const auto tags = StatusGrammar::tags(std::string_view("contains worktree a (dirty)"));
  Harness h(contents({{"/h/a", "a", "~/a", std::nullopt, tags},
                      {"/h/b", "b", "~/b", 123'450'000'000, tags},
                      {"/h/c", "c", "~/c", 999, tags}}));
  QApplication::processEvents();
  std::vector<int> chipEnds;
  std::vector<int> sizeLefts;
  for (const char* id : {"/h/a", "/h/b", "/h/c"}) {
    QWidget* row = h.sheet->findChild<QWidget*>(QString::fromUtf8(id));
    ASSERT_NE(row, nullptr);
    const QWidget* chips = row->findChild<StatusTagRow*>();
    ASSERT_NE(chips, nullptr);
    chipEnds.push_back(chips->mapTo(h.sheet.get(), QPoint(chips->width(), 0)).x());
    const QLabel* size = row->findChild<QLabel*>(QStringLiteral("size"));
    sizeLefts.push_back(size->mapTo(h.sheet.get(), QPoint(0, 0)).x());
    // The size is never cut.
    EXPECT_LE(size->fontMetrics().horizontalAdvance(size->text()), size->width()) << id;
  }
  EXPECT_EQ(chipEnds[0], chipEnds[1]);
  EXPECT_EQ(chipEnds[1], chipEnds[2]);
  EXPECT_EQ(sizeLefts[0], sizeLefts[1]);
}

}  // namespace
}  // namespace hl
