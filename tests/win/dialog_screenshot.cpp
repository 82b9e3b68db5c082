// Converts two lists in the Win32 dialog and saves a picture of its window as the screen shows
// it (caption included), for the documentation; scripts/windows-dialog-screenshot runs it under
// Wine on a private display:
//   solvane_win_screenshot <normal list> <Autodoria list> <out.bmp>
// The database is written beside the lists, so give it copies in a folder of their own.
#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/win/dialog_driver.h"
#include "win/db_conv_solvane_dlg.h"

namespace {

using namespace solvane::wintest;

// The window's pixels from the screen, as a 24-bit bottom-up BMP file.
bool saveWindow(HWND window, const fs::path& out) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
  const int lines = ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (lines != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  std::ofstream stream(out, std::ios::binary);
  stream.write(reinterpret_cast<const char*>(&file), sizeof file);
  stream.write(reinterpret_cast<const char*>(&info), sizeof info);
  stream.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(stream);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: solvane_win_screenshot <normal list> <Autodoria list> <out.bmp>\n");
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  FakePrompts prompts;
  prompts.sourceAnswers = {fs::absolute(argv[1]), fs::absolute(argv[2])};
  solvane::win::CDB_Conv_SolvaneDlg dialog(prompts);
  HWND window = dialog.Create();
  if (!window) return 1;
  click(window, 1001);
  click(window, 1005);
  click(window, 1002);
  if (!pumpUntil(window, [&] { return !dialog.logic().isConverting(); })) return 1;
  for (const Shown& shown : prompts.messages) std::printf("%s\n", shown.text.c_str());
  // Room for the desktop to draw the window before it is read back.
  pumpFor(window, std::chrono::milliseconds(1500));
  return saveWindow(window, argv[3]) ? 0 : 1;
}
