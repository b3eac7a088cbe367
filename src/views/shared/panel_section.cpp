#include "views/shared/panel_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "views/shared/accessibility.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

PanelSection::PanelSection(const QString& title, std::optional<QString> info, QWidget* parent)
    : QWidget(parent) {
  setFont(sizedFont(font(), 13));
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(8);

  auto* header = new QHBoxLayout;
  header->setSpacing(4);
  title_ = plainLabel(title.toUpper(), this);
  title_->setFont(sizedFont(font(), 11, QFont::DemiBold));
  makeSecondary(title_);
  title_->setAccessibleName(title);
  header->addWidget(title_);
  if (info) {
    info_ = new QLabel(this);
    info_->setPixmap(symbolIcon("info.circle", PaletteColors::secondaryText(palette()))
                         .pixmap(QSize(11, 11), devicePixelRatioF()));
    // The symbol's name is its text; its tooltip is not read out again as markup.
    Accessibility::declare(info_, Accessibility::Kind::text);
    info_->setToolTip(plainToolTip(*info));
    info_->setAccessibleName(*info);
    header->addWidget(info_);
  }
  header->addStretch(1);
  layout_->addLayout(header);
}

void PanelSection::addContent(QWidget* widget) { layout_->addWidget(widget); }

}  // namespace hl
