#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>
#include <functional>
#include <string>

namespace hl {

// One symbol drawn in a square, in a colour taken from the palette at each paint (the
// secondary text colour unless told otherwise), so it follows light and dark.
class SymbolView : public QWidget {
  Q_OBJECT

 public:
  using Tint = std::function<QColor(const QPalette&)>;

  SymbolView(std::string symbol, int side, Tint tint = {}, QWidget* parent = nullptr);

  const std::string& symbol() const { return symbol_; }
  void setSymbol(std::string symbol);
  void setTint(Tint tint);
  // The colour it is drawn in now.
  QColor color() const;

  QSize sizeHint() const override { return {side_, side_}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string symbol_;
  int side_;
  Tint tint_;
};

}  // namespace hl
