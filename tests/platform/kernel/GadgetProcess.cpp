#include "tests/platform/kernel/GadgetProcess.h"

#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

GadgetProcess::GadgetProcess(const std::string &model,
                             const std::string &serial) {
  // One socket for its input and output: a write to a gadget that ended
  // fails instead of raising SIGPIPE.
  const char *program = std::getenv("PINWORTH_GADGET");
  int ends[2];
  if (!program ||
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int target : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
    posix_spawn_file_actions_adddup2(&actions, ends[1], target);
  const std::string modelArgument = model, serialArgument = serial;
  char *arguments[] = {const_cast<char *>(program),
                       const_cast<char *>("--model"),
                       const_cast<char *>(modelArgument.c_str()),
                       const_cast<char *>("--serial"),
                       const_cast<char *>(serialArgument.c_str()),
                       nullptr};
  if (posix_spawn(&pid_, program, &actions, nullptr, arguments, environ) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  socket_ = ends[0];
  if (pid_ < 0)
    return;
  for (std::string line; (line = readLine()) != "";) {
    output_ += line + "\n";
    if (line == "ready") {
      ready_ = true;
      break;
    }
  }
}

GadgetProcess::~GadgetProcess() {
  if (socket_ >= 0) [[maybe_unused]]
    ssize_t sent = ::send(socket_, "quit\n", 5, MSG_NOSIGNAL);
  if (pid_ > 0)
    ::waitpid(pid_, nullptr, 0);
  if (socket_ >= 0)
    ::close(socket_);
}

std::string GadgetProcess::command(const std::string &line) {
  std::lock_guard lock(mutex_);
  const std::string sent = line + "\n";
  if (socket_ < 0 || ::send(socket_, sent.data(), sent.size(), MSG_NOSIGNAL) !=
                         ssize_t(sent.size()))
    return "error: the gadget is gone";
  const std::string answer = readLine();
  return answer.empty() ? "error: the gadget did not answer" : answer;
}

// A line without its newline; empty at the end of the output or after 10 s
// without one.
std::string GadgetProcess::readLine() {
  for (size_t end; (end = unread_.find('\n')) == std::string::npos;) {
    pollfd readable = {socket_, POLLIN, 0};
    char bytes[256];
    const ssize_t count = ::poll(&readable, 1, 10000) == 1
                              ? ::read(socket_, bytes, sizeof bytes)
                              : -1;
    if (count <= 0)
      return {};
    unread_.append(bytes, size_t(count));
  }
  const size_t end = unread_.find('\n');
  std::string line = unread_.substr(0, end);
  unread_.erase(0, end + 1);
  return line;
}
