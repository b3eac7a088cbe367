#include "app/relocation/app_relocator.h"

#include <string>

#include "platform/settings_file.h"
#include "platform/user_folders.h"
#include "utilities/path_canonical.h"

Q_LOGGING_CATEGORY(hl::relocationLog, "relocation")

namespace hl {
namespace {

const char* c(const std::string& text) {
  return text.c_str();
}

}  // namespace

AppRelocator::AppRelocator(RelocationSystem& system, RelocationPrompts& prompts)
    : system_(system), prompts_(prompts) {}

bool AppRelocator::isInApplicationsFolder(std::string_view resolvedPath, std::string_view home) {
  // Plain prefixes that end in a slash, so "/ApplicationsOld" is not inside.
  const std::string systemFolder = std::string(applicationsFolder) + "/";
  if (resolvedPath.starts_with(systemFolder)) return true;
  const std::string userFolder = appendingPath(home, "Applications") + "/";
  return resolvedPath.starts_with(userFolder);
}

std::string AppRelocator::stagingPath(std::string_view destination, long processIdentifier) {
  return appendingPath(parentPath(destination), "." + lastPathComponent(destination) + ".new-" +
                                                    std::to_string(processIdentifier));
}

LaunchCommand AppRelocator::quarantineCommand(const std::string& destination) {
  return {"/usr/bin/xattr", {"-dr", "com.apple.quarantine", destination}};
}

LaunchCommand AppRelocator::relaunchCommand(long processIdentifier,
                                            const std::string& destination) {
  // The script is fixed text; the process id and the path reach it as $1 and $2, so no character
  // of the path is ever read as shell syntax.
  static const std::string script =
      "while kill -0 \"$1\" >/dev/null 2>&1; do /bin/sleep 0.1; done; exec \"$2\"";
  return {"/bin/sh", {"-c", script, "harborlume-relaunch", std::to_string(processIdentifier),
                      destination}};
}

AppRelocator::Relocation AppRelocator::relocate(const std::string& source,
                                                const std::string& destination) {
  if (!system_.itemExists(destination)) {
    system_.copyItem(source, destination);
    return Relocation::copied;
  }
  if (system_.resolvingSymlinks(destination) == system_.resolvingSymlinks(source)) {
    return Relocation::alreadyInPlace;
  }
  const std::string staging = stagingPath(destination, system_.processIdentifier());
  try {
    if (system_.itemExists(staging)) system_.removeItem(staging);
  } catch (const RelocationError&) {
    // A leftover that cannot go makes the copy below fail, which is reported.
  }
  system_.copyItem(source, staging);
  try {
    system_.replaceItem(destination, staging);
  } catch (const RelocationError&) {
    try {
      system_.removeItem(staging);
    } catch (const RelocationError&) {
    }
    throw;
  }
  return Relocation::copied;
}

RelocationOutcome AppRelocator::moveToApplicationsIfNeeded() {
  if (!system_.offersMove()) return RelocationOutcome::nothingToDo;

  const std::string bundle = system_.runningCopyPath();
  const std::string source = system_.originalPathIfTranslocated(bundle).value_or(bundle);
  const std::string resolvedSource = system_.resolvingSymlinks(source);
  const bool translocated = resolvedSource != system_.resolvingSymlinks(bundle);
  const std::string destination = appendingPath(applicationsFolder, lastPathComponent(source));

  if (!translocated) {
    if (isInApplicationsFolder(resolvedSource, homeDirectory())) {
      return RelocationOutcome::nothingToDo;
    }
    // A link in the Applications folder that leads here is an installed copy: offering the move
    // would only relaunch this same copy and ask again at the next launch.
    if (system_.itemExists(destination) &&
        system_.resolvingSymlinks(destination) == resolvedSource) {
      qCInfo(relocationLog, "%s already leads to the running copy; not offering to move",
             c(destination));
      return RelocationOutcome::alreadyInstalled;
    }
    if (SettingsFile::readBool(declinedMoveKey).value_or(false)) {
      return RelocationOutcome::nothingToDo;
    }
  }

  if (!prompts_.askUserToMove()) {
    // A translocated launch asks again next time: the user may yet install it properly.
    if (!translocated && !SettingsFile::writeBool(declinedMoveKey, true)) {
      qCWarning(relocationLog, "could not store that the move was declined");
    }
    return RelocationOutcome::declined;
  }

  try {
    if (relocate(source, destination) == Relocation::alreadyInPlace) {
      qCInfo(relocationLog, "%s already leads to the running copy; nothing moved, no relaunch",
             c(destination));
      return RelocationOutcome::alreadyInstalled;
    }
  } catch (const RelocationError& error) {
    qCCritical(relocationLog, "could not relocate to %s: %s", c(destination), error.what());
    prompts_.presentFailure(destination);
    return RelocationOutcome::failed;
  }

  // Whether the flag could be cleared does not matter: the copy starts either way.
  const LaunchCommand quarantine = quarantineCommand(destination);
  system_.run(quarantine.executable, quarantine.arguments, true);

  const LaunchCommand relaunch = relaunchCommand(system_.processIdentifier(), destination);
  if (!system_.run(relaunch.executable, relaunch.arguments, false)) {
    qCCritical(relocationLog, "could not relaunch from %s: %s could not be started",
               c(destination), c(relaunch.executable));
    prompts_.presentRelaunchFailure(destination);
    return RelocationOutcome::failed;
  }
  return RelocationOutcome::relaunching;
}

}  // namespace hl
