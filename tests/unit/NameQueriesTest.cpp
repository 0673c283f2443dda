// The name queries over fake workers: a query that hangs is given up with its worker, the run goes on
// with a new one, and the budget holds.
#include "process/NameQueries.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeProcessApi.h"

namespace tarnwick {
namespace {

// Files are numbers; a file in Hangs never answers; every worker takes StartMs to start.
struct Workers {
  test::FakeClock clock;
  std::vector<std::uintptr_t> Hangs;
  int Started = 0;

  class Worker : public NameWorker {
   public:
    explicit Worker(Workers& all) : all_(all) {}
    bool Started() const override { return true; }
    bool Ask(void* file, std::uint64_t until, NameAnswer& answer) override {
      const auto id = reinterpret_cast<std::uintptr_t>(file);
      if (std::find(all_.Hangs.begin(), all_.Hangs.end(), id) != all_.Hangs.end()) {
        all_.clock.Now = std::max(all_.clock.Now, until);  // waited for until the deadline
        return false;
      }
      all_.clock.Now += 10;
      answer = {.Answered = true, .Path = L"C:\\f" + std::to_wstring(id)};
      return true;
    }

   private:
    Workers& all_;
  };
  std::vector<NameAnswer> Ask(std::size_t count, const NameLimits& limits = {}) {
    std::vector<void*> files;
    for (std::uintptr_t i = 1; i <= count; ++i) files.push_back(reinterpret_cast<void*>(i));
    return AskNames(files, limits, clock, [this] {
      ++Started;
      return std::make_unique<Worker>(*this);
    });
  }
};

std::vector<bool> AnsweredOf(const std::vector<NameAnswer>& answers) {
  std::vector<bool> answered;
  for (const NameAnswer& a : answers) answered.push_back(a.Answered);
  return answered;
}

TEST(NameQueries, AQueryThatHangsIsGivenUpWithItsWorkerAndTheRestAreAskedOfANewOne) {
  Workers workers;
  workers.Hangs = {2, 4};
  const std::uint64_t start = workers.clock.Now;
  const std::vector<NameAnswer> answers = workers.Ask(5);
  EXPECT_EQ(AnsweredOf(answers), (std::vector<bool>{true, false, true, false, true}));
  EXPECT_EQ(answers[4].Path, L"C:\\f5");
  EXPECT_EQ(workers.Started, 3);
  EXPECT_EQ(workers.clock.Now - start, 3 * 10u + 2 * 1000u);  // each hang costs its own deadline alone

  // Within the budget: once it is spent, nothing more is asked and no worker is started.
  Workers slow;
  slow.Hangs = {1, 2, 3, 4, 5, 6};
  const std::uint64_t from = slow.clock.Now;
  EXPECT_EQ(AnsweredOf(slow.Ask(6, {.BudgetMs = 12000})), std::vector<bool>(6, false));
  EXPECT_EQ(slow.Started, 3);
  EXPECT_EQ(slow.clock.Now - from, 12000u);
  Workers many;
  many.Hangs = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(AnsweredOf(many.Ask(10, {.BudgetMs = 1000000})), std::vector<bool>(10, false));
  EXPECT_EQ(many.Started, NameLimits{}.MostWorkers);
}

}  // namespace
}  // namespace tarnwick
