#pragma once

#include <QWidget>
#include <functional>

#include "models/full_disk_access_status.h"

class QPushButton;

namespace hl {

// The hint that the Trash cannot be read without Full Disk Access: a lone button in a row's
// Status cell (compact), or a banner with an explanation (full). Its users show it only while
// `isShown` holds; this platform's stand-in answers notApplicable, so it never shows here.
class FullDiskAccessHint : public QWidget {
  Q_OBJECT

 public:
  // `openSettings` opens the platform's settings (the view model's way to them).
  FullDiskAccessHint(bool compact, std::function<void()> openSettings, QWidget* parent = nullptr);

  static bool isShown(FullDiskAccess::Status status) {
    return status == FullDiskAccess::Status::denied;
  }

  bool isCompact() const { return compact_; }
  QPushButton* button() const { return button_; }

 private:
  bool compact_;
  QPushButton* button_ = nullptr;
};

}  // namespace hl
