#include "views/home/home_page.h"

#include <QFrame>
#include <QHBoxLayout>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"
#include "views/home/home_main_view.h"
#include "views/home/home_sidebar.h"

namespace hl {

HomePage::HomePage(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), cleaner_(cleaner) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  sidebar_ = new HomeSidebar(cleaner, this);
  sidebar_->setFixedWidth(static_cast<int>(settings.sidebarWidth()));
  row->addWidget(sidebar_);
  auto* divider = new QFrame(this);
  divider->setFrameShape(QFrame::VLine);
  divider->setForegroundRole(QPalette::Mid);
  row->addWidget(divider);
  main_ = new HomeMainView(cleaner, settings, this);
  row->addWidget(main_, 1);
  connect(&settings, &SettingsStore::sidebarWidthChanged, this, [this, &settings] {
    sidebar_->setFixedWidth(static_cast<int>(settings.sidebarWidth()));
  });
}

bool HomePage::canSelectAll() const {
  return cleaner_.tab() == HomeTab::items && cleaner_.canSelectAllVisible();
}

void HomePage::selectAll() {
  if (canSelectAll()) cleaner_.selectAllVisible();
}

}  // namespace hl
