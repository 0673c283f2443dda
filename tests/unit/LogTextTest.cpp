// Log fields: a crafted name can neither break a line, forge one, nor hide or reorder its text,
// whether the code page is a single-byte one, a double-byte one, or UTF-8.
#include <gtest/gtest.h>

#include "process/LogText.h"

namespace tarnwick {
namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

class LogText : public ::testing::Test {
 protected:
  void TearDown() override { SetLogTextEncoding(LogTextEncoding::AsciiControls()); }
};

TEST_F(LogText, Utf8EscapesControlsSeparatorsAndBidiAndKeepsLetters) {
  LogTextEncoding utf8;
  utf8.Utf8 = true;
  SetLogTextEncoding(utf8);
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"V\xC4\x93x.exe", "V\xC4\x93x.exe"},                              // letters of any script stay
      {"a\r\n2024-01-01\t-a\tX", "a\\x0D\\x0A2024-01-01\\x09-a\\x09X"},  // a forged line
      {"a\x7F"
       "b",
       "a\\x7Fb"},  // DEL
      {"a\xC2\x85"
       "b",
       "a\\u0085b"},  // NEL, a C1 control
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9",
       "a\\u2028b\\u2029"},  // line and paragraph separators
      {"\xE2\x80\xAE"
       "exe.txt",
       "\\u202Eexe.txt"},  // right-to-left override
      {"\xE2\x81\xA6"
       "x\xE2\x81\xA9",
       "\\u2066x\\u2069"},  // an isolate
      {"\xEF\xBB\xBF"
       "x\xE2\x80\x8B",
       "\\uFEFFx\\u200B"},  // invisible format characters
      {"a\xC0\xAF"
       "b\xED\xA0\x80",
       "a\\xC0\\xAFb\\xED\\xA0\\x80"},  // overlong, surrogate: byte by byte
      {"cut\xE2\x80", "cut\\xE2\\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.in), c.out) << c.in;
}

TEST_F(LogText, AnsiEscapesItsControlsAndKeepsDoubleByteCharactersWhole) {
  // As a double-byte code page has it: 0x81 starts a character, 0x8D is undefined.
  LogTextEncoding ansi = LogTextEncoding::AsciiControls();
  ansi.Bytes[0x81] = AnsiByte::Lead;
  ansi.Bytes[0x8D] = AnsiByte::Control;
  SetLogTextEncoding(ansi);
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Caf\xE9.exe", "Caf\xE9.exe"},                    // a letter of the code page
      {"a\tb\r\n\x1B[2J", "a\\x09b\\x0D\\x0A\\x1B[2J"},  // tab, line break, a terminal's escape
      {"\x81\x40\x81\x80"
       "x",
       "\x81\x40\x81\x80"
       "x"},                // double-byte characters, a trail like 0x80 too
      {"a\x81", "a\\x81"},  // a first byte at the end would take the tab
      {"a\x81\t", "a\\x81\\x09"},
      {"\x8D\x7F", "\\x8D\\x7F"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tarnwick
