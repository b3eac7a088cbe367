#include "support/scratch_mount.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "services/system/process_runner.h"

namespace hl::test {
namespace {

// Enters a private mount namespace once per process, on its first call, which the test main
// makes before any thread starts (a namespace entered later would hold the calling thread
// only); the reason it failed, or empty.
const std::string& privateNamespace() {
  static const std::string reason = []() -> std::string {
    if (::geteuid() != 0) return "mounting needs root";
    if (::unshare(CLONE_NEWNS) != 0) {
      return std::string("no private mount namespace: ") + std::strerror(errno);
    }
    // Without this, mounts could still propagate to the rest of the machine.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("cannot make mounts private: ") + std::strerror(errno);
    }
    return {};
  }();
  return reason;
}

}  // namespace

std::string ScratchMount::unavailableReason() { return privateNamespace(); }

ScratchMount ScratchMount::tmpfs(const std::string& where) {
  if (!privateNamespace().empty()) throw std::runtime_error(privateNamespace());
  if (::mount("hl-test", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=8m") != 0) {
    throw std::runtime_error("mount tmpfs " + where + ": " + std::strerror(errno));
  }
  return ScratchMount(where);
}

ScratchMount ScratchMount::bind(const std::string& source, const std::string& where) {
  if (!privateNamespace().empty()) throw std::runtime_error(privateNamespace());
  if (::mount(source.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    throw std::runtime_error("bind " + source + " at " + where + ": " + std::strerror(errno));
  }
  return ScratchMount(where);
}

ScratchMount ScratchMount::ext4Image(const std::string& image, const std::string& where) {
  if (!privateNamespace().empty()) throw std::runtime_error(privateNamespace());
  // The mount command finds a free loop device and sets it to go when the mount goes, with the
  // retries that other processes taking loop devices at the same time need. It runs in this
  // process's mount namespace, so the mount stays as private as the others.
  const auto output =
      ProcessRunner::run("/usr/bin/mount", {"-t", "ext4", "-o", "loop,nosuid,nodev", image, where},
                         std::chrono::seconds(60));
  if (!output || !output->succeeded()) {
    throw std::runtime_error("mount ext4 image " + image + " at " + where + ": " +
                             (output ? output->err : std::string("mount could not run")));
  }
  return ScratchMount(where);
}

ScratchMount ScratchMount::overlay(const std::string& lower, const std::string& upper,
                                   const std::string& work, const std::string& where) {
  if (!privateNamespace().empty()) throw std::runtime_error(privateNamespace());
  const std::string options = "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work;
  if (::mount("overlay", where.c_str(), "overlay", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    throw std::runtime_error("mount overlay at " + where + ": " + std::strerror(errno));
  }
  return ScratchMount(where);
}

ScratchMount::ScratchMount(ScratchMount&& other) noexcept : where_(std::move(other.where_)) {
  other.where_.clear();
}

ScratchMount::~ScratchMount() {
  if (!where_.empty()) ::umount2(where_.c_str(), MNT_DETACH);
}

}  // namespace hl::test
