#include "viewmodels/desktop_services.h"

#include "viewmodels/activity_log.h"

namespace hl {

void revealReportingFailures(DesktopServices& desktop, const std::vector<std::string>& paths,
                             ActivityLog& activity) {
  for (const std::string& folder : desktop.reveal(paths)) {
    activity.log(ActivityEvent::Kind::error, "Could not open the folder " + folder +
                                                 ": no program that opens folders was found");
  }
}

}  // namespace hl
