// The Windows dialog against `solvane.exe convert` on the same generated lists, in the same
// run, under Wine (bench/run-windows-dialog) or on Windows:
//
//   solvane_win_dialog_bench [POINTS [SECTIONS [RUNS]]]   (default 1000000 20000 3)
//
// Each run starts two child processes, one after the other: solvane.exe convert, and this
// program with --dialog, which creates the real dialog, chooses the lists through its Open
// buttons (answered by the test prompts), presses Conversion and waits for the closing message.
// For each: the wall time from start to end of the process, and its peak working set (the
// system's figure, read from the finished process). Inside the dialog child a second thread
// sends the window a message every 2 ms and notes the longest wait for its answer: the longest
// pause of the UI thread, from the click until the closing message; the pump times each
// message it hands on (the longest, with its id: what the dialog's own handling costs) and, at
// the end, the repaint of a page of the table. Dialog time is click to closing message (its
// process start is not part of a Conversion); solvane.exe's is its whole process. Both databases
// must be equal (same date and seed). It reports; it never fails on a figure.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/list_generator.h"
#include "tests/win/dialog_driver.h"
#include "win/db_conv_solvane_dlg.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

fs::path selfPath() {
  std::wstring self(32768, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self;
}

struct ChildRun {
  double wallSeconds = 0;
  double peakMB = 0;
  DWORD exitCode = 1;
};

// Wine forgets a process's memory figures once it has ended, so they are read while it runs:
// the largest working set seen every few milliseconds, or the system's peak if it knows more.
double waitMeasuringPeak(HANDLE process) {
  std::size_t peak = 0;
  for (;;) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
      peak = std::max({peak, memory.WorkingSetSize, memory.PeakWorkingSetSize});
    }
    if (::WaitForSingleObject(process, 5) == WAIT_OBJECT_0) break;
  }
  return static_cast<double>(peak) / 1e6;
}

// Runs the command line in `folder`, its standard output into `output`.
ChildRun runChild(std::wstring commandLine, const fs::path& folder, HANDLE output) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  const auto start = Clock::now();
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
    std::fprintf(stderr, "cannot start %ls\n", commandLine.c_str());
    return {};
  }
  ChildRun run;
  run.peakMB = waitMeasuringPeak(process.hProcess);
  run.wallSeconds = seconds(Clock::now() - start);
  ::GetExitCodeProcess(process.hProcess, &run.exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return run;
}

HANDLE inheritableFile(const fs::path& path, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition, 0,
                       nullptr);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The dialog child: convert in the dialog, print the UI thread's longest pause in ms.
int dialogRun(const fs::path& folder) {
  using namespace solvane::wintest;
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  FakePrompts prompts;
  prompts.sourceAnswers = {folder / "Solvane.txt", folder / "Autodoria.txt"};
  solvane::win::CDB_Conv_SolvaneDlg dialog(prompts);
  HWND window = dialog.Create();
  if (!window) return 1;
  click(window, 1001);
  click(window, 1005);
  dialog.logic().setRunInputs(solvane::FileDate{2024, 11, 5}, 1);
  // The window's first painting (fonts, controls) belongs to the start, not to the run.
  pumpFor(window, std::chrono::milliseconds(500));

  std::atomic<bool> stop{false}, stopped{false};
  std::atomic<long long> longestUs{0}, longestAtUs{0};
  const auto clickTime = Clock::now();
  std::thread pinger([&] {
    while (!stop) {
      const auto start = Clock::now();
      DWORD_PTR result = 0;
      ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
      const long long us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
      if (us > longestUs) {
        longestUs = us;
        longestAtUs = std::chrono::duration_cast<std::chrono::microseconds>(start - clickTime).count();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stopped = true;
  });
  click(window, 1002);
  // When the list was loaded, sorted and shown (the writing began) and when all was done.
  double writingAt = 0;
  // The pump of the test driver, with each message's handling timed: the longest is what the
  // dialog's own code holds the UI thread for; the ping also counts the waits for the CPU.
  long long longestHandlerUs = 0;
  UINT longestMessage = 0;
  const auto until = Clock::now() + std::chrono::minutes(10);
  bool done = false;
  while (!done && Clock::now() < until) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      const auto start = Clock::now();
      if (!::IsDialogMessageW(window, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      const long long us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
      if (us > longestHandlerUs) {
        longestHandlerUs = us;
        longestMessage = msg.message;
      }
    }
    if (writingAt == 0 && dialog.logic().runState() == solvane::dialog::RunState::kWriting) {
      writingAt = seconds(Clock::now() - clickTime);
    }
    done = !dialog.logic().isConverting();
    if (!done) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  const double doneAt = seconds(Clock::now() - clickTime);
  stop = true;
  // Its last message must still be answered.
  pumpUntil(window, [&] { return stopped.load(); });
  pinger.join();
  // What one page of the camera table costs to paint now, on a quieter UI thread: 20 repaints
  // of the whole list, the median.
  HWND list = ::GetDlgItem(window, 1000);
  std::vector<double> paints;
  for (int i = 0; i < 20; ++i) {
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(i * 50'000), FALSE);
    const auto start = Clock::now();
    ::InvalidateRect(list, nullptr, TRUE);
    ::UpdateWindow(list);
    paints.push_back(seconds(Clock::now() - start) * 1000.0);
  }
  std::sort(paints.begin(), paints.end());
  const bool converted =
      done && prompts.messages.size() == 1 && prompts.messages[0].text.starts_with("DB Conversion end.");
  std::printf("%.1f %.2f %.2f %.2f %.1f %x %.1f %s\n", static_cast<double>(longestUs.load()) / 1000.0,
              static_cast<double>(longestAtUs.load()) / 1e6, writingAt, doneAt,
              static_cast<double>(longestHandlerUs) / 1000.0, longestMessage, paints[paints.size() / 2],
              dialog.logic().total().c_str());
  return converted ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--dialog") return dialogRun(argv[2]);

  const std::size_t points = argc > 1 ? std::stoul(argv[1]) : 1'000'000;
  const std::size_t sections = argc > 2 ? std::stoul(argv[2]) : 20'000;
  const int runs = argc > 3 ? std::stoi(argv[3]) : 3;
  const fs::path top = fs::temp_directory_path() / L"solvane_win_dialog_bench";
  const fs::path cliDir = top / L"cli", dialogDir = top / L"dialog";
  fs::remove_all(top);
  fs::create_directories(cliDir);
  fs::create_directories(dialogDir);
  std::uintmax_t inputBytes = 0;
  {
    const auto lists = solvane::bench::generateLists(points, sections, 20241105);
    for (const fs::path& dir : {cliDir, dialogDir}) {
      std::ofstream(dir / "Solvane.txt", std::ios::binary) << lists.normal;
      std::ofstream(dir / "Autodoria.txt", std::ios::binary) << lists.autodoria;
    }
    inputBytes = lists.normal.size() + lists.autodoria.size();
  }
  const fs::path solvane = selfPath().parent_path() / L"solvane.exe";
  std::printf("lists: %zu points, %zu sections, %.1f MB\n", points, sections, static_cast<double>(inputBytes) / 1e6);
  std::printf(
      "run  cli s  dialog s  ratio  writing at s  cli MB  dlg MB  dlg/in  pause ms  longest message  paint ms\n");
  std::vector<double> ratios, pauses, memory, handlers;
  for (int i = 0; i < runs; ++i) {
    // solvane.exe's "DB Conversion end." line goes nowhere; the dialog child prints its
    // figures into a file.
    HANDLE nul = inheritableFile(L"NUL", OPEN_EXISTING);
    const ChildRun cli = runChild(L"\"" + solvane.wstring() +
                                      L"\" convert --normal Solvane.txt --autodoria Autodoria.txt --date 2024-11-05 "
                                      L"--seed 1",
                                  cliDir, nul);
    ::CloseHandle(nul);
    const fs::path pauseFile = dialogDir / L"pause.txt";
    HANDLE out = inheritableFile(pauseFile, CREATE_ALWAYS);
    const ChildRun dialog =
        runChild(L"\"" + selfPath().wstring() + L"\" --dialog \"" + dialogDir.wstring() + L"\"", dialogDir, out);
    ::CloseHandle(out);
    double pause = -1, pauseAt = 0, writingAt = 0, doneAt = 0, handler = -1, paint = -1;
    unsigned message = 0;
    std::sscanf(readFile(pauseFile).c_str(), "%lf %lf %lf %lf %lf %x %lf", &pause, &pauseAt, &writingAt, &doneAt,
                &handler, &message, &paint);
    const bool same = readFile(cliDir / "DB_241105.dbh") == readFile(dialogDir / "DB_241105.dbh");
    if (cli.exitCode != 0 || dialog.exitCode != 0 || !same) {
      std::printf("run %d failed: solvane.exe %lu, dialog %lu, databases %s\n", i + 1, cli.exitCode, dialog.exitCode,
                  same ? "equal" : "DIFFER");
      return 1;
    }
    // "writing at": when the encode/write step began (0: between two looks of the pump).
    // The Conversion as the user waits for it (click to closing message) against the whole
    // solvane.exe process, its start included.
    const double ratio = doneAt / cli.wallSeconds;
    const double perInput = dialog.peakMB * 1e6 / static_cast<double>(inputBytes);
    std::printf("%3d  %5.2f  %9.2f  %5.2f  %9.2f  %5.1f  %8.1f  %6.2f  %8.1f  %8.1f 0x%04x  %5.1f\n", i + 1,
                cli.wallSeconds, doneAt, ratio, writingAt, cli.peakMB, dialog.peakMB, perInput, pause, handler, message,
                paint);
    handlers.push_back(handler);
    ratios.push_back(ratio);
    pauses.push_back(pause);
    memory.push_back(perInput);
  }
  std::sort(ratios.begin(), ratios.end());
  std::sort(pauses.begin(), pauses.end());
  std::sort(memory.begin(), memory.end());
  std::sort(handlers.begin(), handlers.end());
  const std::size_t mid = ratios.size() / 2;
  std::printf(
      "median: time ratio %.2f, dialog peak memory / input %.2f, longest UI pause %.1f ms (longest message %.1f ms); "
      "databases equal\n",
      ratios[mid], memory[mid], pauses[mid], handlers[mid]);
  fs::remove_all(top);
  return 0;
}
