// A procedure's edge: whatever its handler throws is reported and the message goes on as unhandled.
#include "common/ProcedureEdge.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::vector<std::string> reported;
void Record(const std::string& message) { reported.push_back(message); }

TEST(StopExceptions, EveryExceptionIsReportedAndTheMessageTreatedAsUnhandled) {
  const struct {
    std::function<int()> handler;
    int result;
    std::string report;  // empty: nothing reported
  } cases[] = {
      {[] { return 7; }, 7, ""},
      {[]() -> int { throw std::out_of_range("flag index"); }, -1, "Tarnwick: proc stopped flag index"},
      {[]() -> int { throw 42; }, -1, "Tarnwick: proc stopped an exception that is no std::exception"},
  };
  SetExceptionReporter(&Record);
  for (const auto& c : cases) {
    reported.clear();
    EXPECT_EQ(StopExceptions("proc", c.handler, [] { return -1; }), c.result);
    EXPECT_EQ(reported, c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.report});
  }
  SetExceptionReporter(nullptr);  // nobody to tell: the message is still treated as unhandled
  EXPECT_EQ(StopExceptions("proc", cases[2].handler, [] { return -1; }), -1);
}

}  // namespace
}  // namespace tarnwick
