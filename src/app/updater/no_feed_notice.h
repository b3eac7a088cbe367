#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

namespace hl {

// Tells the user that this build cannot look for updates. One notice at a time: asking again
// while it is open brings the open one forward. The notice never blocks its caller.
class NoFeedNotice {
 public:
  // `owner` gives the window the notice belongs to at the moment it opens; none for a notice of
  // its own.
  explicit NoFeedNotice(std::function<QWidget*()> owner = {});

  void present();
  // The notice on screen, if any.
  QMessageBox* openNotice() const { return notice_; }

  static QString title();
  static QString text();
  // Names the version that is installed.
  static QString informativeText();

 private:
  std::function<QWidget*()> owner_;
  QPointer<QMessageBox> notice_;
};

}  // namespace hl
