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

}  // namespace solvane::dialog
