// The conversions between UTF-8, UTF-16 and the system's code page.
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

std::string FromWide(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string narrow(
      static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
      '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view text) { return ToWide(CP_ACP, text); }

std::wstring WideFromUtf8(std::string_view text) { return ToWide(CP_UTF8, text); }

std::string Utf8FromWide(std::wstring_view text) { return FromWide(CP_UTF8, text); }

std::string ConsoleFromUtf8(std::string_view text) {
  const UINT codePage = GetConsoleOutputCP();
  return FromWide(codePage != 0 ? codePage : GetOEMCP(), WideFromUtf8(text));
}

std::optional<std::string> ExactAnsiFromWide(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  // A UTF-8 code page converts everything and takes neither the flag nor the default-character report.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  const int size =
      WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, nullptr);
  // Back to the same text, or the code page folded something (a character it holds only by best fit).
  if (ToWide(CP_ACP, ansi) != text) return std::nullopt;
  return ansi;
}

}  // namespace tarnwick
