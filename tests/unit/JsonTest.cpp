// The JSON encoder: whatever a name holds, the output is ASCII and decodes back to the same characters.
#include <gtest/gtest.h>

#include "process/Json.h"

namespace tarnwick {
namespace {

TEST(Json, StringsAreAsciiAndKeepEveryCharacter) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"C:\\Vex\\", R"("C:\\Vex\\")"},
      {"a\r\n\tb\x01\x7F", R"("a\u000D\u000A\u0009b\u0001\u007F")"},
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9",
       R"("a\u2028b\u2029")"},
      {"\xE2\x80\xAE"
       "exe.txt\xE2\x81\xA6",
       R"("\u202Eexe.txt\u2066")"},  // bidi override and isolate
      {"\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       R"("\u0141\u00F3d\u017A")"},                       // Łódź
      {"\xF0\x9F\x98\x80.exe", R"("\uD83D\uDE00.exe")"},  // beyond the BMP: a pair
      {"a\xED\xA0\x80"
       "b",
       R"("a\uD800b")"},  // a lone surrogate keeps its value
      {"a\xFF\xC3"
       "b",
       R"("a\uFFFD\uFFFDb")"},  // bytes that start no character
  };
  for (const auto& c : cases) {
    std::string out;
    AppendJsonString(out, c.in);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

TEST(Json, ObjectKeepsOrderAndKinds) {
  const std::string text = JsonObject()
                               .Text("type", "end")
                               .Number("exit", -1)
                               .Seconds("seconds", 20045)
                               .Bool("hasWindows", false)
                               .TextOrNull("reason", "")
                               .Texts("services", {"A", "B"})
                               .Object("counts", JsonObject().Number("ended", 2))
                               .Done();
  EXPECT_EQ(text, R"({"type":"end","exit":-1,"seconds":20.045,"hasWindows":false,"reason":null,"services":["A","B"],)"
                  R"("counts":{"ended":2}})");
}

}  // namespace
}  // namespace tarnwick
