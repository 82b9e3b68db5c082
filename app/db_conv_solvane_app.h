// The application object: owns QApplication and runs the main dialog until it is closed.
#pragma once

#include <QApplication>

namespace solvane::gui {

class CDB_Conv_SolvaneApp {
 public:
  CDB_Conv_SolvaneApp(int& argc, char** argv);

  // Shows the main dialog modally; returns the process exit code when it has been closed.
  int InitInstance();

 private:
  QApplication m_app;
};

}  // namespace solvane::gui
