#include "views/shared/symbol_view.h"

#include <QPainter>

#include "views/shared/palette_colors.h"
#include "views/shared/symbol_icon.h"

namespace hl {

SymbolView::SymbolView(std::string symbol, int side, Tint tint, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), side_(side), tint_(std::move(tint)) {
  setFixedSize(side_, side_);
}

void SymbolView::setSymbol(std::string symbol) {
  symbol_ = std::move(symbol);
  update();
}

void SymbolView::setTint(Tint tint) {
  tint_ = std::move(tint);
  update();
}

QColor SymbolView::color() const {
  return tint_ ? tint_(palette()) : PaletteColors::secondaryText(palette());
}

void SymbolView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  symbolIcon(symbol_, color()).paint(&painter, rect());
}

}  // namespace hl
