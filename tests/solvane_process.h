// Runs the built solvane in a child process, optionally under a file-size limit or as an
// unprivileged user (Linux only), and captures its exit status and both output streams. Also a
// snapshot of a folder, to prove that a run created or changed nothing there.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <process.h>

#include <thread>
#else
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <system_error>
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

// A path from UTF-8 text and back, as the tests write non-ASCII names in UTF-8 literals.
inline fs::path u8(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }
inline std::string text(const fs::path& p) {
  const std::u8string s = p.u8string();
  return {s.begin(), s.end()};
}

inline int processId() {
#ifdef _WIN32
  return ::_getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

// The system's reason for a fault, in its own words: the errno value on Linux, the system
// error code on Windows (where the same fault often has another name and wording).
#ifdef _WIN32
#define SOLVANE_SYSTEM_REASON(linuxErrno, windowsError) ::solvane::testing::systemReason(windowsError)
inline std::string systemReason(unsigned long windowsError) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, windowsError, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring wide(buffer ? buffer : L"", length);
  if (buffer) ::LocalFree(buffer);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) wide.pop_back();
  return text(fs::path(wide));
}
#else
#define SOLVANE_SYSTEM_REASON(linuxErrno, windowsError) ::solvane::testing::systemReason(linuxErrno)
inline std::string systemReason(int linuxErrno) { return std::generic_category().message(linuxErrno); }
#endif

// The solvane under test: on Windows the one beside the test executable (the build's path is
// a Linux path when the tests run under Wine).
inline fs::path solvaneExe() {
#ifdef _WIN32
  std::wstring self(32768, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return fs::path(self).parent_path() / L"solvane.exe";
#elif defined(SOLVANE_EXE)
  return SOLVANE_EXE;
#else
  return "solvane";  // found on the PATH
#endif
}

struct ChildSetup {
  std::optional<std::uint64_t> fileSizeLimit;      // RLIMIT_FSIZE in bytes (Linux)
  bool ignoreSigxfsz = true;                       // false: the limit kills the child mid-write
  bool asNobody = false;                           // drop root (uid/gid 65534) before exec (Linux)
  fs::path executable;                             // empty: the built solvane (solvaneExe())
  std::optional<std::uint64_t> addressSpaceLimit;  // RLIMIT_AS in bytes (Linux)
  fs::path workingDirectory;                       // empty: the test's own
  std::vector<std::string> extraEnv;               // "NAME=value" entries added to the environment
  std::optional<std::string> standardInput;        // written into a pipe that is the child's stdin
};

struct Outcome {
  int exitCode = -1;  // -1 when killed by a signal
  int signal = 0;     // Linux only
  std::string out;
  std::string err;
};

#ifdef _WIN32

// One argument quoted so that CommandLineToArgvW (and the C runtime) read it back unchanged:
// backslashes are literal except before a quote, where they and the quote are escaped.
inline std::wstring quoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      out.append(2 * backslashes + 1, L'\\');
    else
      out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

class Child {
 public:
  Child(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
    std::wstring commandLine = quoteArgument((setup.executable.empty() ? solvaneExe() : setup.executable).native());
    for (const std::string& a : args) commandLine += L" " + quoteArgument(u8(a).native());
    // The environment without SOURCE_DATE_EPOCH, plus the extra entries.
    std::wstring environment;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
      for (const wchar_t* e = block; *e; e += std::wcslen(e) + 1) {
        if (std::wcsncmp(e, L"SOURCE_DATE_EPOCH=", 18) != 0) environment.append(e).push_back(L'\0');
      }
      ::FreeEnvironmentStringsW(block);
    }
    for (const std::string& e : setup.extraEnv) environment.append(u8(e).native()).push_back(L'\0');
    environment.push_back(L'\0');

    // Pipes for the child's output; only the child's ends are inherited, and only by it.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outWrite = nullptr, errWrite = nullptr;
    if (!::CreatePipe(&out_, &outWrite, &inherit, 0) || !::CreatePipe(&err_, &errWrite, &inherit, 0)) return;
    ::SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = INVALID_HANDLE_VALUE, inWrite = nullptr;
    if (setup.standardInput) {
      if (!::CreatePipe(&nul, &inWrite, &inherit, 0)) return;
      ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    } else {
      nul =
          ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    // No console: the child writes only to the pipes, and Wine starts no console host for it
    // (a console host started beside each child made Wine hang some children at start).
    const std::wstring workDir = setup.workingDirectory.native();
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment.data(),
                         workDir.empty() ? nullptr : workDir.c_str(), &startup, &info)) {
      process_ = info.hProcess;
      ::CloseHandle(info.hThread);
    }
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
    if (inWrite) {
      // Fed from a thread of its own, so a child that writes while it reads cannot block us.
      feeder_ = std::thread([inWrite, bytes = *setup.standardInput] {
        for (std::size_t done = 0; done < bytes.size();) {
          DWORD n = 0;
          const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
          if (!::WriteFile(inWrite, bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
          done += n;
        }
        ::CloseHandle(inWrite);
      });
    }
    // Both pipes are drained at once, so a child that fills one never blocks on it.
    readers_[0] = std::thread([this] { drain(out_, result_.out); });
    readers_[1] = std::thread([this] { drain(err_, result_.err); });
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (process_ && !waited_) {
      kill();
      wait();
    }
    for (auto& r : readers_)
      if (r.joinable()) r.join();
    if (process_) ::CloseHandle(process_);
  }

  [[nodiscard]] bool running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  void kill() {
    if (process_) ::TerminateProcess(process_, 137);
  }

  Outcome wait() {
    for (auto& r : readers_)
      if (r.joinable()) r.join();
    if (feeder_.joinable()) feeder_.join();
    ::CloseHandle(out_);
    ::CloseHandle(err_);
    waited_ = true;
    if (process_) {
      ::WaitForSingleObject(process_, INFINITE);
      DWORD code = 0;
      if (::GetExitCodeProcess(process_, &code)) result_.exitCode = static_cast<int>(code);
    }
    return result_;
  }

 private:
  static void drain(HANDLE pipe, std::string& sink) {
    char buf[4096];
    DWORD n = 0;
    while (pipe && ::ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) sink.append(buf, n);
  }

  HANDLE process_ = nullptr;
  HANDLE out_ = nullptr;
  HANDLE err_ = nullptr;
  std::thread readers_[2];
  std::thread feeder_;
  Outcome result_;
  bool waited_ = false;
};

#else

class Child {
 public:
  Child(const std::vector<std::string>& args, const ChildSetup& setup = {}) {
    std::vector<std::string> all{(setup.executable.empty() ? solvaneExe() : setup.executable).string()};
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
    if (setup.standardInput && ::pipe2(inPipe, O_CLOEXEC) != 0) return;
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here to exec.
      if (inPipe[0] >= 0) ::dup2(inPipe[0], 0);
      ::dup2(outPipe[1], 1);
      ::dup2(errPipe[1], 2);
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
      kill();
      wait();
    }
  }

  [[nodiscard]] bool running() const { return pid_ > 0 && ::kill(pid_, 0) == 0; }
  void kill() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
  }

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
    if (feeder_.joinable()) feeder_.join();
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
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

#endif

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
    const std::string rel = text(fs::relative(it->path(), dir));
    s[rel] = it->is_directory() ? std::string("<dir>") : readAll(it->path());
  }
  return s;
}

#ifndef _WIN32
// A copy of the built solvane in `dir`, for a child that runs as another user: the build
// folder may lie where that user cannot enter (a checkout in /root).
inline fs::path solvaneCopyIn(const fs::path& dir) {
  const fs::path copy = dir / "solvane";
  fs::copy_file(solvaneExe(), copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  return copy;
}
#endif

// A fresh folder under the system's temporary folder that an unprivileged child can enter.
inline fs::path freshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("solvane_" + name + "_" + std::to_string(processId()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
  return dir;
}

}  // namespace solvane::testing
