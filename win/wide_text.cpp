#include "win/wide_text.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>

namespace solvane::win {
namespace {

std::wstring toWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::wstring widen(std::string_view utf8) { return toWide(CP_UTF8, utf8); }

std::wstring widenCell(std::string_view bytes) { return toWide(CP_ACP, bytes); }

std::string narrow(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace solvane::win
