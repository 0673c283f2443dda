// The text of a log field made safe to show: every character that could break, forge or hide a line
// (controls, line and paragraph separators, bidirectional overrides and isolates) is written as an escape.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// What a byte of the ANSI code page is: a character of its own, the first of a double-byte character,
// or a control (or a byte the code page does not define).
enum class AnsiByte : std::uint8_t { Plain, Lead, Control };

// How log fields are encoded: UTF-8, or a code page. The portable default is a single-byte code page
// whose controls are the ASCII ones; the Windows program installs UTF-8 at start (UseSystemLogText).
struct LogTextEncoding {
  bool Utf8 = false;
  std::array<AnsiByte, 256> Bytes{};  // for an ANSI code page other than UTF-8

  static LogTextEncoding AsciiControls();
};
void SetLogTextEncoding(const LogTextEncoding& encoding);

// True for a code point that no log line may carry as it is: C0 and C1 controls, DEL, the line and
// paragraph separators, bidirectional marks, overrides and isolates, and other invisible format characters.
bool IsUnsafeCodePoint(std::uint32_t codePoint);

// Appends text to out with every unsafe character escaped: a byte as \xNN, a UTF-8 character as \uNNNN.
// A byte sequence that is not valid in the encoding is escaped byte by byte.
void AppendEscaped(std::string& out, std::string_view text);

// The length of the valid UTF-8 character at text[i], with its code point; 0 when it is not valid
// (overlong, a surrogate, beyond U+10FFFF, or cut short).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& codePoint);

}  // namespace tarnwick
