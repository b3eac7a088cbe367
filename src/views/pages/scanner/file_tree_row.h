#pragma once

#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "models/file_node.h"
#include "views/shared/status_tag_model.h"

class QPainter;

namespace hl {

// One row of the folder scanner's tree: what the node is, its name, the policy's refusal as
// chips, the file count of a folder, its share of its parent and its size. A pure function of
// the node and its refusal, painted by the tree's delegate so that a large folder costs no
// widget per row.
class FileTreeRow {
 public:
  // `node` must outlive the row.
  FileTreeRow(const FileNode& node, std::optional<std::string> refusal);

  // A symbolic link gets the link symbol whatever it points to, then folder or document.
  static std::string_view symbol(const FileNode& node);
  // "1,204 files" for every folder (0 included); none for anything else.
  static std::optional<QString> fileCountText(const FileNode& node);

  const FileNode& node() const { return *node_; }
  QString name() const;
  // The chips of the refusal (none without one); the compact form is the first of them.
  const std::vector<StatusTagModel>& tags() const { return tags_; }
  QString sizeText() const;
  // The help of the whole row: the node's path.
  QString help() const;
  // Name, size, file count and refusal, for assistive technology.
  QString accessibleText() const;

  // Where each part goes in a row's rectangle.
  struct Geometry {
    QRect icon;
    QRect name;
    QString shownName;
    // The chips on show (the full row when it fits, else the compact one) and their rectangles.
    std::vector<StatusTagModel> chips;
    std::vector<QRect> chipRects;
    // Where chips may be drawn: a compact row that does not fit either is cut off here.
    QRect chipArea;
    bool fullChips = true;
    std::optional<QRect> fileCount;
    QRect bar;
    QRect size;
  };
  Geometry layout(const QRect& rect, const QFont& base) const;

  void paint(QPainter& painter, const QRect& rect, const QPalette& palette, const QFont& base,
             bool selected) const;
  // The help under `point`: a chip's own help over a chip, else the node's path.
  QString helpAt(const QPoint& point, const QRect& rect, const QFont& base) const;

  static constexpr int height = 28;
  static constexpr int spacing = 8;
  static constexpr int iconWidth = 16;
  static constexpr int barWidth = 80;
  static constexpr int barHeight = 6;
  static constexpr int sizeWidth = 76;
  // The room a name keeps before its chips fall back to the compact form.
  static constexpr int nameReserve = 120;

  static QFont nameFont(const QFont& base);
  static QFont captionFont(const QFont& base);
  static QFont sizeFont(const QFont& base);

 private:
  const FileNode* node_;
  std::optional<std::string> refusal_;
  std::vector<StatusTagModel> tags_;
};

}  // namespace hl
