#include "app/relocation/linux_relocation_system.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "services/system/process_runner.h"
#include "utilities/file_identity.h"

namespace hl {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, const std::error_code& error) {
  throw RelocationError(what + ": " + error.message());
}

}  // namespace

std::string LinuxRelocationSystem::runningCopyPath() {
  return QCoreApplication::applicationFilePath().toStdString();
}

std::string LinuxRelocationSystem::resolvingSymlinks(const std::string& path) {
  return FileIdentity::resolvingSymlinks(path);
}

bool LinuxRelocationSystem::itemExists(const std::string& path) {
  return FileIdentity::existsWithoutFollowing(path);
}

void LinuxRelocationSystem::copyItem(const std::string& from, const std::string& to) {
  if (itemExists(to)) {
    fail("cannot copy to " + to, std::make_error_code(std::errc::file_exists));
  }
  std::error_code error;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
  if (error) fail("cannot copy " + from + " to " + to, error);
}

void LinuxRelocationSystem::removeItem(const std::string& path) {
  std::error_code error;
  fs::remove_all(path, error);
  if (error) fail("cannot remove " + path, error);
}

void LinuxRelocationSystem::replaceItem(const std::string& destination,
                                        const std::string& replacement) {
  if (::rename(replacement.c_str(), destination.c_str()) != 0) {
    fail("cannot replace " + destination, std::error_code(errno, std::generic_category()));
  }
}

long LinuxRelocationSystem::processIdentifier() {
  return static_cast<long>(::getpid());
}

bool LinuxRelocationSystem::run(const std::string& executable,
                                const std::vector<std::string>& arguments, bool wait) {
  if (wait) {
    return ProcessRunner::run(executable, arguments, std::chrono::seconds(60)).has_value();
  }
  return ProcessRunner::startDetached(executable, arguments);
}

}  // namespace hl
