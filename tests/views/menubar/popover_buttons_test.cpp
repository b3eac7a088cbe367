#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "views/menubar/popover_buttons.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using Footer = PopoverFooterButton;
using Link = PopoverLinkButton;

void enter(QWidget* widget) {
  const QPointF inside(2, 2);
  QEnterEvent event(inside, widget->mapToGlobal(inside), widget->mapToGlobal(inside));
  QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

TEST(PopoverButtonStyles, FooterFillsAndBordersByTheFirstRuleThatApplies) {
  struct Case {
    const char* name;
    bool accent, enabled, pressed, hovered;
    Footer::Look look;
  };
  const std::vector<Case> cases = {
      {"plain at rest", false, true, false, false, {Footer::Ink::primary, 0.05, 0.18, 1, false}},
      {"accent at rest", true, true, false, false, {Footer::Ink::accent, 0.1, 0.35, 1, false}},
      {"hovered", false, true, false, true, {Footer::Ink::primary, 0.16, 0.18, 1, false}},
      {"accent hovered", true, true, false, true, {Footer::Ink::accent, 0.16, 0.35, 1, false}},
      {"pressed and hovered", true, true, true, true, {Footer::Ink::accent, 0.22, 0.35, 1, false}},
      {"pressed", false, true, true, false, {Footer::Ink::primary, 0.22, 0.18, 1, false}},
      {"disabled accent", true, false, false, false,
       {Footer::Ink::primary, 0.04, 0.1, 0.55, true}},
      {"disabled, hovered and pressed", false, false, true, true,
       {Footer::Ink::primary, 0.04, 0.1, 0.55, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Footer::look(c.accent, c.enabled, c.pressed, c.hovered), c.look);
  }
}

TEST(PopoverButtonStyles, LinkAndHeaderLooks) {
  EXPECT_EQ(Link::look(true, false, false), (Link::Look{false, 1.0}));
  EXPECT_EQ(Link::look(true, false, true), (Link::Look{true, 1.0}));
  EXPECT_EQ(Link::look(true, true, true), (Link::Look{true, 0.7}));
  EXPECT_EQ(Link::look(false, true, true), (Link::Look{false, std::nullopt}));

  EXPECT_EQ(PopoverHeaderButton::highlightOpacity(false, false), 0);
  EXPECT_EQ(PopoverHeaderButton::highlightOpacity(false, true), 0.07);
  EXPECT_EQ(PopoverHeaderButton::highlightOpacity(true, false), 0.12);
  EXPECT_EQ(PopoverHeaderButton::highlightOpacity(true, true), 0.12);
}

TEST(PopoverButtonStyles, ADisabledButtonNeverLightsUpAndTheKeyboardShowsARing) {
  Footer rescan(QStringLiteral("Rescan"), true);
  rescan.show();
  rescan.setEnabled(false);
  enter(&rescan);
  EXPECT_FALSE(rescan.isHovered());
  EXPECT_EQ(rescan.currentLook().fillOpacity, 0.04);
  leave(&rescan);

  rescan.setEnabled(true);
  enter(&rescan);
  EXPECT_TRUE(rescan.isHovered());
  EXPECT_EQ(rescan.currentLook().fillOpacity, 0.16);
  // Disabled under the pointer: the hover goes at once.
  rescan.setEnabled(false);
  EXPECT_FALSE(rescan.isHovered());

  // Tab reaches each and a ring shows where the keyboard is; a click takes no focus.
  rescan.setEnabled(true);
  Link link(QStringLiteral("Check for Updates"));
  PopoverHeaderButton header;
  QWidget window;
  auto* row = new QHBoxLayout(&window);
  for (QWidget* button : std::initializer_list<QWidget*>{&rescan, &link, &header}) {
    row->addWidget(button);
  }
  window.show();
  QApplication::setActiveWindow(&window);
  for (QWidget* button : std::initializer_list<QWidget*>{&rescan, &link, &header}) {
    SCOPED_TRACE(button->accessibleName().toStdString());
    EXPECT_EQ(button->focusPolicy(), Qt::TabFocus);
    EXPECT_FALSE(button->accessibleName().isEmpty());
    const QImage unfocused = button->grab().toImage();
    button->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(button->grab().toImage(), unfocused);
    button->clearFocus();
    button->setFocus(Qt::TabFocusReason);
    EXPECT_NE(button->grab().toImage(), unfocused);
    button->clearFocus();
  }
  for (QWidget* button : std::initializer_list<QWidget*>{&rescan, &link, &header}) {
    row->removeWidget(button);
    button->setParent(nullptr);
  }
  EXPECT_EQ(header.toolTip(), plainToolTip(std::string_view("Open the Harbor Lume window")));
}

TEST(PopoverButtonStyles, TheLinksHandComesAndGoesWithItsHover) {
  QWidget popover;
  auto& link = *new Link(QStringLiteral("Check for Updates"), &popover);
  popover.show();
  QSignalSpy clicks(&link, &QAbstractButton::clicked);

  link.setEnabled(false);
  enter(&link);
  EXPECT_FALSE(link.isHovered());
  EXPECT_FALSE(link.testAttribute(Qt::WA_SetCursor));
  leave(&link);

  link.setEnabled(true);
  enter(&link);
  EXPECT_TRUE(link.isHovered());
  EXPECT_TRUE(link.currentLook().underlined);
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  leave(&link);
  EXPECT_FALSE(link.isHovered());
  EXPECT_FALSE(link.testAttribute(Qt::WA_SetCursor));

  // Hidden under the pointer (the popover closes): the hand goes with it.
  enter(&link);
  link.hide();
  EXPECT_FALSE(link.isHovered());
  EXPECT_FALSE(link.testAttribute(Qt::WA_SetCursor));

  link.show();
  QTest::mouseClick(&link, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

TEST(PopoverButtonStyles, TheHeaderHighlightLeavesItsLabelInPlace) {
  PopoverHeaderButton header;
  header.resize(292, header.sizeHint().height());
  header.show();
  auto* title = header.findChild<QLabel*>(QStringLiteral("headerTitle"));
  ASSERT_TRUE(title);
  const QRect before = title->geometry();
  // The padding around the label is the highlight's bleed.
  EXPECT_EQ(title->x() - 20 - 8, PopoverHeaderButton::horizontalBleed);
  const int content = std::max(20, title->sizeHint().height());
  EXPECT_EQ(header.height(), content + 2 * PopoverHeaderButton::verticalBleed);
  enter(&header);
  EXPECT_TRUE(header.isHovered());
  QTest::mousePress(&header, Qt::LeftButton);
  EXPECT_TRUE(header.isDown());
  EXPECT_EQ(title->geometry(), before);
  QSignalSpy clicks(&header, &QAbstractButton::clicked);
  QTest::mouseRelease(&header, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  leave(&header);
  EXPECT_FALSE(header.isHovered());
}

}  // namespace
}  // namespace hl
