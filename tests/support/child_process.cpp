#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace hl::test {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    throw std::runtime_error("pipe");
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    ::close(input_);
    ::close(output_);
    throw std::runtime_error("posix_spawn " + arguments.front());
  }
}

ChildProcess::~ChildProcess() {
  stop(SIGKILL);
  if (input_ >= 0) ::close(input_);
  if (output_ >= 0) ::close(output_);
}

void ChildProcess::stop(int signal) {
  if (pid_ <= 0) return;
  ::kill(pid_, signal);
  while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

std::string ChildProcess::readLine() {
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t got = ::read(output_, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return {};
    if (c == '\n') return line;
    line.push_back(c);
  }
}

void ChildProcess::writeLine(const std::string& line) {
  const std::string bytes = line + "\n";
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(input_, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

std::vector<std::string> shellScript(const std::string& script, const std::string& argument) {
  return {"/bin/sh", "-c", script, argument};
}

}  // namespace hl::test
