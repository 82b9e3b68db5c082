#include "dialog/dialog_texts.h"

#include "base/version.h"

namespace solvane::dialog {

std::string aboutVersionText() { return std::string("DB_Conv_Solvane Version ") + kVersionShort; }

std::string replaceListsDetail(std::string_view folder) {
  return std::string(folder) + " already holds Solvane.txt or Autodoria.txt; the import writes both.";
}

std::string listsWrittenText(std::string_view folder) {
  return "Lists written to " + std::string(folder) + ", ready for Conversion.";
}

namespace {

std::string megabytes(std::uint64_t bytes) {
  const std::uint64_t tenths = bytes / 100000;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

int importPermille(std::uint64_t bytesRead, std::uint64_t bytesTotal) noexcept {
  if (bytesTotal == 0) return -1;
  if (bytesRead >= bytesTotal) return 1000;
  return static_cast<int>(static_cast<double>(bytesRead) / static_cast<double>(bytesTotal) * 1000.0);
}

std::string importProgressText(std::uint64_t bytesRead, std::uint64_t bytesTotal, std::size_t objects) {
  std::string text = "Importing: ";
  if (bytesTotal) {
    text += std::to_string(importPermille(bytesRead, bytesTotal) / 10) + " % (" + megabytes(bytesRead) + " of " +
            megabytes(bytesTotal) + " MB)";
  } else {
    text += megabytes(bytesRead) + " MB read";
  }
  return text + ", " + std::to_string(objects) + " camera(s) so far";
}

}  // namespace solvane::dialog
