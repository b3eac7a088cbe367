#include "views/menubar/popover_fonts.h"

#include <QLabel>

#include "views/shared/palette_colors.h"
#include "views/shared/text.h"

namespace hl::PopoverFonts {

QLabel* label(QWidget* parent, const char* name, int pixels, QFont::Weight weight) {
  auto* text = plainLabel(QString(), parent);
  text->setObjectName(QLatin1String(name));
  text->setFont(sizedFont(text->font(), pixels, weight));
  return text;
}

}  // namespace hl::PopoverFonts
