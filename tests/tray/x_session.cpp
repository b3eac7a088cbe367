#include "x_session.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/test_environment.h"

namespace hl::test {

namespace {

const char* const kServer = "/usr/bin/Xvfb";
const char* const kTray = "/usr/bin/trayer";

}  // namespace

XSession::XSession() {
  for (const char* program : {kServer, kTray}) {
    if (::access(program, X_OK) != 0) {
      failure_ = std::string(program) + " is not installed (Debian packages xvfb and trayer)";
      return;
    }
  }
  try {
    // The server writes the display number it chose once it accepts connections.
    server_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        kServer, "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
  } catch (const std::exception& error) {
    failure_ = std::string("Xvfb could not be started: ") + error.what();
    return;
  }
  const std::string number = server_->readLine();
  if (number.empty()) {
    server_.reset();
    failure_ = "Xvfb could not start a display";
    return;
  }
  display_ = ":" + number;
  ::setenv("DISPLAY", display_.c_str(), 1);
  const std::string noBus = "unix:path=" + makeScratchFolder("bus") + "/none";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", noBus.c_str(), 1);
  ::setenv("NO_AT_BRIDGE", "1", 1);
  try {
    tray_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        kTray, "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
        "--SetDockType", "true", "--transparent", "false"});
  } catch (const std::exception& error) {
    failure_ = std::string("trayer could not be started: ") + error.what();
  }
}

XSession::~XSession() {
  if (tray_) tray_->stop(SIGTERM);
  if (server_) server_->stop(SIGTERM);
  ::unsetenv("DISPLAY");
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ::unsetenv("NO_AT_BRIDGE");
}

}  // namespace hl::test
