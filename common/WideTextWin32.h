// Text between the program's ANSI strings and the wide strings of paths and of the W functions.
#pragma once
#include <string>
#include <string_view>

namespace tarnwick {

// ANSI (the system's code page) to UTF-16 and back; a character the code page lacks becomes its
// nearest fit or "?", as the A functions would make it.
std::wstring WideFromAnsi(std::string_view text);
std::string AnsiFromWide(std::wstring_view text);
// UTF-8 to UTF-16.
std::wstring WideFromUtf8(std::string_view text);

}  // namespace tarnwick
