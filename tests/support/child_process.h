#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace hl::test {

// A real child process for tests that must see one running: started with posix_spawn, its
// standard input and output are pipes to the test. Always killed and reaped when the object
// goes, whatever the test did.
class ChildProcess {
 public:
  // Runs `arguments[0]` (a path, run as it is) with `arguments`. The spawn returns once the child
  // runs its new program.
  explicit ChildProcess(const std::vector<std::string>& arguments);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  // Sends `signal` and reaps the child: a server stopped with SIGTERM removes its own files.
  void stop(int signal);
  // Blocks until the child writes a whole line to its standard output, and returns it without
  // the newline; empty when the child closed its output (ended) first.
  std::string readLine();
  // Writes `line` and a newline to the child's standard input.
  void writeLine(const std::string& line);

 private:
  pid_t pid_ = -1;
  int input_ = -1;   // the child's standard input, our end
  int output_ = -1;  // the child's standard output, our end
};

// The arguments that run `script` with `/bin/sh -c` and `argument` as $0. A script that prints a
// line once it is set up and then runs `read` lets the test wait for that line and keeps the
// child waiting on the test's pipe until it is killed.
std::vector<std::string> shellScript(const std::string& script, const std::string& argument);

}  // namespace hl::test
