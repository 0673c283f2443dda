// The code page conversions of the program's texts.
#include "common/WideTextWin32.h"

#include <windows.h>

namespace tarnwick {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view text) { return ToWide(CP_ACP, text); }

std::wstring WideFromUtf8(std::string_view text) { return ToWide(CP_UTF8, text); }

std::string AnsiFromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string ansi(
      static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
  return ansi;
}

}  // namespace tarnwick
