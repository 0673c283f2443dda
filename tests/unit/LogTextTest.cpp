// Log fields: a crafted name can neither break a line, forge one, nor hide or reorder its text.
#include <gtest/gtest.h>

#include "process/LogText.h"

namespace tarnwick {
namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

TEST(LogText, Utf8EscapesControlsSeparatorsAndBidiAndKeepsLetters) {
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
      // 3- and 4-byte characters up to U+10FFFF stay; beyond it, overlong or cut short, byte by byte.
      {"\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"\xF0\x8F\xBF\xBF|\xE0\x9F\xBF", "\\xF0\\x8F\\xBF\\xBF|\\xE0\\x9F\\xBF"},
      {"\xF0\x9F\x98", "\\xF0\\x9F\\x98"},
      // Surrogates, paired (as CESU-8 writes U+1F600) or alone, at both ends of their range.
      {"\xED\xA0\xBD\xED\xB8\x80", "\\xED\\xA0\\xBD\\xED\\xB8\\x80"},
      {"\xED\xBF\xBF", "\\xED\\xBF\\xBF"},
      // A byte that cannot start a character, however many continuation bytes follow it.
      {"\x80\x80\x80\x80", "\\x80\\x80\\x80\\x80"},
      {"\xF8\x88\x80\x80", "\\xF8\\x88\\x80\\x80"},
      {"\xC1\xBF", "\\xC1\\xBF"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tarnwick
