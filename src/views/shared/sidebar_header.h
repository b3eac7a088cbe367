#pragma once

#include <QLabel>

namespace hl {

// A title shown as plain text and announced as a heading: a page's title, a sidebar's.
class HeadingLabel : public QLabel {
  Q_OBJECT

 public:
  explicit HeadingLabel(const QString& title = {}, QWidget* parent = nullptr);
};

// The title at the top of every page sidebar: one line, 20 px semibold, 16 either side and 12
// above and below; announced as a heading.
class SidebarHeader : public HeadingLabel {
  Q_OBJECT

 public:
  explicit SidebarHeader(const QString& title, QWidget* parent = nullptr);
};

}  // namespace hl
