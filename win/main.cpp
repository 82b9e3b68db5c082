// DB_Conv_Solvane.exe: the dialog, run modally; the program ends with it.
#include "win/db_conv_solvane_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return solvane::win::CDB_Conv_SolvaneApp().InitInstance(); }
