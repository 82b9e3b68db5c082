// Runs the built solvane in a child process, optionally under a file-size limit or as an
// unprivileged user, and captures its exit status and both output streams. Also a snapshot of
// a folder, to prove that a run created or changed nothing there.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace solvane::testing {

namespace fs = std::filesystem;

inline std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeAll(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct ChildSetup {
  std::optional<rlim_t> fileSizeLimit;  // RLIMIT_FSIZE in bytes
  bool ignoreSigxfsz = true;            // false: the limit kills the child mid-write
  bool asNobody = false;                // drop root (uid/gid 65534) before exec
  fs::path executable;                      // empty: the built solvane (SOLVANE_EXE)
  std::optional<std::string> standardInput;  // written into a pipe that is the child's stdin
  std::optional<rlim_t> addressSpaceLimit;  // RLIMIT_AS in bytes
  fs::path workingDirectory;                // empty: the test's own
  std::vector<std::string> extraEnv;        // "NAME=value" entries added to the environment
};

struct Outcome {
  int exitCode = -1;  // -1 when killed by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

class Child {
 public:
  Child(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
    std::vector<std::string> all{setup.executable.empty() ? std::string(SOLVANE_EXE) : setup.executable.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The environment without SOURCE_DATE_EPOCH, built before fork.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      if (std::strncmp(*e, "SOURCE_DATE_EPOCH=", 18) != 0) env.emplace_back(*e);
    }
    env.insert(env.end(), setup.extraEnv.begin(), setup.extraEnv.end());
    const std::string workDir = setup.workingDirectory.string();
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2], inPipe[2] = {-1, -1};
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return;
    if (setup.standardInput && ::pipe2(inPipe, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here to exec.
      ::dup2(outPipe[1], 1);
      ::dup2(errPipe[1], 2);
      if (inPipe[0] >= 0) ::dup2(inPipe[0], 0);
      ::signal(SIGXFSZ, setup.ignoreSigxfsz ? SIG_IGN : SIG_DFL);
      if (setup.fileSizeLimit) {
        const rlimit limit{*setup.fileSizeLimit, *setup.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      if (setup.addressSpaceLimit) {
        const rlimit limit{*setup.addressSpaceLimit, *setup.addressSpaceLimit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
      }
      if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
      if (setup.asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
        ::_exit(126);
      }
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (inPipe[0] >= 0) {
      // Fed from a thread of its own, so a child that writes while it reads cannot block us.
      ::close(inPipe[0]);
      feeder_ = std::thread([fd = inPipe[1], bytes = *setup.standardInput] {
        ::signal(SIGPIPE, SIG_IGN);
        for (std::size_t done = 0; done < bytes.size();) {
          const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
          if (n <= 0) break;
          done += static_cast<std::size_t>(n);
        }
        ::close(fd);
      });
    }
    out_ = outPipe[0];
    err_ = errPipe[0];
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }

  [[nodiscard]] pid_t pid() const { return pid_; }

  Outcome wait() {
    Outcome r;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0) {
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buf[4096];
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    if (feeder_.joinable()) feeder_.join();
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool waited_ = false;
  std::thread feeder_;
};

inline Outcome runSolvane(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
  return Child(args, setup).wait();
}

// Every entry under a folder: relative path -> content ("<dir>" for folders).
using Snapshot = std::map<std::string, std::string>;

inline Snapshot snapshot(const fs::path& dir) {
  Snapshot s;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = fs::relative(it->path(), dir).string();
    s[rel] = it->is_directory() ? std::string("<dir>") : readAll(it->path());
  }
  return s;
}

// A copy of the built solvane in `dir`, for a child that runs as another user: the build
// folder may lie where that user cannot enter (a checkout in /root).
inline fs::path solvaneCopyIn(const fs::path& dir) {
  const fs::path copy = dir / "solvane";
  fs::copy_file(SOLVANE_EXE, copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  return copy;
}

// A fresh folder under the system's temporary folder that an unprivileged child can enter.
inline fs::path freshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("solvane_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  return dir;
}

}  // namespace solvane::testing
