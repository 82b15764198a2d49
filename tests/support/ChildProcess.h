#pragma once

// A child process the tests talk to over pipes: the simulator or the helper, a
// sample application or a real one. Line by line, or all its input at once with
// runProcess. Stopped and reaped by its process id when the object goes away.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace morvel::testing {

using namespace std::chrono_literals;

class ChildProcess {
 public:
  // Starts `argv` with stdin and stdout connected to the test. `environment`
  // entries are set (a value of nullopt removes the variable) on top of ours.
  ChildProcess(std::vector<std::string> argv,
               const std::map<std::string, std::optional<std::string>>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void writeLine(const std::string& line);
  // Writes to the child's stdin; false once the child no longer reads it.
  bool write(const std::string& bytes);
  void closeInput();
  // The next line, or nothing when none came before the deadline or at end of output.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // Everything the child writes to stdout until it closes it.
  std::string readToEnd();
  // Closes the child's stdin and waits for its exit status (nothing on time-out,
  // -1 when it did not exit normally).
  std::optional<int> closeAndWait(std::chrono::milliseconds timeout);
  // Bytes the child wrote to stderr so far (it goes to a file).
  std::string standardError() const;

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string errorFile_;
  std::string pending_;
  bool reaped_ = false;
};

struct ProcessResult {
  std::string out;
  std::string err;
  int exitStatus = -1;  // -1 when the process did not exit normally
};

// Runs a program with `input` on its standard input and collects what it writes.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input);

// The lines of an output, without their line feeds.
std::vector<std::string> lines(const std::string& output);

}  // namespace morvel::testing
