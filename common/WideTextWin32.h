// The one home of text conversions: the program's texts are UTF-8 in std::string, the W functions take
// UTF-16, and the system's code page is met only in files and a redirected standard output. Only the latter
// uses best fit.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// UTF-8 and UTF-16; a sequence that is not valid becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// UTF-8 as a console tool writes it: in the console's output code page, else the OEM one, which is how cmd
// and PowerShell read a program's output. There a character the code page lacks becomes its nearest one.
std::string ConsoleFromUtf8(std::string_view text);

// The system's ANSI code page to UTF-16.
std::wstring WideFromAnsi(std::string_view text);
// UTF-16 in the ANSI code page, or nothing where a character has no exact equivalent there (best fit
// would make "G\u0101dget.exe" the name of another program).
std::optional<std::string> ExactAnsiFromWide(std::wstring_view text);

}  // namespace tarnwick
