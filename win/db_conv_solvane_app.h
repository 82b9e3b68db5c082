// The application: common controls, then the main dialog, modally.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace solvane::win {

class CDB_Conv_SolvaneApp {
 public:
  // Runs the dialog to its end; the program's exit code (0).
  int InitInstance();
};

}  // namespace solvane::win
