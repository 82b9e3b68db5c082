#include "app/db_conv_solvane_app.h"

int main(int argc, char** argv) {
  solvane::gui::CDB_Conv_SolvaneApp app(argc, argv);
  return app.InitInstance();
}
