#include "views/shared/sidebar_header.h"

#include "views/shared/palette_colors.h"

namespace hl {

SidebarHeader::SidebarHeader(const QString& title, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setText(title);
  setWordWrap(false);
  setFont(sizedFont(font(), 20, QFont::DemiBold));
  setContentsMargins(16, 12, 16, 12);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  setAccessibleName(title);
}

}  // namespace hl
