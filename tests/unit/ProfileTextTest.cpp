// The profile reader's text rules: NUL trimming in both modes and the section-name list.
#include "searchlist/ProfileText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

using namespace std::string_literals;

TEST(TrimNull, ModeZeroKeepsTheTextBeforeTheFirstNul) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"abc\0\0\0"s, "abc"}, {"a\0b\0"s, "a"}, {"\0abc"s, ""}, {"abc"s, "abc"}, {""s, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimNull(c.text, 0), c.expected);
}

TEST(TrimNull, NegativeModeDropsOnlyTheTrailingNuls) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"a\0b\0\0\0"s, "a\0b"s}, {"\0\0"s, ""}, {"abc"s, "abc"}, {"\0a"s, "\0a"s}, {""s, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimNull(c.text, -1), c.expected);
}

TEST(SplitSectionNames, SplitsTheFilledBufferAtEveryNul) {
  std::string buffer(kProfileBufferLength, '\0');
  buffer.replace(0, 4, "a\0b\0"s);
  EXPECT_EQ(SplitSectionNames(buffer, 3), (std::vector<std::string>{"a", "b"}));
  buffer.replace(0, 11, "one\0\0three\0"s);  // an empty name between two others keeps its place
  EXPECT_EQ(SplitSectionNames(buffer, 10), (std::vector<std::string>{"one", "", "three"}));
}

TEST(SplitSectionNames, NoCountOrOnlyNulsGiveNoNames) {
  const std::string buffer(16, '\0');
  EXPECT_TRUE(SplitSectionNames(buffer, 0).empty());
  EXPECT_TRUE(SplitSectionNames("a\0"s, 0).empty());
  EXPECT_TRUE(SplitSectionNames(buffer, 1).empty());
}

}  // namespace
}  // namespace tarnwick
