// The icon's tip field and the version box's text.
#include "tray/TrayTip.h"
#include "ui/VersionText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

TEST(FitTipField, ShortTextKeepsItsNulAndIsFilledWithBlanks) {
  const std::string tip = std::string("Tarnwick") + '\0';
  const std::string field = FitTipField(tip);
  ASSERT_EQ(field.size(), 64u);
  EXPECT_EQ(field.substr(0, 9), tip);
  EXPECT_EQ(field.substr(9), std::string(55, ' '));
}

TEST(FitTipField, FieldLengthAtTheEdges) {
  struct Case {
    std::size_t nameLength;  // the NUL follows
    bool nulKept;
  };
  for (const Case c : {Case{0, true}, Case{62, true}, Case{63, true}, Case{64, false}, Case{100, false}}) {
    const std::string name(c.nameLength, 'x');
    const std::string field = FitTipField(name + '\0');
    ASSERT_EQ(field.size(), 64u) << c.nameLength;
    EXPECT_EQ(field.find('\0') != std::string::npos, c.nulKept) << c.nameLength;
    // Whatever fits of the name stays in front, unchanged.
    EXPECT_EQ(field.substr(0, std::min<std::size_t>(c.nameLength, 64)), name.substr(0, 64)) << c.nameLength;
  }
}

TEST(FitTipField, LongTextKeepsItsFirst64Characters) {
  std::string text;
  for (int i = 0; i < 70; ++i) text += static_cast<char>('A' + i % 26);
  EXPECT_EQ(FitTipField(text), text.substr(0, 64));
}

TEST(VersionText, NameThenNumbersInPlainDecimal) {
  struct Case {
    const char* name;
    VersionNumbers version;
    const char* expected;
  };
  const Case cases[] = {
      {"Tarnwick", {1, 0, 0}, "Tarnwick version 1.0.0"},
      {"Other", {1, 0, 0}, "Other version 1.0.0"},
      {"Tarnwick", {2, 10, 3}, "Tarnwick version 2.10.3"},
      {"a b", {65535, 65535, 65535}, "a b version 65535.65535.65535"},
      {"", {0, 0, 7}, " version 0.0.7"},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionText(c.name, c.version), c.expected);
}

}  // namespace
}  // namespace tarnwick
