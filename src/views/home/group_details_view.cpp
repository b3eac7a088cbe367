#include "views/home/group_details_view.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "models/risk_level.h"
#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"
#include "views/home/home_texts.h"
#include "views/shared/elided_label.h"
#include "views/shared/palette_colors.h"
#include "views/shared/scroll_bar_look.h"
#include "views/shared/selectable_text.h"
#include "views/shared/status_grammar.h"
#include "views/shared/status_tag.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {

namespace {

QFont monospace(int pixels) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(pixels);
  return font;
}

QLabel* wrapping(const QString& text, int pixels, QWidget* parent, bool secondary = false,
                 QFont::Weight weight = QFont::Normal) {
  auto* label = plainLabel(text, parent);
  label->setFont(sizedFont(parent->font(), pixels, weight));
  label->setWordWrap(true);
  if (secondary) makeSecondary(label);
  return label;
}

QLabel* heading(const QString& text, QWidget* parent) {
  return wrapping(text, 12, parent, false, QFont::Medium);
}

// A symbol beside a wrapping caption line.
QWidget* captionLine(const char* symbol, const std::string& text, QWidget* parent) {
  auto* line = new QWidget(parent);
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  row->addWidget(new SymbolView(symbol, 11, {}, line), 0, Qt::AlignTop);
  row->addWidget(wrapping(qtext(text), 11, line), 1);
  return line;
}

// Selectable text that wraps inside its column even where a long path leaves no space to break
// at.
SelectableText* selectable(const QString& text, const QFont& font, QWidget* parent,
                           bool secondary = false) {
  auto* label = new SelectableText(0, parent);
  label->setFont(font);
  label->setText(text);
  if (secondary) label->useSecondaryColour();
  return label;
}

// A chip beside what it means, aligned on the first line.
QWidget* chipLine(const StatusTagModel& tag, const QString& text, bool secondary,
                  QWidget* parent) {
  auto* line = new QWidget(parent);
  auto* row = new QHBoxLayout(line);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(8);
  row->addWidget(new StatusTag(tag, line), 0, Qt::AlignTop);
  row->addWidget(selectable(text, sizedFont(line->font(), 13), line, secondary), 1);
  return line;
}

// Takes a widget off the screen at once and deletes it when control is back in the event loop,
// since the click of one of its own buttons may be what replaces it.
void retire(QWidget* widget) {
  if (!widget) return;
  widget->hide();
  widget->setParent(nullptr);
  widget->deleteLater();
}

void paintCard(QWidget& widget, const QColor& fill) {
  QPainter painter(&widget);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(QRectF(widget.rect()), 10, 10);
}

}  // namespace

// --- The item's card -----------------------------------------------------------------------------

ItemDetailCard::ItemDetailCard(CleanerViewModel& cleaner, const CacheItem& item, QWidget* parent)
    : QFrame(parent), cleaner_(cleaner), item_(item), home_(cleaner.home()) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(0);
  rebuild();
}

void ItemDetailCard::setClock(WallClock clock) {
  clock_ = std::move(clock);
  rebuild();
}

void ItemDetailCard::setItem(const CacheItem& item) {
  if (item.id != item_.id) {
    item_ = item;
    evidence_.clear();
    rebuild();
    gatherEvidence();
    emit evidenceChanged();
    return;
  }
  if (item == item_) return;
  item_ = item;
  rebuild();
}

void ItemDetailCard::rebuild() {
  // A button of the old body may be what led here: it goes once its click is over.
  retire(body_);
  body_ = new QWidget(this);
  auto* column = new QVBoxLayout(body_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(10);

  auto* titleRow = new QHBoxLayout;
  titleRow->setSpacing(8);
  // A long name is shortened in the middle, never pushing the card past its pane.
  auto* name = new ElidedLabel(qtext(item_.name), Qt::ElideMiddle, body_);
  name->setFont(sizedFont(font(), 17, QFont::DemiBold));
  name->setObjectName(QStringLiteral("name"));
  name->setToolTip(plainToolTip(name->text()));
  name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  titleRow->addWidget(name, 1, Qt::AlignVCenter);
  auto* size = plainLabel(qtext(HomeTexts::detailSize(item_.size)), body_);
  size->setFont(sizedFont(font(), 15));
  size->setObjectName(QStringLiteral("size"));
  makeSecondary(size);
  titleRow->addWidget(size, 0, Qt::AlignVCenter);
  back_ = new QPushButton(QStringLiteral("Back to Items"), body_);
  back_->setFont(sizedFont(font(), 12));
  padButton(back_, 24);
  connect(back_, &QPushButton::clicked, this, [&cleaner = cleaner_] {
    // The Items tab first: the Home page gives the keyboard to the item's row while it still
    // knows the item. Clearing the item then closes this card.
    cleaner.setTab(HomeTab::items);
    cleaner.setDetailItemID(std::nullopt);
  });
  titleRow->addWidget(back_, 0, Qt::AlignVCenter);
  column->addLayout(titleRow);

  // The location in full, selectable and copyable, on one line that scrolls when long.
  auto* location = new QLineEdit(qtext(item_.kind == ItemKind::path ? item_.id : item_.subtitle),
                                 body_);
  location->setObjectName(QStringLiteral("location"));
  location->setReadOnly(true);
  location->setFrame(false);
  location->setFont(monospace(11));
  location->setCursorPosition(0);
  location->setAccessibleName(QStringLiteral("Location"));
  QPalette transparent = location->palette();
  transparent.setColor(QPalette::Base, Qt::transparent);
  transparent.setColor(QPalette::Text, PaletteColors::secondaryText(palette()));
  location->setPalette(transparent);
  location->setContentsMargins(-2, 0, 0, 0);
  column->addWidget(location);

  const Date now = clock_();
  const StatusTagModel state = StatusGrammar::stateTag(item_, home_);
  column->addWidget(chipLine(state, qtext(state.help), false, body_));
  for (const StatusTagModel& qualifier : StatusGrammar::qualifiers(item_, now)) {
    column->addWidget(chipLine(qualifier, qtext(qualifier.help), true, body_));
  }

  auto* evidence = new QWidget(body_);
  evidenceLayout_ = new QVBoxLayout(evidence);
  evidenceLayout_->setContentsMargins(0, 0, 0, 0);
  evidenceLayout_->setSpacing(3);
  column->addWidget(evidence);
  evidenceHeading_ = nullptr;
  showEvidence();

  static_cast<QVBoxLayout*>(layout())->addWidget(body_);
}

void ItemDetailCard::showEvidence() {
  QWidget* box = evidenceLayout_->parentWidget();
  qDeleteAll(box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
  evidenceHeading_ = nullptr;
  box->setVisible(!evidence_.empty());
  if (evidence_.empty()) return;
  evidenceHeading_ = plainLabel(QStringLiteral("EVIDENCE"), box);
  evidenceHeading_->setAccessibleName(QStringLiteral("Evidence"));
  evidenceHeading_->setFont(sizedFont(font(), 11, QFont::DemiBold));
  makeSecondary(evidenceHeading_);
  evidenceLayout_->addWidget(evidenceHeading_);
  for (const std::string& line : evidence_) {
    evidenceLayout_->addWidget(
        selectable(QStringLiteral("\u2022 ") + qtext(line), sizedFont(font(), 12), box));
  }
}

void ItemDetailCard::gatherEvidence() {
  if (!runner_) return;
  const std::uint64_t request = ++request_;
  QPointer<ItemDetailCard> card(this);
  runner_([card, request, item = item_, home = home_] {
    std::vector<std::string> lines =
        ItemEvidence::collect(item, gatherEvidenceFacts(item, home), home);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [card, request, id = item.id, lines = std::move(lines)] {
          // The card is gone, or shows another item or a later gathering by now.
          if (!card || card->request_ != request || card->item_.id != id) return;
          card->evidence_ = lines;
          card->showEvidence();
          emit card->evidenceChanged();
        },
        Qt::QueuedConnection);
  });
}

void ItemDetailCard::paintEvent(QPaintEvent*) {
  paintCard(*this, PaletteColors::withOpacity(PaletteColors::accent(palette()), 0.06));
}

// --- A group's card ------------------------------------------------------------------------------

GroupDetailCard::GroupDetailCard(CleanerViewModel& cleaner, CacheGroup group, QWidget* parent)
    : QFrame(parent), cleaner_(cleaner), group_(group) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  setAccessibleName(qtext(displayName(group)));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(14, 14, 14, 14);
  column->setSpacing(10);

  auto* title = new QHBoxLayout;
  title->setSpacing(6);
  title->addWidget(new SymbolView(std::string(systemImage(group)), 15,
                                  [](const QPalette& p) { return p.color(QPalette::WindowText); },
                                  this));
  auto* name = plainLabel(qtext(displayName(group)), this);
  name->setFont(sizedFont(font(), 14, QFont::DemiBold));
  title->addWidget(name);
  title->addStretch(1);
  column->addLayout(title);
  column->addWidget(wrapping(qtext(summary(group)), 13, this));

  auto* facts = new QGridLayout;
  facts->setHorizontalSpacing(12);
  facts->setVerticalSpacing(8);
  facts->setColumnStretch(1, 1);
  const RiskLevel risk = defaultRisk(group);
  const std::string sentence(hl::explanation(risk));
  facts->addWidget(plainLabel(QStringLiteral("Risk"), this), 0, 0, Qt::AlignTop);
  auto* riskRow = new QHBoxLayout;
  riskRow->setSpacing(8);
  riskRow->addWidget(new StatusTag(StatusTagModel{StatusTagModel::Kind::state,
                                                  std::string(hl::label(risk)), std::nullopt,
                                                  StatusGrammar::tint(risk), sentence},
                                   this),
                     0, Qt::AlignTop);
  riskRow->addWidget(wrapping(qtext(sentence), 13, this, true), 1);
  facts->addLayout(riskRow, 0, 1);
  facts->addWidget(plainLabel(QStringLiteral("Regenerates"), this), 1, 0, Qt::AlignTop);
  facts->addWidget(wrapping(qtext(regenerates(group)), 13, this, true), 1, 1);
  column->addLayout(facts);

  actionsLayout_ = new QVBoxLayout;
  actionsLayout_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(actionsLayout_);
  refreshActions();

  const auto section = [&](const char* title, const std::vector<std::string>& lines,
                           const char* symbol) {
    auto* box = new QVBoxLayout;
    box->setSpacing(3);
    box->addWidget(heading(QString::fromUtf8(title), this));
    for (const std::string& line : lines) box->addWidget(captionLine(symbol, line, this));
    column->addLayout(box);
  };
  section("About sizes", caveats(group), "info.circle");
  if (!neverTouch(group).empty()) section("Never touched", neverTouch(group), "lock");

  pathsLayout_ = new QVBoxLayout;
  pathsLayout_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(pathsLayout_);
  refreshPaths();
}

void GroupDetailCard::refreshPaths() {
  std::vector<std::string> lines = cleaner_.coveredPaths(group_);
  if (paths_ && lines == shownPaths_) return;
  retire(paths_);
  shownPaths_ = std::move(lines);
  paths_ = new QWidget(this);
  auto* box = new QVBoxLayout(paths_);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(3);
  box->addWidget(heading(QStringLiteral("Paths"), paths_));
  for (const std::string& line : shownPaths_) {
    box->addWidget(selectable(qtext(line), monospace(11), paths_));
  }
  pathsLayout_->addWidget(paths_);
}

std::vector<CacheItem> GroupDetailCard::actionItems(const std::vector<CacheItem>& included,
                                                    CacheGroup group) {
  std::vector<CacheItem> result;
  std::set<std::string> tools;
  for (const CacheItem& item : included) {
    if (item.group != group || !item.action) continue;
    if (tools.insert(item.action->id()).second) result.push_back(item);
  }
  return result;
}

void GroupDetailCard::refreshActions() {
  const std::vector<CacheItem> items = actionItems(cleaner_.includedItems(), group_);
  std::vector<std::pair<std::string, std::string>> shown;
  for (const CacheItem& item : items) shown.emplace_back(item.id, item.action->id());
  if (shown != shownActions_ || (!actions_ && !items.empty())) {
    retire(actions_);
    actions_ = nullptr;
    actionButtons_.clear();
    shownActions_ = shown;
    if (!items.empty()) {
      actions_ = new QWidget(this);
      auto* box = new QVBoxLayout(actions_);
      box->setContentsMargins(0, 0, 0, 0);
      box->setSpacing(6);
      box->addWidget(heading(QStringLiteral("Native cleanup (preferred)"), actions_));
      for (const CacheItem& item : items) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* button = new QPushButton(qtext(item.action->title()), actions_);
        button->setFont(sizedFont(font(), 12));
        padButton(button, 24);
        button->setProperty("tool", qtext(item.action->id()));
        connect(button, &QPushButton::clicked, this,
                [this, item] { cleaner_.requestAction(item); });
        row->addWidget(button);
        // The command as code, then the item it was found with.
        auto* command = plainLabel(qtext(item.action->commandLine()), actions_);
        command->setFont(monospace(11));
        command->setTextInteractionFlags(Qt::TextSelectableByMouse);
        makeSecondary(command);
        row->addWidget(command);
        auto* which = new ElidedLabel(QStringLiteral("\u00b7 ") + qtext(item.name),
                                      Qt::ElideMiddle, actions_);
        which->setFont(sizedFont(font(), 11));
        makeSecondary(which);
        setHelp(which, qtext(item.name));
        row->addWidget(which, 1);
        box->addLayout(row);
        actionButtons_.push_back(button);
      }
      actionsLayout_->addWidget(actions_);
    }
  }
  const bool readOnly = cleaner_.isReadOnly();
  for (QPushButton* button : actionButtons_) {
    const std::string tool = button->property("tool").toString().toStdString();
    button->setEnabled(!readOnly && !cleaner_.runningActions().contains(tool));
  }
}

void GroupDetailCard::paintEvent(QPaintEvent*) {
  paintCard(*this, PaletteColors::primary(palette(), 0.04));
}

// --- The tab -------------------------------------------------------------------------------------

GroupDetailsView::GroupDetailsView(CleanerViewModel& cleaner, SettingsStore& settings,
                                   QWidget* parent)
    : QScrollArea(parent), cleaner_(cleaner), settings_(settings), home_(cleaner.home()) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ScrollBarLook::apply(verticalScrollBar());
  // Its buttons take the focus; the pane itself would be a stop that shows nothing.
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(QStringLiteral("Details"));
  auto* content = new QWidget;
  column_ = new QVBoxLayout(content);
  // Clear of the scroll bar, whose place is at the right edge.
  column_->setContentsMargins(0, 0, 12, 16);
  column_->setSpacing(20);
  paragraph_ = wrapping(QString::fromUtf8(HomeTexts::allReclaimableParagraph), 13, content, true);
  column_->addWidget(paragraph_);
  column_->addStretch(1);
  setWidget(content);
  // Set after the scroll area turned it on: the pane's own background shows through.
  content->setAutoFillBackground(false);

  connect(&cleaner_, &CleanerViewModel::detailItemIDChanged, this, &GroupDetailsView::refreshItem);
  connect(&cleaner_, &CleanerViewModel::itemsRevisionChanged, this, &GroupDetailsView::refreshItem);
  for (auto signal :
       {&CleanerViewModel::selectedGroupChanged, &CleanerViewModel::sidebarGroupsChanged}) {
    connect(&cleaner_, signal, this, &GroupDetailsView::rebuildGroups);
  }
  connect(&settings_, &SettingsStore::extraPathsChanged, this, &GroupDetailsView::rebuildGroups);
  for (auto signal : {&CleanerViewModel::includedItemsChanged,
                      &CleanerViewModel::runningActionsChanged, &CleanerViewModel::readOnlyChanged}) {
    connect(&cleaner_, signal, this, [this] {
      for (GroupDetailCard* card : groupCards_) card->refreshActions();
    });
  }
  connect(&cleaner_, &CleanerViewModel::includedItemsChanged, this, [this] {
    for (GroupDetailCard* card : groupCards_) card->refreshPaths();
  });
  rebuildGroups();
  refreshItem();
}

std::vector<CacheGroup> GroupDetailsView::groups(std::optional<CacheGroup> group,
                                                 const std::vector<CacheGroup>& listed) {
  if (group) return {*group};
  return listed;
}

void GroupDetailsView::setEvidenceRunner(ItemEvidence::Runner runner) {
  runner_ = std::move(runner);
  if (itemCard_) itemCard_->setRunner(runner_);
}

void GroupDetailsView::setHome(std::string home) {
  home_ = std::move(home);
  if (itemCard_) itemCard_->setHome(home_);
}

void GroupDetailsView::setClock(WallClock clock) {
  clock_ = std::move(clock);
  if (itemCard_) itemCard_->setClock(clock_);
}

void GroupDetailsView::showItemCard() {
  // The card leads the column: the top of the pane shows it, however far down the pane was
  // left and before the new card has been laid out.
  verticalScrollBar()->setValue(0);
}

void GroupDetailsView::refreshItem() {
  std::optional<CacheItem> item;
  if (const auto& id = cleaner_.detailItemID()) item = cleaner_.item(*id);
  if (!item) {
    retire(itemCard_);
    itemCard_ = nullptr;
    return;
  }
  if (itemCard_) {
    itemCard_->setItem(*item);
    return;
  }
  itemCard_ = new ItemDetailCard(cleaner_, *item, widget());
  itemCard_->setRunner(runner_);
  itemCard_->setHome(home_);
  itemCard_->setClock(clock_);
  column_->insertWidget(0, itemCard_);
  itemCard_->gatherEvidence();
}

void GroupDetailsView::rebuildGroups() {
  const std::optional<CacheGroup> group = cleaner_.selectedGroup();
  std::vector<CacheGroup> shown = groups(group, cleaner_.sidebarGroups());
  const std::vector<std::string>& extraPaths = settings_.extraPaths();
  // The custom paths' card lists the extra paths.
  if (groupsBuilt_ && shownGroups_ == shown && shownExtraPaths_ == extraPaths) {
    paragraph_->setVisible(!group);
    return;
  }
  groupsBuilt_ = true;
  shownGroups_ = std::move(shown);
  shownExtraPaths_ = extraPaths;
  paragraph_->setVisible(!group);
  retire(groupsBox_);
  groupCards_.clear();
  groupsBox_ = new QWidget(widget());
  auto* cards = new QVBoxLayout(groupsBox_);
  cards->setContentsMargins(0, 0, 0, 0);
  cards->setSpacing(20);
  for (CacheGroup each : shownGroups_) {
    auto* card = new GroupDetailCard(cleaner_, each, groupsBox_);
    cards->addWidget(card);
    groupCards_.push_back(card);
  }
  // After the item's card and the paragraph, before the closing stretch.
  column_->insertWidget(column_->count() - 1, groupsBox_);
}

}  // namespace hl
