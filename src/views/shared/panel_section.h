#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QVBoxLayout;

namespace hl {

// A titled section of the right panel and the folder scanner's sidebar: the title in capitals,
// an info symbol whose tooltip is `info` when there is one, and the caller's content 8 below.
class PanelSection : public QWidget {
  Q_OBJECT

 public:
  PanelSection(const QString& title, std::optional<QString> info = std::nullopt,
               QWidget* parent = nullptr);

  // Appends one element of the content, 8 below the one before.
  void addContent(QWidget* widget);
  QVBoxLayout* contentLayout() const { return layout_; }

  QLabel* titleLabel() const { return title_; }
  // None without info.
  QLabel* infoSymbol() const { return info_; }

 private:
  QVBoxLayout* layout_;
  QLabel* title_;
  QLabel* info_ = nullptr;
};

}  // namespace hl
