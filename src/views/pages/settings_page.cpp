#include "views/pages/settings_page.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "build_version.h"
#include "utilities/path_canonical.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"
#include "viewmodels/updater_box.h"
#include "viewmodels/user_home.h"
#include "views/pages/folder_chooser.h"
#include "views/pages/form_group.h"
#include "views/pages/page_column.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/path_list_view.h"
#include "views/shared/symbol_view.h"
#include "views/shared/text.h"

namespace hl {
namespace {

int indexOf(SettingsSection section) {
  for (std::size_t i = 0; i < allSettingsSections.size(); ++i) {
    if (allSettingsSections[i] == section) return static_cast<int>(i);
  }
  return 0;
}

using Getter = bool (SettingsStore::*)() const;
using Setter = void (SettingsStore::*)(bool);
using Signal = void (SettingsStore::*)();

// The check box shows the setting and writes every change straight back.
void bind(QCheckBox* box, SettingsStore& settings, const char* key, Getter get, Setter set,
          Signal changed) {
  box->setObjectName(QLatin1String(key));
  box->setChecked((settings.*get)());
  QObject::connect(box, &QCheckBox::toggled, &settings,
                   [&settings, set](bool on) { (settings.*set)(on); });
  QObject::connect(&settings, changed, box, [box, &settings, get] {
    const QSignalBlocker quiet(box);
    box->setChecked((settings.*get)());
  });
}

void warnWithBox(QWidget* parent, const QString& title, const QString& message) {
  QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

SettingsSidebar::SettingsSidebar(QWidget* parent)
    : PageSidebar(qtext(title(Page::settings)), QStringLiteral("Sections"),
                  SidebarList::Selection::alwaysOne, parent) {
  std::vector<SidebarList::Row> rows;
  for (SettingsSection section : allSettingsSections) {
    rows.push_back({qtext(rawValue(section)), qtext(title(section)),
                    std::string(systemImage(section)), {}, 0});
  }
  list()->setRows(std::move(rows));
  list()->showSelection(qtext(rawValue(section_)));
  connect(list(), &SidebarList::chosen, this, [this](const std::optional<QString>& key) {
    if (!key) return;
    const auto section = settingsSectionFromRaw(key->toStdString());
    if (!section) return;
    section_ = *section;
    emit sectionChosen(*section);
  });
}

void SettingsSidebar::setSection(SettingsSection section) {
  section_ = section;
  list()->showSelection(qtext(rawValue(section)));
}

SettingsView::SettingsView(SettingsStore& settings, Actions actions, QWidget* parent)
    : QWidget(parent), settings_(settings), actions_(std::move(actions)) {
  if (!actions_.chooseFolders) actions_.chooseFolders = &chooseFoldersToAdd;
  if (!actions_.warn) actions_.warn = &warnWithBox;

  QVBoxLayout* layout = pageColumnLayout(this, 12);
  title_ = pageTitleLabel(qtext(title(section_)), this);
  layout->addWidget(title_);

  stack_ = new QStackedWidget(this);
  stack_->addWidget(buildGeneral());
  stack_->addWidget(buildCustomPaths());
  auto* excluded = new ExcludedPathsView(settings_, stack_);
  excluded->setObjectName(QStringLiteral("excludedPaths"));
  excludedPaths_ = excluded->list();
  stack_->addWidget(excluded);
  layout->addWidget(stack_, 1);
  setSection(section_);
}

void SettingsView::setKeyboardFallback(QWidget* fallback) {
  excludedPaths_->setKeyboardFallback(fallback);
}

QWidget* SettingsView::buildGeneral() {
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Its check boxes take the focus; the scroll area itself would be a stop that shows nothing.
  scroll->setFocusPolicy(Qt::NoFocus);
  scroll->viewport()->setAutoFillBackground(false);
  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(18);

  auto* general = new FormGroup({}, content);
  bind(general->addToggle(QStringLiteral("Run git worktree prune after trashing a worktree"),
                          QStringLiteral("Run <code>git worktree prune</code> after trashing a "
                                         "worktree")),
       settings_, "pruneWorktreesAfterTrash", &SettingsStore::pruneWorktreesAfterTrash,
       &SettingsStore::setPruneWorktreesAfterTrash, &SettingsStore::pruneWorktreesAfterTrashChanged);
  general->addNote(QStringLiteral(
      "Keeps the repository's .git/worktrees metadata consistent. Only runs for registered "
      "worktrees, with a 10 second limit."));
  bind(general->addToggle(QStringLiteral("Show in system tray")), settings_, "showInMenuBar",
       &SettingsStore::showInMenuBar, &SettingsStore::setShowInMenuBar,
       &SettingsStore::showInMenuBarChanged);
  general->addNote(QStringLiteral("If the desktop shows no tray icon, use Ctrl+Shift+C to open "
                                  "Quick Clean"));
  bind(general->addToggle(QStringLiteral("Quick Clean also includes moderate items")), settings_,
       "quickCleanIncludesModerate", &SettingsStore::quickCleanIncludesModerate,
       &SettingsStore::setQuickCleanIncludesModerate,
       &SettingsStore::quickCleanIncludesModerateChanged);
  general->addNote(QStringLiteral("Quick Clean always skips review items, items modified in the "
                                  "last 7 days, and items whose owning app is running."));

  auto* historyFile = new ElidedLabel(
      qtext(abbreviatedPath(HistoryViewModel::defaultFileURL(), userHomeFolder())), Qt::ElideMiddle);
  historyFile->setObjectName(QStringLiteral("historyFile"));
  historyFile->setAlignment(Qt::AlignRight);
  makeSecondary(historyFile);
  historyFile->setToolTip(plainToolTip(historyFile->text()));
  general->addValue(QStringLiteral("History file"), historyFile);

  bind(general->addToggle(QStringLiteral("Delete immediately instead of moving to the Trash")),
       settings_, "deleteImmediately", &SettingsStore::deleteImmediately,
       &SettingsStore::setDeleteImmediately, &SettingsStore::deleteImmediatelyChanged);
  permanentWarning_ = new QWidget;
  permanentWarning_->setObjectName(QStringLiteral("permanentWarning"));
  auto* warningLine = new QHBoxLayout(permanentWarning_);
  warningLine->setContentsMargins(0, 0, 0, 0);
  warningLine->setSpacing(5);
  warningLine->addWidget(new SymbolView("exclamationmark.triangle.fill", 12, &PaletteColors::red,
                                        permanentWarning_));
  QLabel* warningText = plainLabel(
      QStringLiteral("Cleaned items are deleted permanently and cannot be recovered."),
      permanentWarning_);
  permanentWarningText_ = warningText;
  warningText->setFont(sizedFont(warningText->font(), 11, QFont::Medium));
  warningText->setWordWrap(true);
  setTextTint(warningText, [](const QPalette& palette) {
    return PaletteColors::tint(StatusTint::locked, palette);
  });
  warningLine->addWidget(warningText, 1);
  general->addToLastRow(permanentWarning_);
  trashOnlyNote_ = general->addNote(QStringLiteral("Items are only ever moved to the Trash."));
  trashOnlyNote_->setObjectName(QStringLiteral("trashOnlyNote"));
  connect(&settings_, &SettingsStore::deleteImmediatelyChanged, this,
          &SettingsView::showRemovalMode);
  showRemovalMode();
  column->addWidget(general);

  auto* updates = new FormGroup(QStringLiteral("Updates"), content);
  bind(updates->addToggle(QStringLiteral("Check for updates automatically")), settings_,
       "checkForUpdatesAutomatically", &SettingsStore::checkForUpdatesAutomatically,
       &SettingsStore::setCheckForUpdatesAutomatically,
       &SettingsStore::checkForUpdatesAutomaticallyChanged);
  QLabel* version = updates->addValue(QStringLiteral("Version"), versionText());
  version->setObjectName(QStringLiteral("version"));
  makeSecondary(version);
  QPushButton* check = updates->addButton(QStringLiteral("Check for Updates\u2026"));
  check->setObjectName(QStringLiteral("checkForUpdates"));
  UpdaterBox& box = Updater::box();
  check->setEnabled(box.canCheckForUpdates());
  connect(&box, &UpdaterBox::canCheckForUpdatesChanged, check,
          [check, &box] { check->setEnabled(box.canCheckForUpdates()); });
  connect(check, &QPushButton::clicked, this, [] { Updater::checkForUpdates(); });
  column->addWidget(updates);

  column->addStretch(1);
  scroll->setWidget(content);
  // Set after the scroll area turned it on: the page's own background shows through.
  content->setAutoFillBackground(false);
  return scroll;
}

QWidget* SettingsView::buildCustomPaths() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(10);

  QLabel* about = plainLabel(QStringLiteral("Extra folders to measure. Each one appears as a row "
                                            "in the Custom paths group."),
                             page);
  about->setWordWrap(true);
  makeSecondary(about);
  column->addWidget(about);

  customPaths_ = new PathListView(
      "folder", QStringLiteral("Remove"),
      [this](const std::string& path) { settings_.removeExtraPath(path); }, page);
  customPaths_->setObjectName(QStringLiteral("extraPaths"));
  customPaths_->setAccessibleName(QStringLiteral("Custom paths"));
  customPaths_->setPlaceholder(
      new EmptyStateView("folder.badge.plus", QStringLiteral("No custom paths")));
  column->addWidget(customPaths_, 1);

  auto* buttons = new QHBoxLayout;
  auto* add = new QPushButton(QStringLiteral("Add Folder\u2026"), page);
  add->setObjectName(QStringLiteral("addFolder"));
  padButton(add);
  connect(add, &QPushButton::clicked, this, &SettingsView::addFolder);
  buttons->addWidget(add);
  // The last path removed: the button that adds one is the nearest control of the section.
  customPaths_->setKeyboardFallback(add);
  buttons->addStretch(1);
  auto* rescan = new QPushButton(QStringLiteral("Rescan Now"), page);
  rescan->setObjectName(QStringLiteral("rescanNow"));
  padButton(rescan);
  connect(rescan, &QPushButton::clicked, this, [this] {
    if (actions_.rescan) actions_.rescan(false);
  });
  buttons->addWidget(rescan);
  column->addLayout(buttons);

  connect(&settings_, &SettingsStore::extraPathsChanged, this, &SettingsView::refreshCustomPaths);
  refreshCustomPaths();
  return page;
}

void SettingsView::refreshCustomPaths() {
  customPaths_->setPaths(settings_.extraPaths(), userHomeFolder());
}

void SettingsView::showRemovalMode() {
  const bool permanent = settings_.deleteImmediately();
  permanentWarning_->setVisible(permanent);
  trashOnlyNote_->setVisible(!permanent);
  // The toggle is described by the line shown under it.
  if (auto* toggle = findChild<QCheckBox*>(QStringLiteral("deleteImmediately"))) {
    toggle->setAccessibleDescription(permanent ? permanentWarningText_->text()
                                               : trashOnlyNote_->text());
  }
}

void SettingsView::setSection(SettingsSection section) {
  section_ = section;
  title_->setText(qtext(title(section)));
  stack_->setCurrentIndex(indexOf(section));
}

void SettingsView::addFolder() {
  const std::optional<QStringList> chosen = actions_.chooseFolders(window());
  if (!chosen) return;
  QStringList refused;
  for (const QString& text : *chosen) {
    if (text.isEmpty()) continue;
    // A name that is not UTF-8 comes back from the dialog with replacement characters: that
    // text names another path, which must not be stored in its place.
    if (text.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(text)) {
      refused.append(text);
      continue;
    }
    const QByteArray bytes = QFile::encodeName(text);
    settings_.addExtraPath(cleanPath(std::string_view(bytes.constData(),
                                                      static_cast<std::size_t>(bytes.size()))));
  }
  if (!refused.isEmpty()) {
    actions_.warn(window(),
                  refused.size() == 1 ? QStringLiteral("Folder not added")
                                      : QStringLiteral("Folders not added"),
                  QStringLiteral("Only folders whose names are valid UTF-8 can be chosen "
                                 "here. Not added:\n") +
                      refused.join(QLatin1Char('\n')));
  }
}

QString SettingsView::versionText(std::optional<std::string_view> shortVersion,
                                  std::optional<std::string_view> build) {
  const QString version = shortVersion ? qtext(*shortVersion) : QStringLiteral("?");
  const QString number = build ? qtext(*build) : QStringLiteral("?");
  if (version == number) return version;
  return version + QStringLiteral(" (") + number + QStringLiteral(")");
}

QString SettingsView::versionText() {
  return versionText(std::string_view(BuildVersion::shortVersion),
                     std::string_view(BuildVersion::build));
}

}  // namespace hl
