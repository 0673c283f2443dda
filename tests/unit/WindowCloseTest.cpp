// Close before force over fake windows: who is asked, who goes at once, the one grace time for all, the
// words of the records, the window's message, and -l's note of windows.
#include "process/WindowClose.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "tests/unit/FakeProcessApi.h"
#include "tests/unit/FakeServiceApi.h"

namespace tarnwick {
namespace {

using test::FakeClock;
using test::FakeProcessApi;
using test::FakeServiceApi;

struct FakeWindow {
  ProcessId Owner = 0;
  EndAnswer Answer = EndAnswer::Agreed;
  std::optional<std::uint32_t> ClosesAfterMs;  // after WM_CLOSE; empty: it stays
};

class FakeWindowApi : public WindowApi {
 public:
  FakeWindowApi(FakeProcessApi& processes, FakeClock& clock) : processes_(processes), clock_(clock) {}
  std::deque<FakeWindow> Windows;
  std::vector<std::string> Calls;  // "query 11", "endsession 11", "close 11"

  std::vector<TopWindow> TopLevelWindows() override {
    std::vector<TopWindow> windows;
    for (FakeWindow& w : Windows) {
      if (processes_.IsAlive(w.Owner)) windows.push_back({w.Owner, &w});
    }
    return windows;
  }
  EndAnswer QueryEnd(WindowHandle window, std::uint32_t timeoutMs) override {
    const FakeWindow& w = Of(window, "query");
    if (w.Answer == EndAnswer::NoAnswer) clock_.Now += timeoutMs;
    return w.Answer;
  }
  void EndSession(WindowHandle window, std::uint32_t) override { Of(window, "endsession"); }
  void PostClose(WindowHandle window) override {
    const FakeWindow& w = Of(window, "close");
    if (w.ClosesAfterMs) processes_.Find(w.Owner)->EndsAt = clock_.Now + *w.ClosesAfterMs;
  }

 private:
  FakeWindow& Of(WindowHandle window, const std::string& call) {
    FakeWindow& w = *static_cast<FakeWindow*>(window);
    Calls.push_back(call + " " + std::to_string(w.Owner));
    return w;
  }
  FakeProcessApi& processes_;
  FakeClock& clock_;
};

struct World {
  FakeClock clock;
  FakeProcessApi processes;
  FakeServiceApi services{processes, clock};
  FakeWindowApi windows{processes, clock};
  EndSeams seams{.Processes = processes, .Services = services, .Time = clock, .Windows = &windows};
  std::vector<std::pair<ProcessId, std::uint64_t>> terminatedAt;  // after the start

  World() {
    processes.Time = &clock;
    processes.OnTerminate = [this](ProcessId id) { terminatedAt.emplace_back(id, clock.Now - 1000); };
    processes.Add(10, "C:\\V\\Vex.exe");  // no windows
    processes.Add(11, "C:\\V\\VexSQL.exe");
    windows.Windows.push_back({.Owner = 11, .ClosesAfterMs = 300});
    windows.Windows.push_back({.Owner = 11, .ClosesAfterMs = 300});  // a second window: asked too
    processes.Add(12, "C:\\V\\VexUPnP.exe");
    windows.Windows.push_back({.Owner = 12});  // agrees, then stays
    processes.Add(13, "C:\\V\\Tallyboard.exe");
    windows.Windows.push_back({.Owner = 13, .Answer = EndAnswer::Refused});
    processes.Add(14, "C:\\V\\VexOPC.exe");
    windows.Windows.push_back({.Owner = 14, .Answer = EndAnswer::NoAnswer});
  }
  std::vector<EndRecord> Run(EndMode mode, const EndLimits& limits = {}) {
    EndRequest request;
    request.Images = {"Vex.exe", "VexSQL.exe", "VexUPnP.exe", "Tallyboard.exe", "VexOPC.exe"};
    request.Mode = mode;
    request.Limits = limits;
    return EndProcesses(seams, request);
  }
};

// The lines without time, source and program path (the pipeline test shows those).
std::vector<std::string> Lines(const std::vector<EndRecord>& records) {
  std::vector<std::string> lines;
  for (const EndRecord& r : records) {
    const std::string line = LogLine({}, "-a", r);
    const std::size_t start = line.find("-a\t") + 3;
    lines.push_back(line.substr(start, line.rfind('\t') - start));
  }
  return lines;
}

TEST(WindowClose, WindowlessAndHungGoAtOnceTheOthersAreAskedAndForcedAfterOneGraceTime) {
  World world;
  const std::vector<EndRecord> records = world.Run(EndMode::OnePerImage);
  EXPECT_EQ(Lines(records),
            (std::vector<std::string>{"VexSQL.exe\t11\t1\tclosed\t-", "Vex.exe\t10\t1\tended\t-",
                                      "VexUPnP.exe\t12\t1\tforced after 5.0 s\tit did not close in time",
                                      "Tallyboard.exe\t13\t1\tforced after 5.0 s\tit refused",
                                      "VexOPC.exe\t14\t1\tforced after 0.0 s\tit did not answer"}));
  // The windowless one at once, the hung one after its one bounded question, the rest after the grace
  // time, which all of them shared.
  using At = std::vector<std::pair<ProcessId, std::uint64_t>>;
  EXPECT_EQ(world.terminatedAt, (At{{10, 0}, {14, kAskTimeoutMs}, {12, kAskTimeoutMs + 5000}, {13, 6000}}));
  EXPECT_EQ(world.windows.Calls,
            (std::vector<std::string>{"query 11", "query 11", "endsession 11", "endsession 11", "close 11", "close 11",
                                      "query 12", "endsession 12", "close 12", "query 13", "close 13", "query 14"}));
  EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0);  // closed and forced alike are ended
  EXPECT_EQ(WindowFailureMessage(records),
            "These processes had to be ended by force:\n\nVexUPnP.exe (process 12): it did not close in time"
            "\nTallyboard.exe (process 13): it refused\nVexOPC.exe (process 14): it did not answer");
}

TEST(WindowClose, TheGraceTimeEndsWithTheRunsLimitAndListingOnlyNotesTheWindows) {
  World world;
  const std::vector<EndRecord> records = world.Run(EndMode::Every, {.RunMs = 3000, .GraceMs = 10000});
  EXPECT_EQ(Lines(records)[2], "VexUPnP.exe\t12\t1\tforced after 2.0 s\tit did not close in time");

  World listing;
  const std::vector<std::string> lines = Lines(listing.Run(EndMode::ListOnly));
  EXPECT_EQ(lines[0], "Vex.exe\t10\t1\tlisted\t-");
  EXPECT_EQ(lines[1], "VexSQL.exe\t11\t1\tlisted\thas windows");
  EXPECT_TRUE(listing.windows.Calls.empty());
  EXPECT_TRUE(listing.processes.Terminated.empty());
}

}  // namespace
}  // namespace tarnwick
