#include "support/Process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace morvel::testing {
namespace {

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    read = fds[0];
    write = fds[1];
  }
};

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input) {
  std::signal(SIGPIPE, SIG_IGN);
  Pipe in, out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  closeFd(in.read);
  closeFd(out.write);
  closeFd(err.write);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);

  // Input goes in as the pipe takes it, so that a child blocked on a full output
  // pipe is never waited on by a parent blocked on a full input pipe.
  ::fcntl(in.write, F_SETFL, O_NONBLOCK);
  ProcessResult result;
  std::size_t written = 0;
  if (input.empty()) closeFd(in.write);
  while (out.read >= 0 || err.read >= 0) {
    std::array<pollfd, 3> fds = {{{out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {in.write, POLLOUT, 0}}};
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
    std::array<char, 65536> buffer{};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      int& fd = i == 0 ? out.read : err.read;
      ssize_t count = ::read(fd, buffer.data(), buffer.size());
      if (count <= 0) {
        closeFd(fd);
      } else {
        (i == 0 ? result.out : result.err).append(buffer.data(), static_cast<std::size_t>(count));
      }
    }
    if (in.write >= 0 && fds[2].revents != 0) {
      ssize_t count = ::write(in.write, input.data() + written, input.size() - written);
      if (count > 0) written += static_cast<std::size_t>(count);
      if ((count < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) closeFd(in.write);
    }
  }
  closeFd(in.write);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
