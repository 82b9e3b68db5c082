#include "cli/import_progress.h"

#include <cstdio>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace solvane::cli {

bool standardErrorIsTerminal() noexcept {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

ImportProgressLine::ImportProgressLine(bool terminal, std::ostream& out, std::function<Clock::time_point()> now)
    : terminal_(terminal), out_(out), now_(std::move(now)), start_(now_()), last_(start_) {}

void ImportProgressLine::update(const importer::ImportProgress& p) {
  if (!terminal_) return;
  const Clock::time_point t = now_();
  latest_ = p;
  if (t - start_ < std::chrono::seconds(1)) return;
  if (shown_ && t - last_ < std::chrono::milliseconds(200)) return;
  last_ = t;
  show(p);
}

void ImportProgressLine::show(const importer::ImportProgress& p) {
  char line[160];
  const double mb = static_cast<double>(p.bytesRead) / 1e6;
  if (p.bytesTotal) {
    std::snprintf(line, sizeof line, "importing: %3d %% (%.1f of %.1f MB read), %zu camera(s)",
                  static_cast<int>(100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal)), mb,
                  static_cast<double>(p.bytesTotal) / 1e6, p.objects);
  } else {
    std::snprintf(line, sizeof line, "importing: %.1f MB read, %zu camera(s)", mb, p.objects);
  }
  std::string text(line);
  const std::size_t width = text.size();
  if (width < width_) text.append(width_ - width, ' ');  // over a longer line before
  width_ = width;
  out_ << '\r' << text << std::flush;
  shown_ = true;
  shownBytes_ = p.bytesRead;
}

void ImportProgressLine::finish() {
  if (shown_ && latest_.bytesRead != shownBytes_) show(latest_);  // the end, which came too soon after
  if (shown_) out_ << '\n' << std::flush;
  shown_ = false;
}

}  // namespace solvane::cli
