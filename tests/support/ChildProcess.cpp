#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace morvel::testing {
namespace {

constexpr auto reapPollInterval = 20ms;
constexpr auto gracefulStopWait = 2000ms;

void closeIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           const std::map<std::string, std::optional<std::string>>& environment) {
  std::signal(SIGPIPE, SIG_IGN);  // a write to a child that stopped reading fails instead
  int input[2];
  int output[2];
  if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  char errorTemplate[] = "/tmp/morvel-child-stderr.XXXXXX";
  const int errorFd = ::mkstemp(errorTemplate);
  if (errorFd < 0) throw std::runtime_error("mkstemp failed");
  errorFile_ = errorTemplate;

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::dup2(output[1], STDOUT_FILENO);
    ::dup2(errorFd, STDERR_FILENO);
    for (const auto& [name, value] : environment) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(errorFd);
  ::close(input[0]);
  ::close(output[1]);
  toChild_ = input[1];
  fromChild_ = output[0];
}

ChildProcess::~ChildProcess() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGCONT);  // a test may have stopped it
    ::kill(pid_, SIGTERM);
    if (!closeAndWait(gracefulStopWait)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  closeIfOpen(toChild_);
  closeIfOpen(fromChild_);
  if (!errorFile_.empty()) ::unlink(errorFile_.c_str());
}

void ChildProcess::writeLine(const std::string& line) {
  if (!write(line + "\n")) throw std::runtime_error("write to child failed");
}

bool ChildProcess::write(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(toChild_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

void ChildProcess::closeInput() { closeIfOpen(toChild_); }

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto newline = pending_.find('\n'); newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd waiting{fromChild_, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t count = ::read(fromChild_, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    pending_.append(chunk, static_cast<std::size_t>(count));
  }
}

std::string ChildProcess::readToEnd() {
  std::string all = std::move(pending_);
  pending_.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t count = ::read(fromChild_, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return all;
    all.append(chunk, static_cast<std::size_t>(count));
  }
}

std::optional<int> ChildProcess::closeAndWait(std::chrono::milliseconds timeout) {
  closeIfOpen(toChild_);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || done < 0) {
      reaped_ = true;
      return done == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(reapPollInterval);
  }
}

std::string ChildProcess::standardError() const {
  std::ifstream file(errorFile_);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input) {
  ChildProcess child(argv);
  // Input goes in from a thread of its own, so that a child blocked on a full
  // output pipe is never waited on by a parent blocked on a full input pipe.
  std::thread feeder([&] {
    child.write(input);
    child.closeInput();
  });
  ProcessResult result;
  result.out = child.readToEnd();
  feeder.join();
  result.exitStatus = child.closeAndWait(60s).value_or(-1);
  result.err = child.standardError();
  return result;
}

std::vector<std::string> lines(const std::string& output) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    result.push_back(output.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

}  // namespace morvel::testing
