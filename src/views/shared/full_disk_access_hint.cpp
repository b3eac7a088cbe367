#include "views/shared/full_disk_access_hint.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "views/shared/banner_frame.h"
#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"
#include "views/shared/text.h"

namespace hl {

FullDiskAccessHint::FullDiskAccessHint(bool compact, std::function<void()> openSettings,
                                       QWidget* parent)
    : QWidget(parent), compact_(compact) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  if (compact) {
    button_ = new QPushButton(QStringLiteral("Open Full Disk Access Settings\u2026"), this);
    button_->setToolTip(
        plainToolTip(QStringLiteral("System Settings \u203a Privacy & Security \u203a Full Disk Access")));
    padButton(button_);
    layout->addWidget(button_);
    layout->addStretch(1);
  } else {
    auto* banner = new BannerFrame(&PaletteColors::orange, 0.10, this);
    banner->row()->setSpacing(12);
    auto* symbol = new QLabel(banner);
    symbol->setPixmap(symbolIcon("lock.shield", PaletteColors::orange(palette()))
                          .pixmap(QSize(16, 16), devicePixelRatioF()));
    banner->row()->addWidget(symbol);
    auto* text = plainLabel(
        QStringLiteral("macOS blocks reading the Trash. Grant Full Disk Access to see its size, "
                       "then rescan."),
        banner);
    text->setWordWrap(true);
    makeSecondary(text);
    banner->row()->addWidget(text, 1);
    banner->row()->addSpacing(8);
    button_ = new QPushButton(QStringLiteral("Open Settings\u2026"), banner);
    padButton(button_);
    banner->row()->addWidget(button_);
    layout->addWidget(banner);
  }
  connect(button_, &QPushButton::clicked, this, std::move(openSettings));
}

}  // namespace hl
