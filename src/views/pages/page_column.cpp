#include "views/pages/page_column.h"

#include <QLabel>
#include <QVBoxLayout>

#include "views/shared/palette_colors.h"
#include "views/shared/sidebar_header.h"
#include "views/shared/text.h"

namespace hl {

QVBoxLayout* pageColumnLayout(QWidget* column, int spacing) {
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(spacing);
  return layout;
}

QLabel* pageTitleLabel(const QString& title, QWidget* parent) {
  auto* label = new HeadingLabel(title, parent);
  label->setFont(sizedFont(label->font(), 17, QFont::DemiBold));
  return label;
}

}  // namespace hl
