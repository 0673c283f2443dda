// The name queries of the holder search, each with a deadline, in workers that can be given up: a worker
// that does not answer in time is ended with the query it holds, and a new one goes on with the rest.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "process/Clock.h"

namespace tarnwick {

// What a worker said of one open file.
struct NameAnswer {
  bool Answered = false;
  bool Folder = false;
  std::wstring Path{};
};

// One worker (a helper process under Windows). Ending it is its owner's letting it go.
class NameWorker {
 public:
  virtual ~NameWorker() = default;
  virtual bool Started() const = 0;
  // False when no answer came by the moment `until` (Clock's milliseconds).
  virtual bool Ask(void* file, std::uint64_t until, NameAnswer& answer) = 0;
};
using NameWorkerFactory = std::function<std::unique_ptr<NameWorker>()>;

struct NameLimits {
  std::uint32_t PerQueryMs = 1000;
  std::uint32_t FirstAnswerMs = 5000;  // a worker's first answer includes its start
  std::uint32_t BudgetMs = 30000;      // for all of them
  int MostWorkers = 8;                 // after that many are given up, the rest are not asked
};

// Each file's answer, in order; those given up or never asked stay unanswered.
std::vector<NameAnswer> AskNames(const std::vector<void*>& files, const NameLimits& limits, Clock& clock,
                                 const NameWorkerFactory& startWorker);

}  // namespace tarnwick
