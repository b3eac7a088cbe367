#include "views/shared/excluded_paths_view.h"

#include <QVBoxLayout>

#include "viewmodels/settings_store.h"
#include "viewmodels/user_home.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/path_list_view.h"

namespace hl {

ExcludedPathsView::ExcludedPathsView(SettingsStore& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  list_ = new PathListView("eye.slash", QStringLiteral("Include"),
                           [this](const std::string& path) { settings_.include(path); }, this);
  list_->setAccessibleName(QStringLiteral("Excluded paths"));
  list_->setPlaceholder(new EmptyStateView(
      "eye", QStringLiteral("No exclusions"),
      QStringLiteral("Right-click an item and choose Exclude to hide it from scans.")));
  layout->addWidget(list_);
  connect(&settings_, &SettingsStore::excludedPathsChanged, this, &ExcludedPathsView::refresh);
  refresh();
}

void ExcludedPathsView::refresh() { list_->setPaths(settings_.excludedPaths(), userHomeFolder()); }

}  // namespace hl
