// Close before force over fake windows: who is asked, who goes at once, the one grace time for all, the
// words of the records, the window's message, and -l's note of windows.
#include "process/WindowClose.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "tests/unit/FakeWorld.h"

namespace tarnwick {
namespace {

using test::FakeClock;
using test::FakeProcessApi;

struct FakeWindow {
  ProcessId Owner = 0;
  EndAnswer Answer = EndAnswer::Agreed;        // Agreed, Refused, or NoAnswer for a hung one
  std::uint32_t AnswersAfterMs = 0;            // how long its question takes
  std::optional<std::uint32_t> ClosesAfterMs;  // after WM_CLOSE; empty: it stays
  bool Visible = true;
};

// Asks each group as a worker of its own would, on the fake clock: all groups start at once.
class FakeWindowApi : public WindowApi {
 public:
  FakeWindowApi(FakeProcessApi& processes, FakeClock& clock) : processes_(processes), clock_(clock) {}
  std::deque<FakeWindow> Windows;
  std::vector<std::string> Calls;  // "query 11", "endsession 11", "close 11"

  std::vector<TopWindow> TopLevelWindows() override {
    std::vector<TopWindow> windows;
    for (FakeWindow& w : Windows) {
      if (processes_.IsAlive(w.Owner)) windows.push_back({w.Owner, &w, w.Visible});
    }
    return windows;
  }
  void BeginAsk(const std::vector<std::vector<WindowHandle>>& groups, std::uint32_t budgetMs) override {
    answers_.clear();
    for (const std::vector<WindowHandle>& group : groups) {
      std::uint32_t took = 0;
      EndAnswer answer = EndAnswer::Agreed;
      for (WindowHandle window : group) {
        const FakeWindow& w = Of(window, "query");
        const std::uint32_t wait = std::min(kAskTimeoutMs, budgetMs - took);
        answer = w.Answer == EndAnswer::NoAnswer ? w.Answer : w.AnswersAfterMs > wait ? EndAnswer::Slow : w.Answer;
        took += answer == EndAnswer::Slow ? wait : answer == EndAnswer::NoAnswer ? 0 : w.AnswersAfterMs;
        if (answer != EndAnswer::Agreed) break;
      }
      if (answer == EndAnswer::Agreed) {
        for (WindowHandle window : group) Of(window, "endsession");
      }
      answers_.emplace_back(clock_.Now + took, answer);
    }
  }
  std::optional<EndAnswer> AskAnswer(std::size_t index) override {
    if (answers_.at(index).first > clock_.Now) return std::nullopt;
    return answers_[index].second;
  }
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
  std::vector<std::pair<std::uint64_t, EndAnswer>> answers_;  // when each group's answer comes, and what
};

struct World : test::FakeWorld {
  FakeWindowApi windows{processes, clock};
  std::vector<std::pair<ProcessId, std::uint64_t>> terminatedAt;  // after the start

  explicit World(bool fiveOfTheSuite = true) {
    seams.Windows = &windows;
    processes.Time = &clock;
    processes.OnTerminate = [this](ProcessId id) { terminatedAt.emplace_back(id, clock.Now - 1000); };
    if (!fiveOfTheSuite) return;
    processes.Add(10, "C:\\V\\Vex.exe");  // no windows
    processes.Add(11, "C:\\V\\VexSQL.exe");
    windows.Windows.push_back({.Owner = 11, .ClosesAfterMs = 300});
    windows.Windows.push_back({.Owner = 11, .ClosesAfterMs = 300});  // a second window: asked too
    windows.Windows.push_back({.Owner = 11, .Visible = false});      // a helper's: asked, never closed
    processes.Add(12, "C:\\V\\VexUPnP.exe");
    windows.Windows.push_back({.Owner = 12});  // agrees, then stays
    processes.Add(13, "C:\\V\\Tallyboard.exe");
    windows.Windows.push_back({.Owner = 13, .Answer = EndAnswer::Refused});
    processes.Add(14, "C:\\V\\VexOPC.exe");
    windows.Windows.push_back({.Owner = 14, .Answer = EndAnswer::NoAnswer});
  }
  std::vector<EndRecord> Run(EndMode mode, const EndLimits& limits = {},
                             std::vector<std::string> images = {"Vex.exe", "VexSQL.exe", "VexUPnP.exe",
                                                                "Tallyboard.exe", "VexOPC.exe"}) {
    EndRequest request;
    request.Images = std::move(images);
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
  // The windowless and the hung one at once, the rest after the grace time, all of them asked at once.
  using At = std::vector<std::pair<ProcessId, std::uint64_t>>;
  EXPECT_EQ(world.terminatedAt, (At{{10, 0}, {14, 0}, {12, 5000}, {13, 5000}}));
  EXPECT_EQ(world.windows.Calls,
            (std::vector<std::string>{"query 11", "query 11", "query 11", "endsession 11", "endsession 11",
                                      "endsession 11", "query 12", "endsession 12", "query 13", "query 14", "close 11",
                                      "close 11", "close 12", "close 13"}));
  EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0);  // closed and forced alike are ended
  EXPECT_EQ(WindowFailureMessage(records),
            "These processes had to be ended by force:\n\nVexUPnP.exe (process 12): it did not close in time"
            "\nTallyboard.exe (process 13): it refused\nVexOPC.exe (process 14): it did not answer");
}

TEST(WindowClose, TheGraceTimeEndsWithTheRunsLimitAndListingOnlyNotesTheWindows) {
  World world;
  const std::vector<EndRecord> records = world.Run(EndMode::Every, {.RunMs = 3000, .GraceMs = 10000});
  EXPECT_EQ(Lines(records)[2], "VexUPnP.exe\t12\t1\tforced after 3.0 s\tit did not close in time");

  World listing;
  const std::vector<std::string> lines = Lines(listing.Run(EndMode::ListOnly));
  EXPECT_EQ(lines[0], "Vex.exe\t10\t1\tlisted\t-");
  EXPECT_EQ(lines[1], "VexSQL.exe\t11\t1\tlisted\thas windows");
  EXPECT_TRUE(listing.windows.Calls.empty());
  EXPECT_TRUE(listing.processes.Terminated.empty());
}

// Each program's grace time runs from its own WM_CLOSE, which comes once it answered or its asking time
// (half the grace time, within the run's) is up; at the deadline it still has about a second.
TEST(WindowClose, GraceFromEachOnesCloseWithAFloorAndTheAskingBounded) {
  struct Case {
    const char* name;
    FakeWindow window;  // of process 20; Owner filled in
    int programs;       // how many such programs, each its own image
    EndLimits limits;
    const char* line;       // the first program's, after its session
    std::uint64_t lastEnd;  // the moment the last of them was forced, after the start; 0: none forced
  };
  const FakeWindow saver{.AnswersAfterMs = 60000, .ClosesAfterMs = 3000};  // its "Save changes?" stays up
  const Case cases[] = {
      {"asks before saving: not forced at a second", saver, 1, {}, "closed\t-", 0},
      {"a hidden window is asked too", {.ClosesAfterMs = 200, .Visible = false}, 1, {}, "closed\t-", 0},
      {"twelve slow ones within the limit",
       {.AnswersAfterMs = 1500},
       12,
       {.RunMs = 3000, .GraceMs = 5000},
       "forced after 2.0 s\tit did not close in time",
       3000},
      {"near the deadline: a second at least",
       {.AnswersAfterMs = 60000},
       1,
       {.RunMs = 500, .GraceMs = 5000},
       "forced after 1.0 s\tit did not close in time",
       1500},
      {"saving past the deadline within the floor",
       {.AnswersAfterMs = 60000, .ClosesAfterMs = 800},
       1,
       {.RunMs = 500, .GraceMs = 5000},
       "closed\t-",
       0},
  };
  for (const Case& c : cases) {
    World world(false);
    std::vector<std::string> images;
    for (int i = 0; i < c.programs; ++i) {
      const ProcessId id = 20 + static_cast<ProcessId>(i);
      images.push_back("Slow" + std::to_string(i) + ".exe");
      world.processes.Add(id, "C:\\V\\" + images.back());
      FakeWindow window = c.window;
      window.Owner = id;
      world.windows.Windows.push_back(window);
    }
    const std::vector<std::string> lines = Lines(world.Run(EndMode::OnePerImage, c.limits, images));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.programs)) << c.name;
    EXPECT_EQ(lines[0], "Slow0.exe\t20\t1\t" + std::string(c.line)) << c.name;
    EXPECT_EQ(world.terminatedAt.empty() ? 0 : world.terminatedAt.back().second, c.lastEnd) << c.name;
  }

  World listing(false);
  listing.processes.Add(20, "C:\\V\\Tray.exe");
  listing.windows.Windows.push_back({.Owner = 20, .Visible = false});
  EXPECT_EQ(Lines(listing.Run(EndMode::ListOnly, {}, {"Tray.exe"}))[0], "Tray.exe\t20\t1\tlisted\t-");
}

// A pass takes the longer of its service stops and its windows' grace time, not their sum.
TEST(WindowClose, ServicesStopWhileWindowsHaveTheirGraceTime) {
  World world;
  world.processes.Add(30, "C:\\V\\VexSvc.exe").Session = 0;
  test::FakeService& slow = world.services.Add("VexSvc", 30);
  slow.StopTakesMs = 12000;
  slow.WaitHintMs = 3000;
  slow.ProgressEveryMs = 500;
  const std::vector<std::string> lines =
      Lines(world.Run(EndMode::OnePerImage, {},
                      {"Vex.exe", "VexSQL.exe", "VexUPnP.exe", "Tallyboard.exe", "VexOPC.exe", "VexSvc.exe"}));
  EXPECT_GE(world.clock.Now - 1000, 12000u);
  EXPECT_LT(world.clock.Now - 1000, 12000u + 1000u);  // the 5 s of grace are not added
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "VexSvc.exe\t30\t0\tended\t-"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "VexUPnP.exe\t12\t1\tforced after 5.0 s\tit did not close in time"),
            1);
}

}  // namespace
}  // namespace tarnwick
