// The grow-the-buffer loop against calls of each convention, for a result longer than the first room.
#include "common/GrowBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

const std::wstring kText = std::wstring(699, L'v') + L"x";  // its last character shows a cut

// Like GetLongPathNameW: the length written, else the room needed with its terminator.
unsigned long AsksForRoom(wchar_t* data, unsigned long size) {
  if (size <= kText.size()) return static_cast<unsigned long>(kText.size() + 1);
  *std::copy(kText.begin(), kText.end(), data) = L'\0';
  return static_cast<unsigned long>(kText.size());
}

// Like GetModuleFileNameW: a cut result fills all of the room.
unsigned long CutsShort(wchar_t* data, unsigned long size) {
  const std::size_t length = std::min<std::size_t>(size, kText.size());
  std::copy_n(kText.begin(), length, data);
  return static_cast<unsigned long>(length);
}

TEST(GrowBufferTest, EachConventionGivesTheWholeResultAndAFailureNone) {
  EXPECT_EQ(SizedText(AsksForRoom), kText);
  EXPECT_EQ(SizedText(CutsShort), kText);
  EXPECT_EQ(SizedText([](wchar_t*, unsigned long) { return 0ul; }), L"");
  const auto needsKilobyte = [](unsigned char* data, unsigned long size, unsigned long* needed) {
    *needed = 1000;
    if (size < 1000) return false;
    std::fill_n(data, 1000, 7);
    return true;
  };
  EXPECT_EQ(NeededBytes(16, needsKilobyte), std::vector<unsigned char>(1000, 7));
  EXPECT_TRUE(NeededBytes(16, [](unsigned char*, unsigned long, unsigned long*) { return false; }).empty());
  // An answer that points into itself, as QUERY_SERVICE_CONFIG does, still does so where it is handed back.
  const auto pointsIntoItself = [](unsigned char* data, unsigned long size, unsigned long* needed) {
    *needed = 64;
    if (size < 64) return false;
    *reinterpret_cast<unsigned char**>(data) = data + 8;
    return true;
  };
  const std::vector<unsigned char> answer = NeededBytes(16, pointsIntoItself);
  EXPECT_EQ(*reinterpret_cast<unsigned char* const*>(answer.data()), answer.data() + 8);
}

TEST(GrowBufferTest, ACallThatNeverFitsStopsAtTheLimit) {
  std::string buffer = "ab";
  int calls = 0;
  EXPECT_FALSE(GrowUntilFits(
      buffer, [&](char*, std::size_t&) { return ++calls, Fill::Grow; }, 64));
  EXPECT_EQ(calls, 6);  // 2, 4, 8, 16, 32 and 64 characters
}

}  // namespace
}  // namespace tarnwick
