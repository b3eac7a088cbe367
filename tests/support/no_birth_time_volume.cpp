#include "support/no_birth_time_volume.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "services/system/process_runner.h"
#include "support/test_environment.h"

namespace hl::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMakeExt4 = "/usr/sbin/mkfs.ext4";
constexpr const char* kDebugExt4 = "/usr/sbin/debugfs";
// 2001-01-01, in seconds since the epoch.
constexpr std::int64_t kLongAgo = 978307200;

void run(const std::string& program, const std::vector<std::string>& arguments) {
  const auto output = ProcessRunner::run(program, arguments, std::chrono::seconds(60));
  if (!output || !output->succeeded()) {
    throw std::runtime_error(
        program + " failed: " + (output ? output->err : std::string("it could not run")));
  }
}

// The paths of everything below `folder`, relative to it.
std::vector<std::string> everythingIn(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.push_back(fs::relative(entry.path(), folder).string());
  }
  return paths;
}

// An image of an ext4 with 128-byte inodes holding `contents` in plain/ and upper/ (beside the
// overlay's empty lower/ and work/), every copied object's change time set back.
std::string makeImage(const std::string& contents) {
  const std::string scratch = makeScratchFolder("ext4");
  const std::string source = scratch + "/source";
  for (const char* folder : {"lower", "work"}) fs::create_directories(source + "/" + folder);
  for (const char* folder : {"plain", "upper"}) {
    fs::copy(contents, source + "/" + folder,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  const std::string image = scratch + "/image";
  run(kMakeExt4, {"-q", "-F", "-I", "128", "-d", source, image, "16M"});

  const std::string commands = scratch + "/commands";
  {
    std::ofstream out(commands);
    for (const std::string& path : everythingIn(contents)) {
      for (const char* folder : {"/plain/", "/upper/"}) {
        out << "set_inode_field " << folder << path << " ctime @" << kLongAgo << "\n";
      }
    }
  }
  run(kDebugExt4, {"-w", "-f", commands, image});
  return image;
}

// debugfs tells of a command that failed only in what it prints: look through the mount.
void expectSetBack(const std::string& contents, const std::string& copy) {
  for (const std::string& path : everythingIn(contents)) {
    struct stat st {};
    if (::lstat((copy + "/" + path).c_str(), &st) != 0 || st.st_ctim.tv_sec != kLongAgo) {
      throw std::runtime_error("the change time of " + copy + "/" + path + " was not set back");
    }
  }
}

}  // namespace

std::string NoBirthTimeVolume::unavailableReason() {
  if (std::string reason = ScratchMount::unavailableReason(); !reason.empty()) return reason;
  for (const char* program : {kMakeExt4, kDebugExt4, "/usr/bin/mount"}) {
    if (::access(program, X_OK) != 0) return std::string(program) + " is missing";
  }
  if (::access("/dev/loop-control", R_OK | W_OK) != 0) return "no loop devices";
  std::ifstream known("/proc/filesystems");
  const std::string table((std::istreambuf_iterator<char>(known)),
                          std::istreambuf_iterator<char>());
  for (const std::string kind : {"ext4", "overlay"}) {
    if (table.find("\t" + kind + "\n") == std::string::npos) return "no " + kind + " file system";
  }
  return {};
}

NoBirthTimeVolume::NoBirthTimeVolume(const std::string& contents, const std::string& plainAt,
                                     const std::string& overlaidAt)
    : disk_(ScratchMount::ext4Image(makeImage(contents), makeScratchFolder("disk"))) {
  const std::string& disk = disk_.path();
  if (!plainAt.empty()) {
    plain_.emplace(ScratchMount::bind(disk + "/plain", plainAt));
    expectSetBack(contents, plainAt);
  }
  overlay_.emplace(
      ScratchMount::overlay(disk + "/lower", disk + "/upper", disk + "/work", overlaidAt));
  expectSetBack(contents, overlaidAt);
}

}  // namespace hl::test
