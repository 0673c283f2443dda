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

void SetUpperCaseFunction(UpperCaseFunction function) {
  gUpperCase = function != nullptr ? function : &AsciiUpperCase;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return UpperCase(a) == UpperCase(b);
}

}  // namespace tarnwick
