// Case folding of image names, shared by the duplicate rule and the process match.
#pragma once
#include <string>
#include <string_view>

namespace tarnwick {

// Upper-cases text the way the running system does. The portable default folds ASCII letters;
// the Windows program installs the system's locale-aware upper-casing at start.
std::string UpperCase(std::string_view text);

using UpperCaseFunction = std::string (*)(std::string_view);
void SetUpperCaseFunction(UpperCaseFunction function);

// ASCII letters upper-cased and nothing else: for switches, option names and the portable default, where
// the locale must not change the meaning.
std::string AsciiUpperCase(std::string_view text);
std::wstring AsciiUpperCase(std::wstring_view text);

// True when the two texts are equal without regard to letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// What follows the program's name in a command line, as Windows reads that name: up to the next quote when
// it starts with one, else up to a blank; the rest is returned untouched, its leading blanks included.
std::wstring_view AfterProgramName(std::wstring_view commandLine);

// The text without the blanks (spaces, tabs, line breaks) at its start and end, as the profile functions read it.
std::string_view TrimBlanks(std::string_view text);

}  // namespace tarnwick
