// Case folding of image names: ASCII by default, the system's rules once the program installs them.
#include "common/Text.h"

namespace tarnwick {
namespace {

template <typename Char>
std::basic_string<Char> AsciiUpper(std::basic_string_view<Char> text) {
  std::basic_string<Char> result(text);
  for (Char& c : result) {
    if (c >= Char('a') && c <= Char('z')) c = static_cast<Char>(c - Char('a') + Char('A'));
  }
  return result;
}

std::string AsciiUpperCaseOf(std::string_view text) { return AsciiUpper(text); }

UpperCaseFunction gUpperCase = &AsciiUpperCaseOf;

}  // namespace

std::string AsciiUpperCase(std::string_view text) { return AsciiUpper(text); }
std::wstring AsciiUpperCase(std::wstring_view text) { return AsciiUpper(text); }

std::string UpperCase(std::string_view text) { return gUpperCase(text); }

void SetUpperCaseFunction(UpperCaseFunction function) {
  gUpperCase = function != nullptr ? function : &AsciiUpperCaseOf;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return UpperCase(a) == UpperCase(b); }

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::wstring_view AfterProgramName(std::wstring_view line) {
  std::size_t i = 0;
  if (!line.empty() && line[0] == L'"') {
    i = line.find(L'"', 1);
    i = (i == std::wstring_view::npos) ? line.size() : i + 1;
  } else {
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
  }
  return line.substr(i);
}

}  // namespace tarnwick
