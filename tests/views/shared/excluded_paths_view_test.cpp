#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "views/pages/page_fixtures.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/path_list_view.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using Paths = std::vector<std::string>;

TEST(ExcludedPathsView, NoExclusionsShowsThePlaceholderOverTheEmptyList) {
  test::PageState state;
  ExcludedPathsView view(state.settings);
  view.show();
  EXPECT_EQ(view.list()->rowCount(), 0);
  EXPECT_TRUE(view.list()->isPlaceholderShown());
  EXPECT_TRUE(view.list()->placeholder()->isVisible());
  auto* placeholder = dynamic_cast<EmptyStateView*>(view.list()->placeholder());
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->titleLabel()->text(), QStringLiteral("No exclusions"));
  EXPECT_EQ(placeholder->symbol(), "eye");
  ASSERT_NE(placeholder->messageLabel(), nullptr);
  EXPECT_EQ(placeholder->messageLabel()->text(),
            QStringLiteral("Right-click an item and choose Exclude to hide it from scans."));
}

TEST(ExcludedPathsView, ShowsEachPathWithTheHomeAsTildeAndTheStoredTextAsHelp) {
  test::PageState state;
  const std::string home = state.home();
  // As stored: the display form is canonical, the help text is not touched.
  const Paths stored = {home + "/.cache/huggingface", home, "/private/tmp/build/",
                        "/opt/<b>x", home + "-other/x", home + "/a/../b"};
  const std::vector<QString> shown = {"~/.cache/huggingface", "~", "/tmp/build", "/opt/<b>x",
                                      qtext(home + "-other/x"), "~/b"};
  state.settings.setExcludedPaths(stored);
  ExcludedPathsView view(state.settings);
  view.show();
  ASSERT_EQ(view.list()->rowCount(), static_cast<int>(stored.size()));
  EXPECT_FALSE(view.list()->isPlaceholderShown());
  for (int row = 0; row < view.list()->rowCount(); ++row) {
    const auto i = static_cast<std::size_t>(row);
    EXPECT_EQ(view.list()->pathLabel(row)->text(), shown[i]);
    EXPECT_EQ(view.list()->pathLabel(row)->toolTip(), plainToolTip(stored[i]));
    EXPECT_EQ(view.list()->button(row)->text(), QStringLiteral("Include"));
  }
  // Tooltips take markup: the stored "<b>x" reads as written.
  EXPECT_TRUE(view.list()->pathLabel(3)->toolTip().contains(QStringLiteral("&lt;b&gt;x")));
}

TEST(ExcludedPathsView, AVeryLongPathStaysOnOneLineShortenedInTheMiddle) {
  test::PageState state;
  const std::string path = "/srv/" + std::string(300, 'a') + "/tail-folder";
  state.settings.setExcludedPaths({path});
  ExcludedPathsView view(state.settings);
  view.resize(500, 300);
  view.show();
  ElidedLabel* label = view.list()->pathLabel(0);
  const QString drawn = label->shownText();
  EXPECT_LT(drawn.size(), static_cast<qsizetype>(path.size()));
  EXPECT_TRUE(drawn.startsWith(QStringLiteral("/srv/"))) << drawn.toStdString();
  EXPECT_TRUE(drawn.endsWith(QStringLiteral("tail-folder"))) << drawn.toStdString();
  EXPECT_TRUE(drawn.contains(QChar(0x2026)));
  EXPECT_EQ(label->height(), label->fontMetrics().height());
}

TEST(ExcludedPathsView, IncludeTakesThePathBackAndTheLastOneBringsTheEmptyStateBack) {
  test::PageState state;
  state.settings.setExcludedPaths({"/a", "/b", "/c"});
  ExcludedPathsView view(state.settings);
  view.show();
  struct Step {
    int row;
    Paths left;
  };
  for (const Step& step : {Step{1, {"/a", "/c"}}, Step{1, {"/a"}}, Step{0, {}}}) {
    QTest::mouseClick(view.list()->button(step.row), Qt::LeftButton);
    EXPECT_EQ(state.settings.excludedPaths(), step.left);
    EXPECT_EQ(view.list()->rowCount(), static_cast<int>(step.left.size()));
  }
  EXPECT_TRUE(view.list()->isPlaceholderShown());
  // Written through: the file no longer lists the paths.
  const std::string file = test::settingsText(state.settingsFile);
  EXPECT_EQ(file.find("/a"), std::string::npos) << file;

  // An exclusion made elsewhere (the Home page) shows at once.
  state.settings.exclude({"/z"});
  EXPECT_EQ(view.list()->rowCount(), 1);
  EXPECT_FALSE(view.list()->isPlaceholderShown());
}

TEST(ExcludedPathsView, TheKeyboardReachesEveryIncludeButtonAndStaysInTheList) {
  test::PageState state;
  state.settings.setExcludedPaths({"/a", "/b", "/c"});
  ExcludedPathsView view(state.settings);
  view.show();
  QApplication::setActiveWindow(&view);
  view.list()->button(0)->setFocus();
  ASSERT_TRUE(view.list()->button(0)->hasFocus());
  QTest::keyClick(view.list()->button(0), Qt::Key_Tab);
  EXPECT_TRUE(view.list()->button(1)->hasFocus());
  // Pressing it with the space bar includes that path; the focus moves to the row now there.
  QTest::keyClick(view.list()->button(1), Qt::Key_Space);
  EXPECT_EQ(state.settings.excludedPaths(), (Paths{"/a", "/c"}));
  EXPECT_TRUE(view.list()->button(1)->hasFocus());
}

}  // namespace
}  // namespace hl
