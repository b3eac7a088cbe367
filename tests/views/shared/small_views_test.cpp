#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QLabel>
#include <cmath>
#include <limits>
#include <memory>

#include "views/shared/destructive_button.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/palette_colors.h"
#include "views/shared/panel_section.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/size_bar.h"
#include "views/shared/spinner.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_icon.h"

namespace hl {
namespace {

StatusTagModel chip(std::string title, std::optional<std::string> symbol = "lock.fill",
                    std::string help = "help") {
  return StatusTagModel{StatusTagModel::Kind::state, std::move(title), std::move(symbol),
                        StatusTint::locked, std::move(help)};
}

QPalette paletteWithWindow(QColor window, QColor text) {
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  return palette;
}

TEST(StatusTag, ShowsItsHelpAsWrittenAndIsNamedByItsTitle) {
  StatusTag tag(chip("In use", "lock.fill", "In use: ~/<b>x is open.\n\u2022 Dirty"));
  EXPECT_EQ(tag.accessibleName(), QStringLiteral("In use"));
  EXPECT_TRUE(tag.toolTip().contains(QStringLiteral("&lt;b&gt;x"))) << tag.toolTip().toStdString();
  EXPECT_FALSE(tag.toolTip().contains(QStringLiteral("<b>x")));
  EXPECT_TRUE(tag.toolTip().contains(QStringLiteral("<br")));
  EXPECT_EQ(tag.accessibleDescription(), QStringLiteral("In use: ~/<b>x is open.\n\u2022 Dirty"));
}

TEST(StatusTag, ASymbolAddsItsWidthAndGapOnly) {
  const QFont font = QApplication::font();
  const QSize with = StatusTag::sizeFor(chip("Dirty"), font);
  const QSize without = StatusTag::sizeFor(chip("Dirty", std::nullopt), font);
  EXPECT_EQ(with.width() - without.width(), 11 + 3);
  EXPECT_EQ(with.height(), 20);
  const QFontMetrics metrics(sizedFont(font, 11, QFont::Medium));
  EXPECT_EQ(without.width(), 14 + metrics.horizontalAdvance(QStringLiteral("Dirty")));
}

TEST(StatusTag, CapsuleFillIsFaintInBothPalettes) {
  struct Case {
    QPalette palette;
    double opacity;
  };
  const std::vector<Case> cases = {
      {paletteWithWindow(Qt::white, Qt::black), 0.12},
      {paletteWithWindow(QColor(30, 30, 30), Qt::white), 0.14},
  };
  for (const auto& c : cases) {
    QImage image(80, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    StatusTag::paint(painter, QRectF(0, 0, 80, 20), chip("", std::nullopt), c.palette,
                     QApplication::font());
    painter.end();
    // Inside the capsule, away from the border and the (empty) title.
    EXPECT_NEAR(qAlpha(image.pixel(40, 10)), c.opacity * 255, 2);
    // The border is stronger than the fill.
    EXPECT_GT(qAlpha(image.pixel(40, 0)), qAlpha(image.pixel(40, 10)));
  }
}

TEST(StatusTagRow, FallsBackToTheCompactRowWhenTheFullOneDoesNotFit) {
  const std::vector<StatusTagModel> full = {chip("Moderate"), chip("Unpushed \u00b72")};
  const QFont font = QApplication::font();
  const int fullWidth = StatusTagRow::rowWidth(full, font);
  EXPECT_EQ(fullWidth, StatusTag::sizeFor(full[0], font).width() +
                           StatusTag::sizeFor(full[1], font).width() + 4);
  struct Case {
    int width;
    std::optional<std::vector<StatusTagModel>> compact;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {fullWidth, std::nullopt, {"Moderate", "Unpushed \u00b72"}},
      {fullWidth - 1, std::nullopt, {"Moderate"}},
      {10, std::nullopt, {"Moderate"}},
      {fullWidth - 1, std::vector<StatusTagModel>{chip("Dirty")}, {"Dirty"}},
  };
  for (const auto& c : cases) {
    StatusTagRow row(full, c.compact);
    row.resize(c.width, 20);
    std::vector<std::string> shown;
    for (const auto& tag : row.shownTags()) shown.push_back(tag.title);
    EXPECT_EQ(shown, c.shown) << c.width;
  }
  StatusTagRow empty({});
  empty.resize(200, 20);
  EXPECT_TRUE(empty.shownTags().empty());
  EXPECT_EQ(empty.sizeHint().width(), 0);
}

TEST(DestructiveButton, MetricsFollowTheControlSize) {
  using Size = DestructiveButton::ControlSize;
  const DestructiveButton::Metrics large{13, 14, 30, 8};
  const DestructiveButton::Metrics small{12, 10, 22, 6};
  const std::vector<std::pair<Size, DestructiveButton::Metrics>> cases = {
      {Size::mini, small}, {Size::small, small}, {Size::regular, small},
      {Size::large, large}, {Size::extraLarge, large}};
  for (const auto& [size, want] : cases) {
    EXPECT_EQ(DestructiveButton::metrics(size), want) << static_cast<int>(size);
    DestructiveButton button(QStringLiteral("Move to Trash"));
    button.setControlSize(size);
    EXPECT_GE(button.sizeHint().height(), want.minimumHeight);
  }
}

TEST(DestructiveButton, DisabledKeepsItsSizeLooksGreyAndIgnoresClicks) {
  DestructiveButton button(QStringLiteral("Delete 2 items"));
  button.setIcon(symbolIcon("trash"));
  button.setPalette(paletteWithWindow(Qt::white, Qt::black));
  button.resize(button.sizeHint());
  const QSize enabledSize = button.sizeHint();
  const QImage enabled = button.grab().toImage();
  const QColor red = enabled.pixelColor(3, enabled.height() / 2);
  EXPECT_GT(red.red(), 150);
  EXPECT_LT(red.green(), 60);

  button.setEnabled(false);
  EXPECT_EQ(button.sizeHint(), enabledSize);
  const QColor grey = button.grab().toImage().pixelColor(3, enabled.height() / 2);
  EXPECT_LT(std::abs(grey.red() - grey.green()), 10);

  QSignalSpy clicked(&button, &QPushButton::clicked);
  button.show();
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicked.count(), 0);
}

// In a column narrower than its label, a filled button wraps between words and grows taller,
// and a word wider than the column is set smaller: its label always fits.
TEST(DestructiveButton, ALabelWiderThanItsColumnWrapsOrShrinksAndIsNeverCut) {
  for (const int columnWidth : {188, 130, 400}) {
    SCOPED_TRACE(columnWidth);
    QWidget column;
    auto* layout = new QVBoxLayout(&column);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* button = new DestructiveButton(QStringLiteral("Delete Selected Immediately\u2026"));
    button->setIcon(symbolIcon("trash"));
    button->setControlSize(FilledButton::ControlSize::large);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(button);
    layout->addStretch(1);
    column.setFixedWidth(columnWidth);
    column.resize(columnWidth, 200);
    column.show();
    for (int pass = 0; pass < 4; ++pass) QApplication::processEvents();
    EXPECT_LE(button->width(), columnWidth);
    const FilledButton::Label set = button->label(button->width());
    const auto m = FilledButton::metrics(FilledButton::ControlSize::large);
    EXPECT_LE(set.block.width(), button->width() - 2 * m.horizontalPadding);
    EXPECT_LE(set.block.height() + 8, button->height());
    const QFontMetrics fm(set.font);
    int lines = 1;
    if (fm.horizontalAdvance(button->text()) > set.block.width()) {
      lines = set.block.height() / fm.lineSpacing();
      EXPECT_GE(lines, 2);
    }
    EXPECT_EQ(lines == 1, columnWidth == 400);
  }
}

TEST(SizeBar, FillWidthAndSpokenValue) {
  struct Case {
    double fraction;
    double width;
    double fill;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Case> cases = {{0.0001, 100, 2}, {0, 100, 0},   {-0.5, 100, 0},
                                   {2, 100, 100},    {0.5, 64, 32}, {1, 64, 64},
                                   {nan, 100, 0},    {0.5, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(SizeBar::fillWidth(c.fraction, c.width), c.fill) << c.fraction;
  }
  EXPECT_EQ(SizeBar::accessibilityValue(1.5), QStringLiteral("150 percent"));
  EXPECT_EQ(SizeBar::accessibilityValue(0.004), QStringLiteral("0 percent"));
  EXPECT_EQ(SizeBar::accessibilityValue(0.425), QStringLiteral("43 percent"));
  SizeBar bar(0.25);
  EXPECT_EQ(bar.accessibleDescription(), QStringLiteral("25 percent"));
}

TEST(Spinner, TheSharedTimerRunsOnlyWhileASpinnerIsVisible) {
  SpinnerTicker& ticker = SpinnerTicker::shared();
  ASSERT_FALSE(ticker.isRunning());
  auto first = std::make_unique<Spinner>();
  EXPECT_FALSE(ticker.isRunning());
  first->show();
  EXPECT_TRUE(ticker.isRunning());
  Spinner second;
  second.show();
  first->hide();
  EXPECT_TRUE(ticker.isRunning());
  second.hide();
  EXPECT_FALSE(ticker.isRunning());
  first->show();
  first.reset();
  EXPECT_FALSE(ticker.isRunning());
  EXPECT_EQ(ticker.clientCount(), 0);

  const int before = ticker.phase();
  ticker.tick();
  EXPECT_EQ(ticker.phase(), (before + 1) % 12);
}

TEST(SidebarHeader, ShowsItsTitleAsWrittenInOneLine) {
  SidebarHeader header(QStringLiteral("<b>Home"));
  EXPECT_EQ(header.textFormat(), Qt::PlainText);
  EXPECT_FALSE(header.wordWrap());
  EXPECT_EQ(header.font().pixelSize(), 20);
  EXPECT_EQ(header.contentsMargins(), QMargins(16, 12, 16, 12));
}

TEST(PanelSection, TitleInCapitalsAndAnInfoSymbolOnlyWithInfo) {
  PanelSection plain(QStringLiteral("Last cleanup"));
  EXPECT_EQ(plain.titleLabel()->text(), QStringLiteral("LAST CLEANUP"));
  EXPECT_EQ(plain.infoSymbol(), nullptr);

  PanelSection withInfo(QStringLiteral("Reclaimable"), QStringLiteral("Sizes <are> allocated"));
  ASSERT_NE(withInfo.infoSymbol(), nullptr);
  EXPECT_EQ(withInfo.infoSymbol()->accessibleName(), QStringLiteral("Sizes <are> allocated"));
  EXPECT_TRUE(withInfo.infoSymbol()->toolTip().contains(QStringLiteral("&lt;are&gt;")));
  EXPECT_EQ(withInfo.contentLayout()->spacing(), 8);
}

}  // namespace
}  // namespace hl
