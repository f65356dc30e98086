#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProgramRun run_program(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& directory,
                       const std::optional<std::string>& input) {
  int out_pipe[2], err_pipe[2], in_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0 || ::pipe(in_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argv_text;
  argv_text.push_back(program.string());
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argv_text) argv.push_back(text.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      ::close(fd);
    }
    if (::chdir(directory.c_str()) != 0) ::_exit(121);
    ::execv(argv[0], argv.data());
    ::_exit(122);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  int in_fd = in_pipe[1];
  int out_fd = out_pipe[0];
  int err_fd = err_pipe[0];

  // Feed standard input while draining both outputs, so no pipe can fill up and stall the child.
  ::signal(SIGPIPE, SIG_IGN);
  const std::string feed = input.value_or("");
  std::size_t fed = 0;
  if (feed.empty()) close_fd(in_fd);
  ProgramRun run;
  while (out_fd >= 0 || err_fd >= 0) {
    std::vector<pollfd> watched;
    if (out_fd >= 0) watched.push_back({out_fd, POLLIN, 0});
    if (err_fd >= 0) watched.push_back({err_fd, POLLIN, 0});
    if (in_fd >= 0) watched.push_back({in_fd, POLLOUT, 0});
    if (::poll(watched.data(), watched.size(), -1) < 0) continue;
    for (const pollfd& entry : watched) {
      if (entry.revents == 0) continue;
      if (entry.fd == in_fd) {
        const ssize_t n = ::write(in_fd, feed.data() + fed, feed.size() - fed);
        if (n > 0) fed += static_cast<std::size_t>(n);
        if (n < 0 || fed == feed.size()) close_fd(in_fd);
        continue;
      }
      char chunk[4096];
      const ssize_t n = ::read(entry.fd, chunk, sizeof chunk);
      if (n <= 0) {
        close_fd(entry.fd == out_fd ? out_fd : err_fd);
        continue;
      }
      (entry.fd == out_fd ? run.out : run.err).append(chunk, static_cast<std::size_t>(n));
    }
  }
  close_fd(in_fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) {
    run.signalled = true;
    run.status = 128 + WTERMSIG(status);
  } else {
    run.status = WEXITSTATUS(status);
  }
  return run;
}

std::string hex(std::uint64_t n) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(n));
  return text;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "genesis-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

void TempDir::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  std::ofstream file(path_ / name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> TempDir::read(const std::string& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> TempDir::names() const {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    found.push_back(entry.path().filename().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}
