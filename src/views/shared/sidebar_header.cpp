#include "views/shared/sidebar_header.h"

#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"

namespace hl {

HeadingLabel::HeadingLabel(const QString& title, QWidget* parent) : QLabel(parent) {
  Accessibility::declare(this, Accessibility::Kind::heading);
  setTextFormat(Qt::PlainText);
  setText(title);
}

SidebarHeader::SidebarHeader(const QString& title, QWidget* parent)
    : HeadingLabel(title, parent) {
  setWordWrap(false);
  setFont(sizedFont(font(), 20, QFont::DemiBold));
  setContentsMargins(16, 12, 16, 12);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

}  // namespace hl
