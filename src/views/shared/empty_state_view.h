#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace hl {

// The one placeholder of an empty list or page: a symbol on a faint accent circle, a title, at
// most two lines of text and an optional button, centred in the space it is given and at most
// 360 wide.
class EmptyStateView : public QWidget {
  Q_OBJECT

 public:
  // The Home page's two cases.
  enum class Kind { nothingFound, notScanned };

  enum class ButtonStyle { bordered, prominent };
  struct Button {
    QString title;
    ButtonStyle style = ButtonStyle::bordered;
    std::function<void()> action;
  };

  EmptyStateView(std::string symbol, const QString& title, const QString& message = {},
                 std::optional<Button> button = std::nullopt, QWidget* parent = nullptr);

  // "Nothing to clean here" with "Rescan", or "Not scanned yet" with "Scan now"; both buttons
  // call `action`.
  static EmptyStateView* make(Kind kind, std::function<void()> action, QWidget* parent = nullptr);

  const std::string& symbol() const { return symbol_; }
  QLabel* titleLabel() const { return title_; }
  // None when there is no text.
  QLabel* messageLabel() const { return message_; }
  // None without a button.
  QPushButton* button() const { return button_; }

 private:
  std::string symbol_;
  QLabel* title_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* button_ = nullptr;
};

}  // namespace hl
