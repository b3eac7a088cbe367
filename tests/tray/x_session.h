#pragma once

#include <memory>
#include <string>

#include "support/child_process.h"

namespace hl::test {

// A private X display with a system tray: an Xvfb server on a display number it picks itself
// (so parallel tests never meet), and a trayer panel along its top edge. While the session
// lives, DISPLAY points at it and the session bus address at a socket that does not exist, so
// neither the tray host nor the program under test finds or starts a bus of the machine (and
// the icon goes to the tray on this display rather than to a StatusNotifier watcher). Both
// programs are stopped with SIGTERM and reaped when it goes, so the server removes its lock
// file and socket.
class XSession {
 public:
  XSession();
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Empty when the display and the tray host run; otherwise why not.
  const std::string& failure() const { return failure_; }
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> tray_;
  std::string display_;
  std::string failure_;
};

}  // namespace hl::test
