#include "views/pages/page_column.h"

#include <QLabel>
#include <QVBoxLayout>

#include "views/shared/palette_colors.h"
#include "views/shared/text.h"

namespace hl {

QVBoxLayout* pageColumnLayout(QWidget* column, int spacing) {
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(spacing);
  return layout;
}

QLabel* pageTitleLabel(const QString& title, QWidget* parent) {
  QLabel* label = plainLabel(title, parent);
  label->setFont(sizedFont(label->font(), 17, QFont::DemiBold));
  label->setAccessibleName(title);
  return label;
}

}  // namespace hl
