#pragma once

#include <string>
#include <vector>

namespace hl {

// What the state layer asks of the desktop around the program: showing files in the file
// manager, the clipboard and opening web or settings addresses. The views layer supplies the
// real one; tests record the calls.
class DesktopServices {
 public:
  virtual ~DesktopServices() = default;
  // Shows the items selected in the file manager. Never opens an item itself: opening a file
  // would launch it. Returns the folders holding them that no program could open (nothing
  // answered to show the items, and nothing could open their folders); empty when shown.
  virtual std::vector<std::string> reveal(const std::vector<std::string>& paths) = 0;
  // Replaces the clipboard's text.
  virtual void copyText(const std::string& text) = 0;
  // Opens an address (a web page, a settings page) with the desktop's handler.
  virtual void openURL(const std::string& url) = 0;
};

class ActivityLog;

// Reveals the items and writes an error line to the activity log for each folder that nothing
// could open, so that "Open Containing Folder" never silently does nothing.
void revealReportingFailures(DesktopServices& desktop, const std::vector<std::string>& paths,
                             ActivityLog& activity);

}  // namespace hl
