#include "support/git_repository.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "services/system/process_runner.h"

namespace hl::test {

bool gitAvailable() { return ::access("/usr/bin/git", X_OK) == 0; }

std::string git(const std::string& directory, const std::vector<std::string>& arguments) {
  std::vector<std::string> full = {"-C", directory};
  full.insert(full.end(), arguments.begin(), arguments.end());
  const auto output = ProcessRunner::run("/usr/bin/git", full, std::chrono::seconds(30),
                                         {{"GIT_AUTHOR_NAME", "Test"},
                                          {"GIT_AUTHOR_EMAIL", "test@example.invalid"},
                                          {"GIT_COMMITTER_NAME", "Test"},
                                          {"GIT_COMMITTER_EMAIL", "test@example.invalid"},
                                          {"GIT_CONFIG_NOSYSTEM", "1"},
                                          {"LC_ALL", "C"}});
  if (!output) {
    ADD_FAILURE() << "git could not run";
    return {};
  }
  if (!output->succeeded()) {
    std::string command;
    for (const std::string& argument : arguments) command += " " + argument;
    ADD_FAILURE() << "git" << command << " failed (" << output->status << "): " << output->err;
  }
  return output->out;
}

void initRepository(const std::string& path) {
  std::filesystem::create_directories(path);
  git(path, {"init", "-q", "-b", "main"});
}

void commitFile(const std::string& repository, const std::string& relative,
                const std::string& content, const std::string& message) {
  const std::filesystem::path file = std::filesystem::path(repository) / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << content;
  git(repository, {"add", "--", relative});
  git(repository, {"commit", "-q", "-m", message});
}

}  // namespace hl::test
