// The text of a log field made safe to show: every character that could break, forge or hide a line
// (controls, line and paragraph separators, bidirectional overrides and isolates) is written as an escape.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// True for a code point that no log line may carry as it is: C0 and C1 controls, DEL, the line and
// paragraph separators, bidirectional marks, overrides and isolates, and other invisible format characters.
bool IsUnsafeCodePoint(std::uint32_t codePoint);

// Appends UTF-8 text to out with every unsafe character escaped: an ASCII one as \xNN, any other as \uNNNN.
// A byte sequence that is not valid UTF-8 is escaped byte by byte.
void AppendEscaped(std::string& out, std::string_view text);

// The length of the valid UTF-8 character at text[i], with its code point; 0 when it is not valid
// (overlong, a surrogate, beyond U+10FFFF, or cut short).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& codePoint);

}  // namespace tarnwick
