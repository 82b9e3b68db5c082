// UTF-8 and the system code page to and from the wide (UTF-16) texts of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace solvane::win {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// A cell of the camera table: bytes of the list as read, in the system's code page (UTF-8 where
// the manifest's active code page is honoured).
std::wstring widenCell(std::string_view bytes);

}  // namespace solvane::win
