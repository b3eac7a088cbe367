#include "views/home/home_sidebar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/home_texts.h"
#include "views/shared/accessibility.h"
#include "views/shared/coalesced_update.h"
#include "views/shared/palette_colors.h"
#include "views/shared/scroll_bar_look.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/spinner.h"
#include "views/shared/symbol_view.h"
#include "views/shared/tab_list.h"
#include "views/shared/text.h"

namespace hl {

namespace {

// Children of a button draw only: the button takes every click.
template <typename W>
W* passive(W* widget) {
  widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  return widget;
}

void drawFocusRing(QPainter& painter, const QWidget& widget, const QRectF& shape, double radius) {
  if (!widget.hasFocus()) return;
  PaletteColors::drawFocusRing(painter, widget.palette(), shape.adjusted(1, 1, -1, -1), radius);
}

}  // namespace

// --- All reclaimable -----------------------------------------------------------------------------

AllReclaimableCard::AllReclaimableCard(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
  setHelp(this, std::string_view(HomeTexts::allReclaimableHelp));
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(12, 12, 12, 12);
  row->setSpacing(8);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  auto* title = passive(plainLabel(QString::fromUtf8(HomeTexts::allReclaimableTitle), this));
  title->setFont(sizedFont(font(), 13, QFont::DemiBold));
  texts->addWidget(title);
  headline_ = passive(plainLabel({}, this));
  headline_->setFont(sizedFont(font(), 22, QFont::DemiBold));
  texts->addWidget(headline_);
  detail_ = passive(plainLabel({}, this));
  detail_->setFont(sizedFont(font(), 11));
  detail_->setWordWrap(true);
  makeSecondary(detail_);
  texts->addWidget(detail_);
  row->addLayout(texts, 1);
  row->addWidget(passive(new SymbolView("chevron.right", 12, {}, this)), 0, Qt::AlignVCenter);
}

void AllReclaimableCard::setValues(const QString& headline, const QString& detail,
                                   bool highlighted) {
  headline_->setText(headline);
  detail_->setText(detail);
  highlighted_ = highlighted;
  setAccessibleName(QString::fromUtf8(HomeTexts::allReclaimableTitle) + QStringLiteral(", ") +
                    headline);
  setAccessibleDescription(detail);
  update();
}

QSize AllReclaimableCard::sizeHint() const { return layout()->sizeHint(); }

void AllReclaimableCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(highlighted_ ? PaletteColors::withOpacity(PaletteColors::accent(palette()), 0.14)
                                : PaletteColors::primary(palette(), 0.06));
  painter.drawRoundedRect(QRectF(rect()), 10, 10);
  drawFocusRing(painter, *this, QRectF(rect()), 10);
}

// --- Group rows ----------------------------------------------------------------------------------

GroupRow::GroupRow(CacheGroup group, QWidget* parent) : QAbstractButton(parent), group_(group) {
  // The rows choose what the table shows, as tabs do: the chosen one reads as selected.
  Accessibility::declare(this, Accessibility::Kind::tab);
  setFocusPolicy(Qt::StrongFocus);
  setFixedHeight(rowHeight);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* outer = new QHBoxLayout(this);
  // 8 outside the highlight, 16 inside it.
  outer->setContentsMargins(8 + 16, 0, 8 + 16, 0);
  outer->setSpacing(12);

  symbol_ = passive(new SymbolView(std::string(systemImage(group)), 14, {}, this));
  auto* disc = passive(new QWidget(this));
  disc->setFixedSize(28, 28);
  auto* discLayout = new QHBoxLayout(disc);
  discLayout->setContentsMargins(0, 0, 0, 0);
  symbol_->setParent(disc);
  discLayout->addWidget(symbol_, 0, Qt::AlignCenter);
  outer->addWidget(disc);

  auto* lines = new QVBoxLayout;
  lines->setSpacing(1);
  lines->addStretch(1);
  auto* name = passive(plainLabel(qtext(displayName(group)), this));
  name->setFont(sizedFont(font(), 13, QFont::Medium));
  name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lines->addWidget(name);
  auto* second = new QHBoxLayout;
  second->setSpacing(4);
  size_ = passive(plainLabel({}, this));
  size_->setFont(sizedFont(font(), 11));
  makeSecondary(size_);
  second->addWidget(size_);
  spinner_ = passive(new Spinner(this, 10));
  spinner_->hide();
  second->addWidget(spinner_);
  second->addStretch(1);
  lines->addLayout(second);
  lines->addStretch(1);
  outer->addLayout(lines, 1);
}

bool GroupRow::isMeasuring() const { return !spinner_->isHidden(); }

void GroupRow::setState(const QString& sizeText, bool isMeasuring, bool isSelected) {
  size_->setText(sizeText);
  spinner_->setVisible(isMeasuring);
  selected_ = isSelected;
  Accessibility::setSelected(this, isSelected);
  symbol_->setTint(isSelected ? SymbolView::Tint(&PaletteColors::accent)
                              : SymbolView::Tint([](const QPalette& palette) {
                                  return palette.color(QPalette::WindowText);
                                }));
  setAccessibleName(qtext(HomeTexts::groupRowLabel(group_, sizeText.toStdString())));
  update();
}

QSize GroupRow::sizeHint() const { return {200, rowHeight}; }

void GroupRow::keyPressEvent(QKeyEvent* event) {
  if (TabList::moveByArrow(this, *event)) return;
  QAbstractButton::keyPressEvent(event);
}

void GroupRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF face = QRectF(rect()).adjusted(8, 0, -8, 0);
  painter.setPen(Qt::NoPen);
  if (selected_) {
    painter.setBrush(PaletteColors::withOpacity(PaletteColors::accent(palette()), 0.14));
    painter.drawRoundedRect(face, 8, 8);
  }
  // The symbol's disc.
  const QWidget* disc = symbol_->parentWidget();
  painter.setBrush(PaletteColors::primary(palette(), 0.08));
  painter.drawEllipse(QRectF(disc->geometry()));
  drawFocusRing(painter, *this, face, 8);
}

// --- The sidebar ---------------------------------------------------------------------------------

HomeSidebar::HomeSidebar(CleanerViewModel& cleaner, QWidget* parent)
    : QScrollArea(parent), cleaner_(cleaner) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Nine rows scroll in the smallest window.
  ScrollBarLook::apply(verticalScrollBar());
  // Its card and rows take the focus; the sidebar itself would be a stop that shows nothing.
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(QString::fromUtf8(HomeTexts::sidebarTitle));
  auto* content = new QWidget;
  content->setBackgroundRole(QPalette::Window);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(0, 0, 0, 12);
  column->setSpacing(0);
  column->addWidget(new SidebarHeader(QString::fromUtf8(HomeTexts::sidebarTitle), content));
  card_ = new AllReclaimableCard(content);
  auto* cardRow = new QHBoxLayout;
  cardRow->setContentsMargins(12, 0, 12, 0);
  cardRow->addWidget(card_);
  column->addLayout(cardRow);
  column->addSpacing(12);
  // The group rows are a row of tabs: one stop for Tab, the arrows move among them.
  auto* groups = new QWidget(content);
  Accessibility::declare(groups, Accessibility::Kind::tabList);
  groups->setAccessibleName(QString::fromUtf8(HomeTexts::sidebarTitle));
  rowsLayout_ = new QVBoxLayout(groups);
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(0);
  column->addWidget(groups);
  column->addStretch(1);
  setWidget(content);

  connect(card_, &QAbstractButton::clicked, this, [this] { cleaner_.selectAllReclaimable(); });
  connect(&cleaner_, &CleanerViewModel::sidebarGroupsChanged, this, &HomeSidebar::rebuildRows);
  // One step of the view model announces several of these together: the sidebar follows once.
  refresh_ = new CoalescedUpdate(this, [this] { refresh(); });
  for (auto signal : {&CleanerViewModel::totalsChanged, &CleanerViewModel::isScanningChanged,
                      &CleanerViewModel::finishedGroupsChanged,
                      &CleanerViewModel::selectedGroupChanged,
                      &CleanerViewModel::fullDiskAccessChanged}) {
    connect(&cleaner_, signal, refresh_, &CoalescedUpdate::request);
  }
  rebuildRows();
}

GroupRow* HomeSidebar::row(CacheGroup group) const {
  const auto found = rows_.find(group);
  return found == rows_.end() ? nullptr : found->second;
}

std::vector<CacheGroup> HomeSidebar::listedGroups() const { return order_; }

void HomeSidebar::rebuildRows() {
  const std::vector<CacheGroup> groups = cleaner_.sidebarGroups();
  if (groups != order_) {
    for (auto& [group, row] : rows_) {
      // A click on a row may be what changed the list: it goes once the click is over.
      row->hide();
      row->deleteLater();
    }
    rows_.clear();
    order_ = groups;
    for (CacheGroup group : order_) {
      auto* row = new GroupRow(group, rowsLayout_->parentWidget());
      connect(row, &QAbstractButton::clicked, this,
              [this, group] { cleaner_.setSelectedGroup(group); });
      rowsLayout_->addWidget(row);
      rows_.emplace(group, row);
    }
  }
  refresh();
}

void HomeSidebar::refresh() {
  const bool scanning = cleaner_.isScanning();
  const std::optional<CacheGroup> selected = cleaner_.selectedGroup();
  card_->setValues(qtext(cleaner_.headlineText()),
                   qtext(HomeTexts::allReclaimableDetail(scanning, cleaner_.totalFound())),
                   !selected.has_value());
  for (auto& [group, row] : rows_) {
    row->setState(qtext(cleaner_.sizeText(group)),
                  scanning && !cleaner_.finishedGroups().contains(group), selected == group);
  }
}

}  // namespace hl
