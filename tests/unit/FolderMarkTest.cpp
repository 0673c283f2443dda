// The folder mark's rule over fake marks: an elevated run is blocked only by a mark only administrators
// can make; otherwise the machine-wide mark decides, and the session's where that one cannot be made.
#include "app/FolderMark.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tarnwick {
namespace {

class FakeMarks final : public MarkApi {
 public:
  explicit FakeMarks(std::map<MarkPlace, MarkAnswer> answers) : answers_(std::move(answers)) {}
  MarkAnswer Make(MarkPlace place) override {
    made += place == MarkPlace::Administrators ? "A" : place == MarkPlace::Global ? "G" : "L";
    const auto found = answers_.find(place);
    return found == answers_.end() ? MarkAnswer::Made : found->second;
  }
  std::string made;

 private:
  std::map<MarkPlace, MarkAnswer> answers_;
};

TEST(TakeFolderMark, OnlyAMarkNobodyElseCanMakeBlocksAnElevatedRun) {
  using enum MarkAnswer;
  const struct {
    bool administrators;
    MarkAnswer own, global, local;
    bool anotherRuns;
    const char* made;
  } cases[] = {
      {false, Made, Made, Made, false, "G"},
      {false, Made, Existed, Made, true, "G"},
      {false, Made, Denied, Made, false, "GL"},  // a mark only a squatter keeps to itself
      {false, Made, Denied, Existed, true, "GL"},
      {false, Made, Failed, Made, false, "GL"},
      {false, Made, Failed, Existed, true, "GL"},
      {true, Made, Existed, Made, false, "AG"},  // a machine-wide mark made by anybody first
      {true, Made, Denied, Made, false, "AG"},
      {true, Existed, Made, Made, true, "A"},
      {true, Failed, Existed, Made, true, "AG"},  // the namespace could not be made: the mark as before
      {true, Failed, Made, Made, false, "AG"},
  };
  for (const auto& c : cases) {
    FakeMarks marks({{MarkPlace::Administrators, c.own}, {MarkPlace::Global, c.global}, {MarkPlace::Local, c.local}});
    EXPECT_EQ(TakeFolderMark(marks, c.administrators), c.anotherRuns) << c.made;
    EXPECT_EQ(marks.made, c.made);
  }
}

}  // namespace
}  // namespace tarnwick
