// Case folding of image names: ASCII by default, the system's rules once the program installs them.
#include "common/Text.h"

namespace tarnwick {
namespace {

std::string AsciiUpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

UpperCaseFunction gUpperCase = &AsciiUpperCase;

}  // namespace

std::string UpperCase(std::string_view text) { return gUpperCase(text); }

void SetUpperCaseFunction(UpperCaseFunction function) { gUpperCase = function != nullptr ? function : &AsciiUpperCase; }

bool EqualsNoCase(std::string_view a, std::string_view b) { return UpperCase(a) == UpperCase(b); }

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tarnwick
