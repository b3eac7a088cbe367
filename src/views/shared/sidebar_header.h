#pragma once

#include <QLabel>

namespace hl {

// The title at the top of every page sidebar: one line, 20 px semibold, 16 either side and 12
// above and below; announced as a heading.
class SidebarHeader : public QLabel {
  Q_OBJECT

 public:
  explicit SidebarHeader(const QString& title, QWidget* parent = nullptr);
};

}  // namespace hl
