// How far a long import is, on standard error when it is a terminal: shown once the import has
// run for a second, updated a few times a second on one line, ended with a line feed.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>

#include "import/import_run.h"

namespace solvane::cli {

bool standardErrorIsTerminal() noexcept;

class ImportProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  // `now` is the clock (the tests give their own); `out` only written when `terminal`.
  ImportProgressLine(bool terminal, std::ostream& out, std::function<Clock::time_point()> now = Clock::now);

  void update(const importer::ImportProgress& p);
  // Ends the line when one was shown.
  void finish();

 private:
  bool terminal_;
  std::ostream& out_;
  std::function<Clock::time_point()> now_;
  Clock::time_point start_, last_;
  void show(const importer::ImportProgress& p);

  importer::ImportProgress latest_;
  std::uint64_t shownBytes_ = 0;
  bool shown_ = false;
  std::size_t width_ = 0;
};

}  // namespace solvane::cli
